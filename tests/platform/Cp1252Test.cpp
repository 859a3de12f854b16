#include "Cp1252.h"

#include <gtest/gtest.h>

TEST(Cp1252, RoundTripsEveryByte) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(char(b));
    EXPECT_EQ(Cp1252::encode(Cp1252::decode(all)), all);
}

TEST(Cp1252, MapsTheWindowsRangeAndReplacesForeignCharacters) {
    EXPECT_EQ(Cp1252::decode(QByteArray("\x80\x93\xE9", 3)), QString::fromUtf8("€“é"));
    EXPECT_EQ(Cp1252::encode(QString::fromUtf8("€x—")), QByteArray("\x80x\x97", 3));
    EXPECT_EQ(Cp1252::encode(QString::fromUtf8("Ж")), QByteArray("?"));
    EXPECT_EQ(Cp1252::byteFor(QChar(0x0416)), -1);
}
