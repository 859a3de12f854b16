// Little-endian building blocks of the help file: the writer's appenders, the
// bounded reader the dump walks damaged files with, the help file's packed
// numbers and the context-string hash.
#pragma once

#include "HlpDump.h"

#include <QByteArray>
#include <QString>

#include <cstring>

namespace Hlp {

inline void put8(QByteArray& b, unsigned v) {
    b.append(char(v & 0xFF));
}
inline void put16(QByteArray& b, unsigned v) {
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
inline void put32(QByteArray& b, quint32 v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline void set32(QByteArray& b, qsizetype at, quint32 v) {
    char* p = b.data() + at;
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}
inline void set16(QByteArray& b, qsizetype at, unsigned v) {
    char* p = b.data() + at;
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
}
// A NUL-terminated string.
inline void putSz(QByteArray& b, const QByteArray& s) {
    b.append(s);
    b.append('\0');
}
// A fixed-size field: the string, cut to size-1 characters, NUL-padded.
inline void putFixed(QByteArray& b, const QByteArray& s, int size) {
    const QByteArray cut = s.left(size - 1);
    b.append(cut);
    b.append(QByteArray(size - cut.size(), '\0'));
}

// The packed numbers of topic records and pictures: one byte (two for the
// long forms) when the value is small, the low bit telling the long form.
void putCompressedUShort(QByteArray& b, unsigned v); // 0..32767
void putCompressedShort(QByteArray& b, int v);       // -16384..16383
void putCompressedULong(QByteArray& b, quint32 v);   // 0..2^31-1
void putCompressedLong(QByteArray& b, qint32 v);     // -2^30..2^30-1

// The hash WinHelp finds context strings by (case-insensitive).
quint32 contextHash(const QByteArray& context);

// Reads one internal file (or another byte range); every read past its end
// throws EHlpFormat with the file's name.
class Reader {
public:
    Reader(const QByteArray& data, QString name) : data_(data), name_(std::move(name)) {}
    Reader(const QByteArray& data, QString name, qsizetype pos)
        : data_(data), name_(std::move(name)), pos_(pos) {}

    qsizetype pos() const { return pos_; }
    qsizetype size() const { return data_.size(); }
    qsizetype left() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }
    const QString& name() const { return name_; }
    void seek(qsizetype at);
    void skip(qsizetype n) { seek(pos_ + n); }

    quint8 u8();
    quint16 u16();
    quint32 u32();
    qint16 s16() { return qint16(u16()); }
    qint32 s32() { return qint32(u32()); }
    QByteArray bytes(qsizetype n);
    QByteArray sz();            // up to the NUL (or the end of the data), which is consumed
    QByteArray fixed(int size); // a NUL-padded field
    unsigned compressedUShort();
    int compressedShort();
    quint32 compressedULong();
    qint32 compressedLong();

    [[noreturn]] void fail(const QString& what) const;

private:
    void need(qsizetype n) const;
    const QByteArray& data_;
    QString name_;
    qsizetype pos_ = 0;
};

} // namespace Hlp
