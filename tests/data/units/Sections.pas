unit Sections;
{ Each section sorts its declarations into its own list. CR LF line ends. }
interface
uses SysUtils, Classes;
const A = 1; B: Integer = 2;
resourcestring SHi = 'Hi; type there';
const P = 'procedure'; C = [1, 2];
type TKind = (kA, kB);
  TProc = procedure(A: Integer; B: Byte) of object;
  TRef = class of TObject;
  TRec = record
    A: Byte;
    B: record C: Byte; end;
  end;
  { A packed record is not recognised: its fields read as further types. }
  TP = packed record A: Integer; B: Byte; end;
var A, B: Integer;
  C : array[0..1] of Byte;
  R: record X: Integer; end;
  { The calling convention after a procedural variable adds no item of its own. }
  F: procedure(X: Integer); stdcall;
  Z: Char;
procedure A; overload;
procedure A(X: Integer); overload;
function B(X: Integer; Y: Integer): Integer; stdcall;
{ external and its library name are no part of the heading }
procedure C; cdecl; external 'lib' name 'c';
function D: Byte; register; safecall;
implementation
procedure Hidden;
begin
end;
end.
