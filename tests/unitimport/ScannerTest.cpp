// What the sample units under data/units do not show: member items sorted
// from odd shapes, and a second scan replacing the first's results.
#include "EParser.h"
#include "QtPrinters.h"
#include "fUnit.h"

#include <gtest/gtest.h>

namespace {

TEST(ScannerTest, OddMemberItemsAreSortedByTheirDeclaration) {
    const QStringList items = {"PUBLIC |   property onlyOne: Integer;", "PUBLIC | propertyless",
                               "no bar procedure X;", "property On;"};
    const TClassItems sorted(items);
    EXPECT_EQ(sorted.Events, QStringList({items[0], items[3]}));
    EXPECT_EQ(sorted.Properties, QStringList({items[1]}));
    EXPECT_EQ(sorted.Methods, QStringList({items[2]}));
}

TEST(ScannerTest, ASecondScanReplacesTheResults) {
    TParser p;
    p.Text = "unit A; interface const A = 1; type T = Byte; var V: T; procedure P;\n"
             "type C = class end; implementation";
    p.ParseInterface();
    EXPECT_EQ(p.Constants.size() + p.Types.size() + p.Variables.size() + p.Routines.size() +
                  p.Classes.size(),
              5);
    p.Text = "unit A; interface uses B; implementation const X = 1;";
    p.ParseInterface();
    EXPECT_TRUE(p.Constants.isEmpty() && p.Types.isEmpty() && p.Variables.isEmpty() &&
                p.Routines.isEmpty() && p.Classes.isEmpty());
}

} // namespace
