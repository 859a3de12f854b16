// Sorting an interface section into constants, types, classes, variables and
// routines, and a class's members into properties, methods and events.
#include "EParser.h"
#include "RecordingUI.h"
#include "fUnit.h"

#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

TParser scan(const QByteArray& text) {
    TParser p;
    p.Text = text;
    p.ParseInterface();
    return p;
}

TEST(ScannerTest, ConstantsTypesVariablesAndRoutines) {
    TParser p = scan(
        "unit A; interface uses SysUtils, Classes;\r\n"
        "const A = 1; B: Integer = 2;\r\nresourcestring SHi = 'Hi; type there';\r\n"
        "const P = 'procedure'; C = [1, 2];\r\n"
        "type TKind = (kA, kB);\r\n  TProc = procedure(A: Integer; B: Byte) of object;\r\n"
        "  TRef = class of TObject;\r\n  TRec = record\r\n    A: Byte;\r\n    B: record C: Byte; "
        "end;\r\n"
        "  end;\r\n  TP = packed record A: Integer; B: Byte; end;\r\n"
        "var A, B: Integer;\r\n  C : array[0..1] of Byte;\r\n  R: record X: Integer; end;\r\n"
        "  F: procedure(X: Integer); stdcall;\r\n  Z: Char;\r\n"
        "procedure A; overload;\r\nprocedure A(X: Integer); overload;\r\n"
        "function B(X: Integer; Y: Integer): Integer; stdcall;\r\n"
        "procedure C; cdecl; external 'lib' name 'c';\r\nfunction D: Byte; register; safecall;\r\n"
        "implementation\r\nprocedure Hidden;");
    EXPECT_EQ(p.Constants, QStringList({"A = 1;", "B: Integer = 2;", "SHi = 'Hi; type there';",
                                        "P = 'procedure';", "C = [1, 2];"}));
    // A packed record is not recognised: its fields read as further types.
    EXPECT_EQ(p.Types,
              QStringList({"TKind = (kA, kB);", "TProc = procedure(A: Integer; B: Byte) of object;",
                           "TRef = class of TObject;",
                           "TRec = record\r\n    A: Byte;\r\n    B: record C: Byte; end;\r\n  end;",
                           "TP = packed record A: Integer;", "B: Byte;", "end;"}));
    // The calling convention after a procedural variable adds no item of its own.
    EXPECT_EQ(p.Variables, QStringList({"A:  Integer;", " B:  Integer;",
                                        "C :  array[0..1] of Byte;", "R:  record X: Integer; end;",
                                        "F:  procedure(X: Integer);", "Z:  Char;"}));
    EXPECT_EQ(p.Routines,
              QStringList({"procedure A;", "procedure A(X: Integer);",
                           "function B(X: Integer; Y: Integer): Integer; stdcall;",
                           "procedure C; cdecl;", "function D: Byte; register; safecall;"}));
    EXPECT_TRUE(p.Classes.isEmpty());

    p.Text = "unit A; interface uses B; implementation const X = 1;";
    p.ParseInterface();
    EXPECT_TRUE(p.Constants.isEmpty() && p.Types.isEmpty() && p.Variables.isEmpty() &&
                p.Routines.isEmpty() && p.Classes.isEmpty());
}

TEST(ScannerTest, ForwardOneLineInterfaceAndRecordFieldClasses) {
    const TParser p =
        scan("type\r\n  TFoo = class;\r\n  IBar = interface;\r\n"
             "  EMy = class(Exception);\r\n"
             "  IBar = interface(IUnknown)\r\n    ['{00000000-0000-0000-C000-000000000046}']\r\n"
             "    function Get: Integer; stdcall;\r\n    property Value: Integer read Get;\r\n"
             "  end;\r\n  TFoo = class(TObject)\r\n    procedure Run;\r\n  end;\r\n"
             "  DBaz = dispinterface ['{1}'] procedure Go; dispid 1; end;\r\n"
             "  TRec = class FR: record A: Integer; end; procedure Hidden; end;\r\n");
    ASSERT_EQ(p.Classes.size(), 5);
    const QStringList names = {"EMy", "IBar", "TFoo", "DBaz", "TRec"};
    const QList<QStringList> members = {
        {},
        {"PUBLIC | function Get: Integer; stdcall;", "PUBLIC | property Value: Integer;"},
        {"PUBLISHED | procedure Run;"},
        {"PUBLIC | procedure Go;"},
        {}}; // the anonymous record's end closes the class body
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(p.Classes[i].Name, names[i]);
        EXPECT_EQ(p.Classes[i].Members, members[i]) << i;
    }
    EXPECT_TRUE(p.Types.isEmpty());
}

