#include "KivFiltStream.h"

#include "Cp1252.h"
#include "KivError.h"

#include <QDateTime>
#include <QIODevice>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace {

// VARIANT type codes
enum : quint16 {
    vtEmpty = 0,
    vtNull = 1,
    vtI2 = 2,
    vtI4 = 3,
    vtR4 = 4,
    vtR8 = 5,
    vtCy = 6,
    vtDate = 7,
    vtBool = 11,
    vtI1 = 16,
    vtUI1 = 17,
    vtUI2 = 18,
    vtUI4 = 19,
    vtI8 = 20,
    vtUI8 = 21,
    vtInt = 22,
    vtUInt = 23
};

constexpr int kVariantSize = 16;
// Dates count days from 30 December 1899.
const QDate kDayZero(1899, 12, 30);

[[noreturn]] void loadError() {
    throw EInOutError(QStringLiteral("Error loading filter data"));
}

class Reader {
public:
    explicit Reader(QIODevice& in) : in_(in) {}

    QByteArray bytes(qint64 n) {
        QByteArray b = in_.read(n);
        if (b.size() != n) loadError();
        return b;
    }
    template <class T> T number() {
        const QByteArray b = bytes(sizeof(T));
        return qFromLittleEndian<T>(b.constData());
    }
    bool flag() { return number<quint8>() != 0; }
    QString string() { return Cp1252::decode(bytes(number<quint16>())); }
    int count(int limit) {
        const qint32 n = number<qint32>();
        if (n < 0 || n > limit) loadError();
        return n;
    }
    QVariant value() {
        if (flag()) return string();
        const QByteArray record = bytes(number<quint16>());
        return record.size() >= kVariantSize ? fromVariant(record.constData()) : QVariant();
    }

private:
    static QVariant fromVariant(const char* r) {
        const char* v = r + 8;
        switch (qFromLittleEndian<quint16>(r)) {
        case vtI2:
            return int(qFromLittleEndian<qint16>(v));
        case vtI4:
        case vtInt:
            return int(qFromLittleEndian<qint32>(v));
        case vtR4: {
            float f;
            std::memcpy(&f, v, 4);
            return finite(double(qFromLittleEndian(f)));
        }
        case vtR8:
            return finite(qFromLittleEndian<double>(v));
        case vtCy:
            return double(qFromLittleEndian<qint64>(v)) / 10000.0;
        case vtDate:
            return fromOleDate(qFromLittleEndian<double>(v));
        case vtBool:
            return qFromLittleEndian<qint16>(v) != 0;
        case vtI1:
            return int(qint8(v[0]));
        case vtUI1:
            return int(quint8(v[0]));
        case vtUI2:
            return int(qFromLittleEndian<quint16>(v));
        case vtUI4:
        case vtUInt:
            return qint64(qFromLittleEndian<quint32>(v));
        case vtI8:
            return qFromLittleEndian<qint64>(v);
        case vtUI8:
            return qFromLittleEndian<quint64>(v);
        default: // empty, null and what a filter cannot compare with
            return {};
        }
    }
    // No filter compares with an infinity or a NaN: such a value is damage.
    static QVariant finite(double d) { return std::isfinite(d) ? QVariant(d) : QVariant(); }
    static QVariant fromOleDate(double days) {
        // Beyond the years a date field holds the value is damage.
        if (!std::isfinite(days) || std::fabs(days) > 3e6) return {};
        const double whole = std::floor(days);
        const QDate date = kDayZero.addDays(qint64(whole));
        const qint64 ms = std::llround((days - whole) * 86400000.0);
        if (ms == 0) return date;
        return QDateTime(date, QTime(0, 0)).addMSecs(ms);
    }

    QIODevice& in_;
};

class Writer {
public:
    explicit Writer(QIODevice& out) : out_(out) {}

