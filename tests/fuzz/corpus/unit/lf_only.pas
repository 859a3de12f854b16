unit G;
interface
// lf only
procedure P; stdcall; overload; cdecl;
(*)implementation