// Index keys taken straight from record bytes, so that building and keeping an
// order never decodes a value: text is compared through a byte ranking that
// matches the order of the decoded characters, numbers and dates are parsed
// once per key. The order is the one of compareDbfValues.
#pragma once

#include "DbfHeader.h"

struct DbfKeyPart {
    enum Kind : quint8 { Null, Number, Text };
    Kind kind = Null;
    double number = 0;
    const uchar* text = nullptr; // points into the record (or a memo buffer)
    int length = 0;
};

class DbfKeyMaker {
public:
    DbfKeyMaker() = default;
    DbfKeyMaker(const DbfHeader& header, const QVector<int>& fields);

    int size() const { return int(fields_.size()); }
    const QVector<int>& fields() const { return fields_; }
    bool hasText() const;
    bool isMemo(int part) const { return parts_[part].def.isMemo(); }
    // Fills size() parts from a record (starting at its deleted flag). Memo
    // fields give null parts; callers that sort by memos fill them in.
    void extract(const char* record, DbfKeyPart* out) const;

    static int compare(const DbfKeyPart* a, const DbfKeyPart* b, int n, bool caseInsensitive);
    // A part for text bytes (trailing blanks dropped; empty gives null).
    static DbfKeyPart textPart(const uchar* text, int length);

private:
    struct Field {
        DbfFieldDef def;
        int offset = 0;
    };
    QVector<int> fields_;
    QVector<Field> parts_;
    DbfDialect dialect_ = DbfDialect::DBase4;
};
