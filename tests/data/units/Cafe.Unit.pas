unit Café;
interface
const S = 'a"b\c	€'; // x
type TFoo = class
  property OnGo: TNotifyEvent read F;
  property Size: Integer read F; default;
  procedure Run; virtual;
end;
var A: Byte;
procedure P; stdcall;
implementation
end.