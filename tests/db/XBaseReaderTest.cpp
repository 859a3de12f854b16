// An independent reader: a table with every field kind and long memos,
// written through kivsql, is read back by Perl's XBase module.
#include "Cp1252.h"

#include <QDate>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Topic {
    int id;
    QString name;
    QString price; // numeric(10,2) as XBase prints it
    QString ratio; // float(12,4)
    QDate day;
    QString flag; // logical as "1", "0" or null
    QString text;
    QString note;
};

QString quoted(const QString& s) {
    QString q = s;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// A memo of `size` characters with line breaks and characters above 127.
QString longMemo(int seed, int size) {
    const QString piece =
        QString::fromUtf8("{\\rtf1 Topic %1: café, naïve, 50 € — “quoted” ‘text’ ±½}\r\n");
    QString out;
    for (int i = 0; out.size() < size; ++i)
        out += piece.arg(seed * 1000 + i);
    return out.left(size);
}

QString perlValue(const QString& hex) {
    if (hex == QLatin1String("-")) return QString();
    return Cp1252::decode(QByteArray::fromHex(hex.toLatin1()));
}

} // namespace

TEST(XBaseReaderTest, PerlXBaseReadsEveryRowAndMemo) {
    QProcess check;
    check.start("perl", {"-MXBase", "-e1"});
    ASSERT_TRUE(check.waitForFinished(30000) && check.exitStatus() == QProcess::NormalExit &&
                check.exitCode() == 0)
        << "perl with the XBase module (Debian package libdbd-xbase-perl) is required";

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<Topic> topics = {
        {1, QString::fromUtf8("Café overview"), "12.5", "0.125", QDate(2024, 1, 31), "1",
         longMemo(1, 5000), "short"},
        {2, "Gone", "1", "1", QDate(2000, 2, 29), "0", longMemo(2, 700), QString()},
        {3, QString::fromUtf8("Empty fields ‰"), QString(), QString(), QDate(), QString(),
         QString(), QString()},
        {4, "Exactly one block", "-99999.99", "-3.5", QDate(1999, 12, 31), "1", longMemo(4, 512),
         longMemo(5, 9000)},
        {5, QString::fromUtf8("Last — row"), "0", "1234567.1234", QDate(1900, 1, 1), "0",
         longMemo(6, 511), longMemo(7, 2048)},
    };

    QString script = QStringLiteral("create table \"topics.dbf\" (ID numeric(8), NAME char(60), "
                                    "PRICE numeric(10,2), RATIO float(12,4), "
                                    "DAY date, FLAG logical, TEXT blob(10), NOTE memo);\n");
    for (const Topic& t : topics) {
        auto orNull = [](const QString& s, bool quote = true) {
            return s.isNull() ? "null" : quote ? quoted(s) : s;
        };
        script +=
            QStringLiteral("insert into \"topics.dbf\" values (%1, %2, %3, %4, %5, %6, %7, %8);\n")
                .arg(t.id)
                .arg(quoted(t.name), orNull(t.price, false), orNull(t.ratio, false),
                     t.day.isValid() ? quoted(t.day.toString(Qt::ISODate)) : "null",
                     QString::fromLatin1(t.flag.isNull()                ? "null"
                                         : t.flag == QLatin1String("1") ? "true"
                                                                        : "false"),
                     orNull(t.text), orNull(t.note));
    }
    script += "delete from \"topics.dbf\" where ID = 2;\n";

    QProcess kivsql;
    kivsql.start(qEnvironmentVariable("KIVSQL"), {dir.path()});
    ASSERT_TRUE(kivsql.waitForStarted());
    kivsql.write(script.toUtf8());
    kivsql.closeWriteChannel();
    ASSERT_TRUE(kivsql.waitForFinished(60000));
    ASSERT_EQ(kivsql.exitCode(), 0) << kivsql.readAllStandardError().toStdString();

    QProcess perl;
    perl.start("perl",
               {QStringLiteral(KIV_TEST_DATA "/xbase_dump.pl"), dir.filePath("topics.dbf")});
    ASSERT_TRUE(perl.waitForFinished(60000));
    ASSERT_EQ(perl.exitCode(), 0) << perl.readAllStandardError().toStdString();
    const QStringList lines = QString::fromLatin1(perl.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);

    ASSERT_EQ(lines.size(), 4 + 4) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines[0], "ID,NAME,PRICE,RATIO,DAY,FLAG,TEXT,NOTE");
    EXPECT_EQ(lines[1], "N,C,N,F,D,L,M,M");
    EXPECT_EQ(lines[2], "8,60,10,12,8,1,10,10");
    EXPECT_EQ(lines[3], "0,0,2,4,0,0,0,0");

    int line = 4;
    for (const Topic& t : topics) {
        if (t.id == 2) continue; // deleted
        const QStringList v = lines[line++].split(QLatin1Char(','));
        ASSERT_EQ(v.size(), 8);
        const QString id = QString::number(t.id);
        EXPECT_EQ(perlValue(v[0]).trimmed(), id);
        EXPECT_EQ(perlValue(v[1]).trimmed(), t.name) << id.toStdString();
        EXPECT_EQ(perlValue(v[2]).trimmed().toDouble(), t.price.toDouble()) << id.toStdString();
        EXPECT_EQ(perlValue(v[2]).trimmed().isEmpty(), t.price.isNull()) << id.toStdString();
        EXPECT_EQ(perlValue(v[3]).trimmed().toDouble(), t.ratio.toDouble()) << id.toStdString();
        EXPECT_EQ(perlValue(v[4]).trimmed(),
                  t.day.isValid() ? t.day.toString("yyyyMMdd") : QString());
        EXPECT_EQ(perlValue(v[5]), t.flag) << id.toStdString();
        EXPECT_EQ(perlValue(v[6]), t.text.isNull() ? QString() : t.text) << id.toStdString();
        EXPECT_EQ(perlValue(v[7]), t.note.isNull() ? QString() : t.note) << id.toStdString();
    }
}
