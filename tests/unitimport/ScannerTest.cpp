// Sorting an interface section into constants, types, classes, variables and
// routines, and a class's members into properties, methods and events.
#include "EParser.h"
#include "RecordingUI.h"
#include "fUnit.h"

#include <gtest/gtest.h>

// Readable failure output.
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

TParser scan(const QByteArray& text) {
    TParser p;
    p.Text = text;
    p.ParseInterface();
    return p;
}

QStringList members(const TParser& p, const QString& name) {
    for (const TClassEntry& e : p.Classes)
        if (e.Name == name) return e.Members;
    ADD_FAILURE() << "no class " << name.toStdString();
    return {};
}

TEST(ScannerTest, EmptyInterfaceLeavesEveryListEmpty) {
    const TParser p = scan("unit A;\r\ninterface\r\nuses SysUtils, Classes;\r\nimplementation\r");
    EXPECT_TRUE(p.Constants.isEmpty() && p.Types.isEmpty() && p.Variables.isEmpty() &&
                p.Routines.isEmpty() && p.Classes.isEmpty());
}

TEST(ScannerTest, ConstantsAndResourceStringsInSourceOrder) {
    const TParser p = scan("interface const A = 1; B: Integer = 2;\r\n"
                           "resourcestring SHello = 'Hi; type there';\r\n"
                           "const P = 'procedure'; C = [1, 2]; implementation ");
    EXPECT_EQ(p.Constants, QStringList({"A = 1;", "B: Integer = 2;", "SHello = 'Hi; type there';",
                                        "P = 'procedure';", "C = [1, 2];"}));
}

TEST(ScannerTest, TypesRecordsAndClassReferences) {
    const TParser p =
        scan("type\r\n  TKind = (kA, kB);\r\n  TSet = set of TKind;\r\n"
             "  TProc = procedure(A: Integer; B: Byte) of object;\r\n"
             "  TRef = class of TObject;\r\n"
             "  TRec = record\r\n    A: Integer;\r\n    B: record C: Byte; end;\r\n  end;\r\n"
             "  TFunc = function: Integer;\r\nvar X: Integer;");
    EXPECT_EQ(p.Types, QStringList({"TKind = (kA, kB);", "TSet = set of TKind;",
                                    "TProc = procedure(A: Integer; B: Byte) of object;",
                                    "TRef = class of TObject;",
                                    "TRec = record\r\n    A: Integer;\r\n    B: record C: Byte; "
                                    "end;\r\n  end;",
                                    "TFunc = function: Integer;"}));
    EXPECT_TRUE(p.Classes.isEmpty());
}

TEST(ScannerTest, PackedRecordIsReadAsOrdinaryTypes) {
    const TParser p = scan("type TP = packed record A: Integer; B: Byte; end; TQ = Integer;");
    EXPECT_EQ(p.Types,
              QStringList({"TP = packed record A: Integer;", "B: Byte;", "end;", "TQ = Integer;"}));
}

TEST(ScannerTest, ForwardOneLineAndFullClasses) {
    const TParser p = scan(
        "type\r\n  TFoo = class;\r\n  IBar = interface;\r\n"
        "  EMy = class(Exception);\r\n"
        "  IBar = interface(IUnknown)\r\n    ['{00000000-0000-0000-C000-000000000046}']\r\n"
        "    function Get: Integer; stdcall;\r\n    property Value: Integer read Get;\r\n  end;\r\n"
        "  TFoo = class(TObject)\r\n    procedure Run;\r\n  end;\r\n"
        "  DBaz = dispinterface ['{1}'] procedure Go; dispid 1; end;\r\n"
        "const Z = 0;");
    ASSERT_EQ(p.Classes.size(), 4);
    EXPECT_EQ(p.Classes[0].Name, "EMy");
    EXPECT_TRUE(p.Classes[0].Members.isEmpty());
    EXPECT_EQ(p.Classes[1].Name, "IBar");
    EXPECT_EQ(p.Classes[1].Members, QStringList({"PUBLIC | function Get: Integer; stdcall;",
                                                 "PUBLIC | property Value: Integer;"}));
    EXPECT_EQ(p.Classes[2].Name, "TFoo");
    EXPECT_EQ(p.Classes[2].Members, QStringList({"PUBLISHED | procedure Run;"}));
    EXPECT_EQ(p.Classes[3].Name, "DBaz");
    EXPECT_EQ(p.Classes[3].Members, QStringList({"PUBLIC | procedure Go;"}));
    EXPECT_TRUE(p.Types.isEmpty());
    EXPECT_EQ(p.Constants, QStringList({"Z = 0;"}));
}

