#include "Cp1252.h"

#include <gtest/gtest.h>

TEST(Cp1252, RoundTripsEveryByte) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    EXPECT_EQ(Cp1252::encode(Cp1252::decode(all)), all);
}

TEST(Cp1252, MapsTheWindowsRangeAndReplacesForeignCharacters) {
    EXPECT_EQ(Cp1252::decode(QByteArray("\x80\x93\xE9", 3)), QString::fromUtf8("€“é"));
    EXPECT_EQ(Cp1252::encode(QString::fromUtf8("€x—")), QByteArray("\x80x\x97", 3));
    EXPECT_EQ(Cp1252::encode(QString::fromUtf8("Ж")), QByteArray("?"));
    EXPECT_EQ(Cp1252::byteFor(QChar(0x0416)), -1);
}

TEST(Cp1252, WindowsCharactersAnywhereInLongTextsAreConverted) {
    // Long texts are checked in blocks; a special character in any place of a
    // block, or in the tail after the last whole block, must still be found.
    for (int length : {1, 7, 8, 9, 17}) {
        for (int at = 0; at < length; ++at) {
            for (const auto& [byte, ch] :
                 {std::pair<char, char16_t>{'\x80', u'€'}, {'\x9F', u'Ÿ'}, {'\xE9', u'é'}}) {
                QByteArray bytes(length, 'a');
                bytes[at] = byte;
                QString text(length, QLatin1Char('a'));
                text[at] = QChar(ch);
                EXPECT_EQ(Cp1252::decode(bytes), text) << length << " " << at;
                EXPECT_EQ(Cp1252::encode(text), bytes) << length << " " << at;
            }
            QString foreign(length, QLatin1Char('a'));
            foreign[at] = QChar(0x0416);
            QByteArray expected(length, 'a');
            expected[at] = '?';
            EXPECT_EQ(Cp1252::encode(foreign), expected);
        }
    }
}