    void bytes(const QByteArray& b) {
        if (out_.write(b) != b.size())
            throw EInOutError(
                QStringLiteral("Cannot write filter data: %1").arg(out_.errorString()));
    }
    template <class T> void number(T v) {
        char b[sizeof(T)];
        qToLittleEndian(v, b);
        bytes(QByteArray(b, sizeof(T)));
    }
    void flag(bool on) { number<quint8>(on ? 1 : 0); }
    void string(const QString& s) {
        // A length field of 16 bits: longer texts are cut there.
        const QByteArray b = Cp1252::encode(s).left(0xFFFF);
        number<quint16>(quint16(b.size()));
        bytes(b);
    }
    void value(const QVariant& v) {
        const bool text = v.typeId() == QMetaType::QString ||
                          (!v.isNull() && !isNumberOrDate(v) && v.canConvert<QString>());
        flag(text);
        if (text) {
            string(v.toString());
            return;
        }
        QByteArray r(kVariantSize, '\0');
        char* p = r.data();
        const auto type = [&](quint16 vt) { qToLittleEndian(vt, p); };
        switch (v.isNull() ? QMetaType::UnknownType : v.typeId()) {
        case QMetaType::Bool:
            type(vtBool);
            qToLittleEndian<qint16>(v.toBool() ? -1 : 0, p + 8);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong: {
            const qint64 n = v.toLongLong();
            if (n >= INT32_MIN && n <= INT32_MAX) {
                type(vtI4);
                qToLittleEndian<qint32>(qint32(n), p + 8);
            } else {
                type(vtI8);
                qToLittleEndian<qint64>(n, p + 8);
            }
            break;
        }
        case QMetaType::Double:
        case QMetaType::Float:
            type(vtR8);
            qToLittleEndian<double>(v.toDouble(), p + 8);
            break;
        case QMetaType::QDate:
            type(vtDate);
            qToLittleEndian<double>(double(kDayZero.daysTo(v.toDate())), p + 8);
            break;
        case QMetaType::QDateTime: {
            const QDateTime t = v.toDateTime();
            type(vtDate);
            qToLittleEndian<double>(double(kDayZero.daysTo(t.date())) +
                                        t.time().msecsSinceStartOfDay() / 86400000.0,
                                    p + 8);
            break;
        }
        default:
            type(vtNull);
        }
        number<quint16>(kVariantSize);
        bytes(r);
    }

private:
    static bool isNumberOrDate(const QVariant& v) {
        switch (v.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::QDate:
        case QMetaType::QDateTime:
            return true;
        default:
            return false;
        }
    }

    QIODevice& out_;
};

} // namespace

TFilterList ReadFilterList(QIODevice& in) {
    Reader r(in);
    TFilterList list;
    list.FileName = r.string();
    list.Current = r.number<qint16>();
    const int filters = r.count(65535);
    for (int i = 0; i < filters; ++i) {
        TFilterItem f;
        f.Name = r.string();
        f.AndForAll = r.flag();
        f.Spare = r.string();
        const int items = r.count(255);
        for (int k = 0; k < items; ++k) {
            TDataSetItem d;
            d.Name = r.string();
            d.LinkText = r.string();
            d.ForAll = r.flag();
            d.Spare = r.string();
            f.DataSetItems.append(d);
        }
        const int clauses = r.count(255);
        for (int k = 0; k < clauses; ++k) {
            TConditionItem c;
            c.DataSetName = r.string();
            c.FieldName = r.string();
            c.DisplayFieldName = r.string();
            c.Operation = r.string();
            c.Flag = r.number<quint8>();
            c.Value = r.value();
            c.Spare = r.string();
            f.Conditions.append(c);
        }
        list.Filters.append(f);
    }
    list.Current =
        list.Filters.isEmpty() ? -1 : qBound(0, list.Current, int(list.Filters.size()) - 1);
    return list;
}

void WriteFilterList(QIODevice& out, const TFilterList& list) {
    // Checked first: a file the reader would refuse is never begun.
    bool fits = list.Filters.size() <= 65535;
    for (const TFilterItem& f : list.Filters)
        fits = fits && f.DataSetItems.size() <= 255 && f.Conditions.size() <= 255;
    if (!fits)
        throw EInOutError(
            QStringLiteral("Too many filters or clauses to store (at most 65535 and 255)"));
    Writer w(out);
    w.string(list.FileName);
    w.number<qint16>(qint16(list.Current));
    w.number<qint32>(qint32(list.Filters.size()));
    for (const TFilterItem& f : list.Filters) {
        w.string(f.Name);
        w.flag(f.AndForAll);
        w.string(f.Spare);
        w.number<qint32>(qint32(f.DataSetItems.size()));
        for (const TDataSetItem& d : f.DataSetItems) {
            w.string(d.Name);
            w.string(d.LinkText);
            w.flag(d.ForAll);
            w.string(d.Spare);
        }
        w.number<qint32>(qint32(f.Conditions.size()));
        for (const TConditionItem& c : f.Conditions) {
            w.string(c.DataSetName);
            w.string(c.FieldName);
            w.string(c.DisplayFieldName);
            w.string(c.Operation);
            w.number<quint8>(c.Flag);
            w.value(c.Value);
            w.string(c.Spare);
        }
    }
}