TEST(ScannerTest, ClassMembersWithVisibilityDirectivesAndProperties) {
    const TParser p = scan(
        "type TFoo = class(TComponent)\r\n"
        "    FX: Integer;\r\n"
        "    FProc: procedure(A: Integer) of object;\r\n"
        "  private\r\n    function GetItem(Index: Integer): TItem;\r\n"
        "  protected\r\n    procedure Changed; virtual; abstract;\r\n"
        "  public\r\n    constructor Create(AOwner: TComponent); override;\r\n"
        "    destructor Destroy; override;\r\n"
        "    class function Make: TFoo; overload; stdcall;\r\n"
        "    procedure Load(const S: string); overload; deprecated;\r\n"
        "    property Items[Index: Integer]: TItem read GetItem; default;\r\n"
        "    property Cells[ACol: Integer; ARow: Integer]: string read GetCell;\r\n"
        "  published\r\n    property OnChange: TNotifyEvent read FOnChange write FOnChange;\r\n"
        "    property Online: Boolean read FOnline;\r\n"
        "    property After: TAfterEvent read FAfter stored False;\r\n"
        "    property Tag;\r\n  end;\r\n");
    const QStringList items = members(p, "TFoo");
    EXPECT_EQ(items, QStringList({
                         "PUBLISHED | procedure(A: Integer) of object;",
                         "PRIVATE | function GetItem(Index: Integer): TItem;",
                         "PROTECTED | procedure Changed; virtual; abstract;",
                         "PUBLIC | constructor Create(AOwner: TComponent); override;",
                         "PUBLIC | destructor Destroy; override;",
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
    EXPECT_EQ(sorted.Properties, QStringList({items[7], items[8], items[12]}));
    EXPECT_EQ(sorted.Events, QStringList({items[9], items[10], items[11]}));
    EXPECT_EQ(sorted.Methods, items.mid(0, 7));
}

TEST(ScannerTest, AnonymousRecordFieldEndsTheClassBody) {
    const TParser p = scan("type TBar = class\r\n  FR: record A: Integer; end;\r\n"
                           "  procedure Hidden;\r\nend;\r\n");
    EXPECT_TRUE(members(p, "TBar").isEmpty());
}

TEST(ScannerTest, VariablesOneItemPerName) {
    const TParser p = scan("var A, B: Integer;\r\n  C : array[0..1] of Byte;\r\n"
                           "  R: record X: Integer; Y: Byte; end;\r\n"
                           "  P: procedure(X: Integer); stdcall;\r\n  Z: Char;");
    EXPECT_EQ(p.Variables,
              QStringList({"A:  Integer;", " B:  Integer;", "C :  array[0..1] of Byte;",
                           "R:  record X: Integer; Y: Byte; end;", "P:  procedure(X: Integer);",
                           "Z:  Char;"}));
}

TEST(ScannerTest, RoutinesWithCallingConventionsButNotOtherDirectives) {
    const TParser p =
        scan("interface\r\nprocedure A; overload;\r\nprocedure A(X: Integer); overload;\r\n"
             "function B(X: Integer; Y: Integer): Integer; stdcall;\r\n"
             "procedure C; cdecl; external 'lib' name 'c';\r\n"
             "function D: Integer; register; safecall;\r\nimplementation\r\n"
             "procedure Hidden;");
    EXPECT_EQ(p.Routines,
              QStringList({"procedure A;", "procedure A(X: Integer);",
                           "function B(X: Integer; Y: Integer): Integer; stdcall;",
                           "procedure C; cdecl;", "function D: Integer; register; safecall;"}));
}

TEST(ScannerTest, UnbalancedBracketsShowMessagesAndScanGoesOn) {
    RecordingUI::Scope ui;
    const TParser p = scan("const A = (1)); ] B = 2;");
    EXPECT_EQ(p.Constants, QStringList({"A = (1));", "B = 2;"}));
    EXPECT_EQ(ui->messages, QStringList({"Found \")\" without \"(\"\ntext is not corrected",
                                         "Found \"]\" without \"[\"\ntext is not corrected"}));
}

TEST(ScannerTest, RescanReplacesResultsAndIdentifierAtEndEndsScan) {
    TParser p = scan("const A = 1; type T = class procedure P; end; const B");
    EXPECT_EQ(p.Constants, QStringList({"A = 1;"}));
    p.Text = "var X: Integer;";
    p.ParseInterface();
    EXPECT_TRUE(p.Constants.isEmpty());
    EXPECT_TRUE(p.Classes.isEmpty());
    EXPECT_EQ(p.Variables, QStringList({"X:  Integer;"}));
}

TEST(ClassItemsTest, SortsByKeywordNameAndType) {
    const QStringList items = {"PUBLIC | property OnClick: TNotifyEvent;",
                               "PUBLIC |   property onlyOne: Integer;",
                               "PUBLIC | property Handler: TMyEventType;",
                               "PUBLIC | property Count: Integer;",
                               "PUBLIC | procedure Prop;",
                               "PUBLIC | propertyless",
                               "no bar property X: Integer;",
                               "property On;"};
    const TClassItems c(items);
    EXPECT_EQ(c.Events, QStringList({items[0], items[1], items[2], items[7]}));
    EXPECT_EQ(c.Properties, QStringList({items[3], items[5]}));
    EXPECT_EQ(c.Methods, QStringList({items[4], items[6]}));
}

} // namespace
