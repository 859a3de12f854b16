// A dBase table: the .dbf file, its memo file and its index definitions.
//
// A file is opened once per process: DbfTable::open returns the same shared
// object to every caller that names the same file, so every cursor sees a
// stored change as soon as it re-reads. Between processes, one at a time may
// write a table (see DbfLock): it holds the write lock from before it reads
// the table until it closes it, so its rows are never stale; readers read a
// consistent state and see later changes of others when they open again. Rows are numbered from 0
// in file order (the dBase record number minus one); a deleted row keeps its number and is left out
// of every index order. Every change is on disk when the call returns and either happens whole or
// not at all; failures raise EDatabaseError (or EInOutError for the file system) with a message
// that names the file.
#pragma once

#include "KivError.h"

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <vector>

enum class FieldType : char {
    Character = 'C',
    Numeric = 'N',
    Float = 'F',
    Date = 'D',
    Logical = 'L',
    Memo = 'M',
    // read from other writers' files
    Integer = 'I',
    Double = 'O',
    AutoInc = '+',
    Timestamp = '@',
    Binary = 'B', // binary memo
    General = 'G' // OLE memo
};

struct DbfFieldDef {
    QString name; // as stored: upper case, at most 10 characters
    FieldType type = FieldType::Character;
    int length = 0; // bytes in the record
    int decimals = 0;

    bool isMemo() const {
        return type == FieldType::Memo || type == FieldType::Binary || type == FieldType::General;
    }
};

struct DbfIndexDef {
    QString name;       // e.g. I_Id
    QStringList fields; // field names, key order
    bool unique = false;
    bool primary = false;

    QString fieldList() const { return fields.join(QLatin1Char(';')); }
};

// One value per field in field order. A null QVariant is a blank value.
// Character and memo values are QString, Numeric/Float/Integer/Double double
// (or qint64 where whole), Date QDate, Logical bool, Timestamp QDateTime.
using DbfRecord = QVector<QVariant>;

// Several changes checked together before any is written (unique keys are
// checked against the state after all of them), then written in order.
struct DbfBatch {
    std::vector<DbfRecord> appends;
    std::vector<std::pair<int, DbfRecord>> updates;
    std::vector<int> deletes;
};

struct DbfHolder;

enum class DbfAccess {
    // Reads; the first change takes the write lock (waiting briefly for
    // another writer, failing when one keeps the table open) and reads the
    // table again before changing it.
    Read,
    // Takes the write lock now, for a short job such as a statement; fails as
    // a Read table's first change does.
    Write,
    // For an editor that keeps the table open: takes the write lock now and
    // keeps it; when another process keeps it, the table opens read-only and
    // otherWriter() names that process.
    Edit
};

class DbfTable : public QObject {
    Q_OBJECT
public:
    // The shared table of `path` (opened now when no one has it open). Asking
    // an open table for more access than it has tries to take the lock again.
    static std::shared_ptr<DbfTable> open(const QString& path, DbfAccess access = DbfAccess::Read);
    // Writes a new empty table (and its memo file when a field is a memo).
    // Refuses an existing file.
    static void create(const QString& path, const QVector<DbfFieldDef>& fields);
    // Removes the table's files. Refuses a table that is open here or that
    // another process writes.
    static void drop(const QString& path);

    ~DbfTable() override;

    QString path() const;
    const QVector<DbfFieldDef>& fields() const;
    // Case-insensitive; -1 when the table has no such field.
    int fieldIndex(const QString& name) const;

    int rowCount() const; // including deleted rows
    bool isDeleted(int row) const;
    QVariant value(int row, int field) const; // memos are read from disk on demand
    // A memo as its file stores it (Windows-1252 for text), without decoding;
    // empty when blank or unreadable.
    QByteArray memoBytes(int row, int field) const;
    DbfRecord record(int row) const;

    int appendRow(const DbfRecord& values); // returns the new row's number
    void updateRow(int row, const DbfRecord& values);
    void deleteRow(int row);
    // Returns the numbers of the appended rows, in order.
    std::vector<int> applyBatch(const DbfBatch& batch);

    const QVector<DbfIndexDef>& indexes() const;
    // Persists the definition and builds the index; a unique index over
    // duplicate keys is refused with "Key violation".
    void addIndex(const DbfIndexDef& def);
    void removeIndex(const QString& name);
    // The live rows in the order of index `index` (position in indexes()).
    const std::vector<int>& indexRows(int index) const;
    // The first position in indexRows(index) whose key is not below `key`
    // (values for the index's first fields, compared as compareDbfValues does);
    // indexRows(index).size() when every key is below it.
    int lowerBound(int index, const QVector<QVariant>& key) const;
    // The live rows ordered by any list of field numbers (an index's order when
    // one matches, else sorted now); file order when `fields` is empty.
    std::vector<int> orderedRows(const QVector<int>& fields, bool caseInsensitive = false) const;

    // Grows with every stored change; cursors compare it to know they are stale.
    quint64 changeCount() const;

    // Reads the table again when this process does not write it and the file
    // changed since it was read (another process wrote it); returns whether it did.
    bool refresh();

    // The process that writes the table when this one asked for Edit access
    // and opened it read-only instead; null while this process may write.
    const DbfHolder* otherWriter() const;
    // "Table "P" is open read-only: it is being written by kivhelp (process 12)",
    // or empty while this process may write.
    QString readOnlyReason() const;

    // Test hook: called between the steps of every change with the name of the
    // step just completed ("memo-data", "memo-header", "journal", "records",
    // "header"). Whatever it throws acts as a crash at that point: the table
    // object refuses further changes and must be reopened. Empty to remove.
    static void setFailpoint(std::function<void(const char* step)> hook);

signals:
    // After every stored change (row is -1 when more than one row changed).
    void changed(int row);

private:
    DbfTable(const QString& path, DbfAccess access);
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The order of values in indexes and sorts: null first, numbers by value,
// dates by date, booleans false first, text by character code (trailing blanks
// ignored), case-insensitively when asked.
int compareDbfValues(const QVariant& a, const QVariant& b, bool caseInsensitive = false);
