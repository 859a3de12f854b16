// Scans of real Free Pascal units, checked by hand against their sources for a
// sample of declarations. The units end their lines with LF alone.
#include "EParser.h"
#include "QtPrinters.h"
#include "RecordingUI.h"
#include "fUnit.h"

#include <gtest/gtest.h>

namespace {

// Real units have balanced brackets: a scan shows no message.
TParser scanUnit(const QString& unit) {
    RecordingUI::Scope ui;
    TParser p;
    EXPECT_TRUE(p.LoadUnit(QStringLiteral(KIV_TEST_DATA "/units/") + unit + QStringLiteral(".pp")));
    p.ParseInterface();
    EXPECT_EQ(p.UnitName, unit);
    EXPECT_TRUE(ui->messages.isEmpty());
    return p;
}

QStringList classNames(const TParser& p) {
    QStringList names;
    for (const TClassEntry& entry : p.Classes)
        names << entry.Name;
    return names;
}

TEST(RealUnitsTest, TimerUnitWithForwardClassPropertiesAndEvents) {
    const TParser p = scanUnit(QStringLiteral("fptimer"));
    EXPECT_TRUE(p.Text.endsWith("\nimplementation\n"));
    EXPECT_FALSE(p.Text.contains("Copyright")); // the licence comment is gone
    EXPECT_FALSE(p.Text.contains("{$"));

    // The forward declaration adds nothing; the full one comes third.
    ASSERT_EQ(classNames(p), QStringList({"TFPCustomTimer", "TFPTimer", "TFPTimerDriver"}));
    EXPECT_EQ(p.Types, QStringList({"TFPTimerDriverClass = Class of TFPTimerDriver;"}));
    EXPECT_EQ(p.Variables, QStringList({"DefaultTimerDriverClass :  TFPTimerDriverClass = Nil;"}));

    const TClassItems custom(p.Classes[0].Members);
    EXPECT_EQ(custom.Methods.first(),
              QStringLiteral("PRIVATE | procedure SetEnabled(const AValue: Boolean );"));
    EXPECT_EQ(custom.Properties, QStringList({"PROTECTED | property Active: Boolean;",
                                              "PROTECTED | property Enabled: Boolean;",
                                              "PROTECTED | property Interval: Cardinal;",
                                              "PROTECTED | property UseTimerThread: Boolean;"}));
    EXPECT_EQ(custom.Events, QStringList({"PROTECTED | property OnTimer: TNotifyEvent;",
                                          "PROTECTED | property OnStartTimer: TNotifyEvent;",
                                          "PROTECTED | property OnStopTimer: TNotifyEvent;"}));

    // Redeclared properties have no type; the On names still make them events.
    const TClassItems timer(p.Classes[1].Members);
    EXPECT_EQ(timer.Properties,
              QStringList({"PUBLISHED | Property Enabled;", "PUBLISHED | Property Interval;",
                           "PUBLISHED | Property UseTimerThread;"}));
    EXPECT_EQ(timer.Events.size(), 3);
    EXPECT_TRUE(timer.Methods.isEmpty());

    EXPECT_EQ(p.Classes[2].Members,
              QStringList({"PROTECTED | procedure SetInterval(const AValue: Cardinal); virtual;",
                           "PUBLIC | Constructor Create(ATimer : TFPCustomTimer); virtual;",
                           "PUBLIC | Procedure StartTimer; virtual; abstract;",
                           "PUBLIC | Procedure StopTimer; virtual; abstract;",
                           "PUBLIC | Property Timer : TFPCustomTimer;",
                           "PUBLIC | property TimerStarted: Boolean;"}));
}

TEST(RealUnitsTest, ApplicationUnitWithOverloadsIndexPropertiesAndEventTypes) {
    const TParser p = scanUnit(QStringLiteral("custapp"));
    EXPECT_TRUE(p.Text.endsWith("\nImplementation\n"));
    EXPECT_EQ(
        p.Types,
        QStringList({"TStringArray = Array of string;",
                     "TExceptionEvent = Procedure (Sender : TObject; E : Exception) Of Object;",
                     "TEventLogTypes = Set of TEventType;"}));
    EXPECT_EQ(p.Variables, QStringList({"CustomApplication :  TCustomApplication = nil;"}));

    ASSERT_EQ(classNames(p), QStringList({"TCustomApplication"}));
    const TClassItems items(p.Classes[0].Members);
    EXPECT_EQ(items.Methods.size(), 38);
    EXPECT_EQ(items.Properties.size(), 16);
    // Overloads are listed one by one; a heading broken over lines keeps its break.
    EXPECT_EQ(items.Methods.count(QStringLiteral("PUBLIC | procedure Terminate; virtual;")), 1);
    for (const char* method :
         {"PUBLIC | procedure Terminate(AExitCode : Integer); virtual;",
          "PRIVATE | procedure SetSingleInstanceClass(\n"
          "      const ASingleInstanceClass: TBaseSingleInstanceClass);",
          "PROTECTED | Function GetParams(Index : Integer) : String; virtual;"})
        EXPECT_TRUE(items.Methods.contains(QLatin1String(method))) << method;
    EXPECT_TRUE(items.Properties.contains(
        QStringLiteral("PUBLIC | Property Params [Index : integer] : String;")));
    // A property whose type mentions Event is an event.
    EXPECT_EQ(items.Events, QStringList({"PUBLIC | property OnException: TExceptionEvent;",
                                         "PUBLIC | Property EventLogFilter : TEventLogTypes;"}));
}

TEST(RealUnitsTest, LibraryBindingWithCallingConventionsAndRecords) {
    const TParser p = scanUnit(QStringLiteral("dl"));
    // Every branch of the conditional directives is read.
    EXPECT_EQ(p.Constants.size(), 31);
    EXPECT_EQ(p.Constants.first(), QStringLiteral("LibDL = 'c';"));
    EXPECT_EQ(p.Constants.last(), QStringLiteral("RTLD_MODEMASK     = RTLD_BINDING_MASK;"));
    EXPECT_EQ(p.Types.size(), 4);
    EXPECT_EQ(p.Types[0], QStringLiteral("Pdl_info = ^dl_info;"));
    EXPECT_EQ(p.Types[1], QStringLiteral("dl_info = record\n    dli_fname      : Pchar;\n"
                                         "    dli_fbase      : pointer;\n"
                                         "    dli_sname      : Pchar;\n"
                                         "    dli_saddr      : pointer;\n  end;"));
    EXPECT_TRUE(p.Types[3].startsWith(QStringLiteral("link_map = record\n    l_addr:pointer;")));
    // cdecl stays with the heading; external and its library name do not.
    ASSERT_EQ(p.Routines.size(), 9);
    EXPECT_EQ(p.Routines[0],
              QStringLiteral("function dlopen(Name : PChar; Flags : longint) : Pointer; cdecl;"));
    EXPECT_EQ(p.Routines[5],
              QStringLiteral("function dlsym(Lib : PtrInt; Name : Pchar) : Pointer; cdecl;"));
    EXPECT_EQ(p.Routines[7],
              QStringLiteral("function dladdr(Lib: pointer; info: Pdl_info): Longint; cdecl;"));
}

} // namespace
