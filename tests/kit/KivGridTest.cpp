#include "DBGrid.h"
#include <gtest/gtest.h>
TEST(KivGrid, Builds) { TDBGrid g; EXPECT_EQ(g.ColumnCount(), 0); }