TEST(ScannerTest, ClassMembersAndTheirSorting) {
    const TParser p = scan(
        "type TFoo = class(TComponent)\r\n    FX: Integer;\r\n"
        "    FProc: procedure(A: Integer) of object;\r\n"
        "  private\r\n    function GetItem(Index: Integer): TItem;\r\n"
        "  protected\r\n    procedure Changed; virtual; abstract;\r\n"
        "  public\r\n    constructor Create(AOwner: TComponent); override;\r\n"
        "    class function Make: TFoo; overload; stdcall;\r\n"
        "    procedure Load(const S: string); overload; deprecated;\r\n"
        "    property Items[Index: Integer]: TItem read GetItem; default;\r\n"
        "    property Cells[ACol: Integer; ARow: Integer]: string read GetCell;\r\n"
        "  published\r\n    property OnChange: TNotifyEvent read FOnChange write FOnChange;\r\n"
        "    property Online: Boolean read FOnline;\r\n"
        "    property After: TAfterEvent read FAfter stored False;\r\n"
        "    property Tag;\r\n  end;\r\n");
    ASSERT_EQ(p.Classes.size(), 1);
    const QStringList items = p.Classes[0].Members;
    EXPECT_EQ(items, QStringList({
                         "PUBLISHED | procedure(A: Integer) of object;",
                         "PRIVATE | function GetItem(Index: Integer): TItem;",
                         "PROTECTED | procedure Changed; virtual; abstract;",
                         "PUBLIC | constructor Create(AOwner: TComponent); override;",
                         "PUBLIC | function Make: TFoo; overload; stdcall;",
                         "PUBLIC | procedure Load(const S: string); overload;",
                         "PUBLIC | property Items[Index: Integer]: TItem; Default;",
                         "PUBLIC | property Cells[ACol: Integer; ARow: Integer]: string;",
                         "PUBLISHED | property OnChange: TNotifyEvent;",
                         "PUBLISHED | property Online: Boolean;",
                         "PUBLISHED | property After: TAfterEvent;",
                         "PUBLISHED | property Tag;",
                     }));
    const TClassItems sorted(items);
    EXPECT_EQ(sorted.Methods, items.mid(0, 6));
    EXPECT_EQ(sorted.Properties, QStringList({items[6], items[7], items[11]}));
    EXPECT_EQ(sorted.Events, QStringList({items[8], items[9], items[10]}));

    const QStringList odd = {"PUBLIC |   property onlyOne: Integer;", "PUBLIC | propertyless",
                             "no bar procedure X;", "property On;"};
    const TClassItems c(odd);
    EXPECT_EQ(c.Events, QStringList({odd[0], odd[3]}));
    EXPECT_EQ(c.Properties, QStringList({odd[1]}));
    EXPECT_EQ(c.Methods, QStringList({odd[2]}));
}

TEST(ScannerTest, UnbalancedBracketsShowMessagesAndScanGoesOn) {
    RecordingUI::Scope ui;
    const TParser p = scan("const A = (1)); ] B = 2;");
    EXPECT_EQ(p.Constants, QStringList({"A = (1));", "B = 2;"}));
    EXPECT_EQ(ui->messages, QStringList({"Found \")\" without \"(\"\ntext is not corrected",
                                         "Found \"]\" without \"[\"\ntext is not corrected"}));
    // The look-ahead over a type's text shows the message a second time.
    ui->messages.clear();
    EXPECT_EQ(scan("type T = ) Integer;").Types, QStringList({"T = ) Integer;"}));
    EXPECT_EQ(ui->messages.size(), 2);
}

} // namespace
