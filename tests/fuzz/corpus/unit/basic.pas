unit A;
interface
const X = 1;
type TFoo = class(TObject)
  property P: Integer read F; default;
end;
implementation
end.
