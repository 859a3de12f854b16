unit Brackets;
interface
{ Unbalanced brackets are shown and the scan goes on; the look-ahead over a
  type's text shows its message a second time. }
const A = (1)); ] B = 2;
type T = ) Integer;
implementation
