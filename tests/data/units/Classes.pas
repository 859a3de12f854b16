unit Classes;
interface
type
  { Forward declarations add nothing; the full ones come in their place. }
  TFoo = class;
  IBar = interface;
  EMy = class(Exception);
  IBar = interface(IUnknown)
    ['{00000000-0000-0000-C000-000000000046}']
    function Get: Integer; stdcall;
    property Value: Integer read Get;
  end;
  TFoo = class(TObject)
    procedure Run;
  end;
  DBaz = dispinterface ['{1}'] procedure Go; dispid 1; end;
  TComp = class(TComponent)
    FX: Integer;
    FProc: procedure(A: Integer) of object;
  private
    function GetItem(Index: Integer): TItem;
  protected
    procedure Changed; virtual; abstract;
  public
    constructor Create(AOwner: TComponent); override;
    class function Make: TFoo; overload; stdcall;
    procedure Load(const S: string); overload; deprecated;
    property Items[Index: Integer]: TItem read GetItem; default;
    property Cells[ACol: Integer; ARow: Integer]: string read GetCell;
  published
    property OnChange: TNotifyEvent read FOnChange write FOnChange;
    property Online: Boolean read FOnline;
    property After: TAfterEvent read FAfter stored False;
    property Tag;
  end;
  { The anonymous record's end closes the class body. }
  TRec = class FR: record A: Integer; end; procedure Hidden; end;
implementation
end.
