// Any filter text either filters a dataset or raises EKivError, leaving the
// dataset open and usable: parsing, binding to the fields and evaluating run
// over a small in-memory topic list of every field type.
#include "KivError.h"
#include "TMemTable.h"

#include <cstdint>

namespace {

TMemTable& topics() {
    static TMemTable* table = [] {
        auto* t = new TMemTable;
        t->addFieldDef(QStringLiteral("ID"), TFieldType::ftFloat);
        t->addFieldDef(QStringLiteral("NAME"), TFieldType::ftString, 60);
        t->addFieldDef(QStringLiteral("STATE"), TFieldType::ftSmallint);
        t->addFieldDef(QStringLiteral("DAY"), TFieldType::ftDate);
        t->addFieldDef(QStringLiteral("OK"), TFieldType::ftBoolean);
        t->addFieldDef(QStringLiteral("TEXT"), TFieldType::ftMemo);
        t->Open();
        const QVariantList rows[] = {{10, "Intro", 1, QDate(2024, 1, 31), true, "{\\rtf1 x}"},
                                     {20, "about", QVariant(), QVariant(), false, QVariant()},
                                     {5, QVariant(), 3, QDate(1999, 12, 31), QVariant(), "memo"}};
        for (const QVariantList& r : rows) {
            t->Append();
            for (int i = 0; i < r.size(); ++i) t->Fields()[i]->setValue(r[i]);
            t->Post();
        }
        return t;
    }();
    return *table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemTable& t = topics();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    t.setFilter(QString());
    t.setFiltered(true);
    try {
        t.setFilter(text);
        t.setFilterOptions(size % 2 ? TFilterOptions(foCaseInsensitive) : TFilterOptions());
    } catch (const EKivError&) {
    }
    int seen = 0;
    for (t.First(); !t.Eof(); t.Next()) ++seen;
    if (seen > 3 || !t.Active()) __builtin_trap();
    return 0;
}
