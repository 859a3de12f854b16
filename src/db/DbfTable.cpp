#include "DbfTable.h"

#include "Cp1252.h"
#include "DbfCodec.h"
#include "DbfFile.h"
#include "DbfHeader.h"
#include "DbfIndex.h"
#include "DbfJournal.h"
#include "DbfLock.h"
#include "DbfMemo.h"
#include "DbfValue.h"
#include "IndexCatalog.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <sys/stat.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_set>

namespace {

QHash<QString, std::weak_ptr<DbfTable>>& registry() {
    static QHash<QString, std::weak_ptr<DbfTable>> tables;
    return tables;
}

std::function<void(const char*)>& failpoint() {
    static std::function<void(const char*)> hook;
    return hook;
}

QString stemOf(const QString& path) {
    return path.endsWith(QLatin1String(".dbf"), Qt::CaseInsensitive) ? path.chopped(4) : path;
}

// The memo file that belongs to a table: FoxPro tables use .fpt, dBase .dbt;
// the other one is accepted when only it exists.
QString memoPathOf(const QString& path, DbfDialect dialect) {
    const QString stem = stemOf(path);
    const bool upper = path.endsWith(QLatin1String(".DBF"));
    const bool fox = dialect == DbfDialect::FoxPro || dialect == DbfDialect::VisualFoxPro;
    QStringList candidates{QStringLiteral(".dbt"), QStringLiteral(".fpt")};
    if (fox) std::swap(candidates[0], candidates[1]);
    for (const QString& ext : candidates) {
        const QString name = stem + (upper ? ext.toUpper() : ext);
        if (DbfFile::exists(name)) return name;
        if (DbfFile::exists(stem + ext)) return stem + ext;
    }
    return stem + candidates[0];
}

QString keyText(const DbfRecord& values, const QVector<int>& fields) {
    QStringList parts;
    for (int f : fields) {
        const QVariant& v = f < values.size() ? values[f] : QVariant();
        parts << (v.isNull() ? QStringLiteral("(blank)") : v.toString());
    }
    return parts.join(QLatin1Char(';'));
}

QString busyMessage(const QString& path, const DbfHolder& holder) {
    return QStringLiteral("Table \"%1\" is being written by %2").arg(path, holder.text());
}

QString readOnlyMessage(const QString& path, const DbfHolder& holder) {
    return QStringLiteral("Table \"%1\" is open read-only: it is being written by %2")
        .arg(path, holder.text());
}

} // namespace

struct DbfTable::Impl {
    QString path;
    QString journalPath;
    QString catalogPath;
    DbfFile file;                  // one descriptor for the table's life: the locks live on it
    std::unique_ptr<DbfLock> lock; // declared after the file, so it goes first
    std::optional<DbfHolder> otherWriter; // set when Edit access found another writer
    DbfHeader header;
    QByteArray data; // the records as on disk, each starting at its deleted flag
    int count = 0;
    DbfMemo memo;
    QVector<DbfIndexDef> indexDefs;
    std::vector<std::unique_ptr<DbfIndex>> indexes;
    quint64 changes = 0;
    QByteArray stamp;     // size, time and header of the file as last read
    bool crashed = false; // a failpoint fired: the object no longer mirrors the files

    DbfRows rows() const { return {data.constData(), header.recordSize, count}; }
    const char* record(int row) const { return data.constData() + qint64(row) * header.recordSize; }

    void step(const char* name) {
        if (!failpoint()) return;
        try {
            failpoint()(name);
        } catch (...) {
            crashed = true;
            throw;
        }
    }

    void load();
    QByteArray currentStamp() const;
    void want(DbfAccess access, bool loaded);
    void ensureWriter();
    QVector<int> resolve(const QStringList& names, const QString& what) const;
    std::unique_ptr<DbfIndex> makeIndex(const DbfIndexDef& def) const;
    void checkRow(int row) const;
    void checkField(int field) const;
    void checkWritable();
    QByteArray encode(const DbfRecord& values, int oldRow, std::vector<QByteArray>& memos,
                      std::vector<std::pair<int, int>>& memoSlots, int recordNo) const;
    void checkUnique(const std::vector<const char*>& newRecords,
                     const std::unordered_set<int>& replaced,
                     const std::vector<const DbfRecord*>& values) const;
    [[noreturn]] void keyViolation(const DbfIndex& index, const DbfRecord* values) const;
};

void DbfTable::Impl::load() {
    // A journal is replayed only under the exclusive data lock: while a writer
    // lives, its journal may still be in the making.
    bool journal = DbfFile::exists(journalPath);
    std::optional<DbfLock::Data> reading;
    reading.emplace(*lock, journal);
    if (!journal && DbfFile::exists(journalPath)) {
        reading.reset(); // left by a writer that died just now
        journal = true;
        reading.emplace(*lock, true);
    }
    if (journal) DbfJournal::recover(journalPath, file);
    stamp = currentStamp();
    header = DbfHeader::read(file);
    // Only whole records count: a header that promises more than the file
    // holds (a file cut short) gives the rows that are really there.
    const qint64 available = (file.size() - header.headerSize) / header.recordSize;
    const qint64 whole = std::clamp<qint64>(header.recordCount, 0, std::max<qint64>(available, 0));
    if (whole > std::numeric_limits<int>::max() / 2)
        throw EDatabaseError(QStringLiteral("Table \"%1\" is too large").arg(path));
    count = int(whole);
    data = file.read(header.headerSize, whole * header.recordSize);
    if (data.size() != whole * header.recordSize)
        throw EInOutError(QStringLiteral("Cannot read file \"%1\"").arg(path));
    if (header.hasMemo()) {
        const QString memoPath = memoPathOf(path, header.dialect);
        if (!DbfFile::exists(memoPath))
            throw EDatabaseError(QStringLiteral("The memo file \"%1\" of table \"%2\" is missing")
                                     .arg(memoPath, path));
        memo.open(memoPath, header.version == 0x83);
    }
    indexDefs.clear();
    indexes.clear();
    for (DbfIndexDef def : IndexCatalog::read(catalogPath)) {
        auto index = makeIndex(def);
        index->build(rows());
        indexDefs.push_back(index->def());
        indexes.push_back(std::move(index));
    }
}

QVector<int> DbfTable::Impl::resolve(const QStringList& names, const QString& what) const {
    QVector<int> fields;
    for (const QString& name : names) {
        int found = -1;
        for (int i = 0; i < header.fields.size(); ++i)
            if (header.fields[i].name.compare(name.trimmed(), Qt::CaseInsensitive) == 0) found = i;
        if (found < 0)
            throw EDatabaseError(
                QStringLiteral("%1: table \"%2\" has no field %3").arg(what, path, name.trimmed()));
        if (header.fields[found].isMemo())
            throw EDatabaseError(QStringLiteral("%1: the memo field %2 cannot be indexed")
                                     .arg(what, name.trimmed()));
        fields.push_back(found);
    }
    return fields;
}

std::unique_ptr<DbfIndex> DbfTable::Impl::makeIndex(const DbfIndexDef& def) const {
    const QString what = QStringLiteral("Index %1").arg(def.name);
    const QVector<int> fields = resolve(def.fields, what);
    DbfIndexDef stored = def;
    stored.unique = def.unique || def.primary;
    stored.fields.clear();
    for (int f : fields)
        stored.fields << header.fields[f].name;
    return std::make_unique<DbfIndex>(stored, header, fields);
}

void DbfTable::Impl::checkRow(int row) const {
    if (row < 0 || row >= count)
        throw EDatabaseError(QStringLiteral("Table \"%1\" has no row %2").arg(path).arg(row));
}

void DbfTable::Impl::checkField(int field) const {
    if (field < 0 || field >= header.fields.size())
        throw EDatabaseError(
            QStringLiteral("Table \"%1\" has no field number %2").arg(path).arg(field));
}

// Every change of the file moves its time, and a change of the rows' count its
// header. A write within the same clock tick may go unseen; only a reader uses
// this, to see others' changes sooner.
QByteArray DbfTable::Impl::currentStamp() const {
    struct stat st {};
    if (::fstat(file.handle(), &st) != 0) return {};
    QByteArray out = file.read(0, 12);
    for (const qint64 n :
         {qint64(st.st_size), qint64(st.st_mtim.tv_sec), qint64(st.st_mtim.tv_nsec)})
        out.append(reinterpret_cast<const char*>(&n), sizeof n);
    return out;
}

// Another process may have changed the table since it was read without the
// write lock: once the lock is taken, it is read again.
void DbfTable::Impl::want(DbfAccess access, bool loaded) {
    if (access == DbfAccess::Read || lock->holdsWriter() || !file.writable()) return;
    DbfHolder holder;
    if (lock->lockWriter(access == DbfAccess::Edit, &holder)) {
        otherWriter.reset();
        if (loaded) {
            load();
            ++changes;
        }
        return;
    }
    if (access == DbfAccess::Write) throw EDatabaseError(busyMessage(path, holder));
    otherWriter = holder;
}

void DbfTable::Impl::ensureWriter() {
    if (lock->holdsWriter()) return;
    if (otherWriter) throw EDatabaseError(readOnlyMessage(path, *otherWriter));
    want(DbfAccess::Write, true);
}

void DbfTable::Impl::checkWritable() {
    if (crashed)
        throw EDatabaseError(
            QStringLiteral("Table \"%1\" must be reopened after a failed change").arg(path));
    if (!header.writable())
        throw EDatabaseError(
            QStringLiteral("Table \"%1\" has a layout this program can only read").arg(path));
    if (!file.writable() || (header.hasMemo() && !memo.writable()))
        throw EInOutError(QStringLiteral("Table \"%1\" cannot be written").arg(path));
    ensureWriter();
}

QByteArray DbfTable::Impl::encode(const DbfRecord& values, int oldRow,
                                  std::vector<QByteArray>& memos,
                                  std::vector<std::pair<int, int>>& memoSlots, int recordNo) const {
    if (values.size() != header.fields.size())
        throw EDatabaseError(QStringLiteral("Table \"%1\" has %2 fields, not %3")
                                 .arg(path)
                                 .arg(header.fields.size())
                                 .arg(values.size()));
    QByteArray out(header.recordSize, ' ');
    for (int i = 0; i < header.fields.size(); ++i) {
        const DbfFieldDef& f = header.fields[i];
        char* at = out.data() + header.offsets[i];
        if (!f.isMemo()) {
            DbfCodec::encode(f, values[i], at, path);
            continue;
        }
        const QByteArray bytes = DbfCodec::memoBytes(values[i]);
        if (oldRow >= 0) {
            // An unchanged memo keeps its blocks instead of growing the file.
            const char* old = record(oldRow) + header.offsets[i];
            const QByteArray stored = memo.read(DbfCodec::memoBlock(f, old));
            if (stored == bytes || (stored.isEmpty() && bytes.isEmpty())) {
                if (!bytes.isEmpty()) memcpy(at, old, size_t(f.length));
                continue;
            }
        }
        if (bytes.isEmpty()) continue;
        memos.push_back(bytes);
        memoSlots.emplace_back(recordNo, header.offsets[i]);
    }
    return out;
}

void DbfTable::Impl::keyViolation(const DbfIndex& index, const DbfRecord* values) const {
    throw EDatabaseError(
        QStringLiteral("Key violation: index %1 of table \"%2\" already holds "
                       "the key %3")
            .arg(index.def().name, path,
                 values ? keyText(*values, index.keys().fields()) : QStringLiteral("given")));
}

void DbfTable::Impl::checkUnique(const std::vector<const char*>& newRecords,
                                 const std::unordered_set<int>& replaced,
                                 const std::vector<const DbfRecord*>& values) const {
    const DbfRows table = rows();
    for (const auto& index : indexes) {
        if (!index->def().unique) continue;
        for (size_t i = 0; i < newRecords.size(); ++i)
            if (index->findEqual(table, newRecords[i], replaced) >= 0)
                keyViolation(*index, values[i]);
        if (newRecords.size() < 2) continue;
        // Duplicates among the new records themselves.
        const DbfKeyMaker& keys = index->keys();
        const size_t n = size_t(keys.size());
        std::vector<DbfKeyPart> parts(newRecords.size() * n);
        for (size_t i = 0; i < newRecords.size(); ++i)
            keys.extract(newRecords[i], &parts[i * n]);
        std::vector<size_t> order(newRecords.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return DbfKeyMaker::compare(&parts[a * n], &parts[b * n], int(n), false) < 0;
        });
        for (size_t i = 1; i < order.size(); ++i)
            if (DbfKeyMaker::compare(&parts[order[i - 1] * n], &parts[order[i] * n], int(n),
                                     false) == 0)
                keyViolation(*index, values[order[i]]);
    }
}

DbfTable::DbfTable(const QString& path, DbfAccess access) : d(std::make_unique<Impl>()) {
    d->path = path;
    d->journalPath = DbfJournal::pathFor(path);
    d->catalogPath = IndexCatalog::pathFor(path);
    d->file.open(path);
    d->lock = std::make_unique<DbfLock>(d->file);
    d->want(access, false); // before reading, so a writer's rows are never stale
    d->load();
}

DbfTable::~DbfTable() {
    auto& tables = registry();
    const auto it = tables.find(d->path);
    if (it != tables.end() && it->expired()) tables.erase(it);
}

std::shared_ptr<DbfTable> DbfTable::open(const QString& path, DbfAccess access) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        throw EDatabaseError(QStringLiteral("Table \"%1\" does not exist").arg(path));
    auto& tables = registry();
    if (auto table = tables.value(canonical).lock()) {
        table->d->want(access, true);
        return table;
    }
    std::shared_ptr<DbfTable> table(new DbfTable(canonical, access));
    tables.insert(canonical, table);
    return table;
}

void DbfTable::create(const QString& path, const QVector<DbfFieldDef>& fields) {
    const QVector<DbfFieldDef> defs = DbfHeader::normalise(fields, path);
    if (DbfFile::exists(path))
        throw EDatabaseError(QStringLiteral("Table \"%1\" already exists").arg(path));
    bool memo = false;
    for (const auto& f : defs)
        memo = memo || f.isMemo();
    const QString memoPath = stemOf(path) + QStringLiteral(".dbt");
    // A memo file that holds no more than a header is what an interrupted
    // create leaves behind; anything larger may be someone's data.
    if (memo && DbfFile::exists(memoPath) && QFileInfo(memoPath).size() > 512)
        throw EDatabaseError(QStringLiteral("Memo file \"%1\" already exists").arg(memoPath));
    // The table file appears last, so a failure leaves no table that is half made.
    if (memo) DbfFile::writeAtomically(memoPath, DbfMemo::emptyFile(QFileInfo(path).baseName()));
    try {
        // Left-overs of an earlier table of this name describe nothing now.
        DbfFile::remove(IndexCatalog::pathFor(path));
        DbfFile::remove(DbfJournal::pathFor(path));
        DbfFile::writeAtomically(path, DbfHeader::build(defs, QDate::currentDate()) + '\x1A');
    } catch (...) {
        if (memo) {
            try {
                DbfFile::remove(memoPath);
            } catch (const EKivError&) {
            }
        }
        throw;
    }
}

void DbfTable::drop(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        throw EDatabaseError(QStringLiteral("Table \"%1\" does not exist").arg(path));
    if (!registry().value(canonical).expired())
        throw EDatabaseError(QStringLiteral("Table \"%1\" is open").arg(path));
    DbfFile file;
    file.open(canonical);
    std::optional<DbfLock> lock;
    std::optional<DbfLock::Data> writing;
    if (file.writable()) {
        lock.emplace(file);
        DbfHolder holder;
        if (!lock->lockWriter(false, &holder)) throw EDatabaseError(busyMessage(canonical, holder));
        writing.emplace(*lock, true);
    }
    DbfFile::remove(canonical); // the table is gone with its main file
    const QString stem = stemOf(canonical);
    for (const char* ext : {".dbt", ".DBT", ".fpt", ".FPT", ".kix", ".kjn"})
        DbfFile::remove(stem + QLatin1String(ext));
    DbfFile::syncFolder(canonical);
}

QString DbfTable::path() const {
    return d->path;
}

const QVector<DbfFieldDef>& DbfTable::fields() const {
    return d->header.fields;
}

int DbfTable::fieldIndex(const QString& name) const {
    const auto& fields = d->header.fields;
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

int DbfTable::rowCount() const {
    return d->count;
}

bool DbfTable::isDeleted(int row) const {
    d->checkRow(row);
    return *d->record(row) == '*';
}

QVariant DbfTable::value(int row, int field) const {
    d->checkRow(row);
    d->checkField(field);
    const DbfFieldDef& f = d->header.fields[field];
    if (!f.isMemo())
        return DbfCodec::decode(f, d->header.dialect, d->record(row) + d->header.offsets[field]);
    const QByteArray memo = memoBytes(row, field);
    if (memo.isEmpty()) return {};
    if (f.type == FieldType::Memo) return Cp1252::decode(memo);
    return memo;
}

QByteArray DbfTable::memoBytes(int row, int field) const {
    d->checkRow(row);
    d->checkField(field);
    const DbfFieldDef& f = d->header.fields[field];
    if (!f.isMemo() || !d->memo.isOpen()) return {};
    return d->memo.read(DbfCodec::memoBlock(f, d->record(row) + d->header.offsets[field]));
}

DbfRecord DbfTable::record(int row) const {
    DbfRecord out(d->header.fields.size());
    for (int i = 0; i < out.size(); ++i)
        out[i] = value(row, i);
    return out;
}

int DbfTable::appendRow(const DbfRecord& values) {
    DbfBatch batch;
    batch.appends.push_back(values);
    return applyBatch(batch).front();
}

void DbfTable::updateRow(int row, const DbfRecord& values) {
    DbfBatch batch;
    batch.updates.emplace_back(row, values);
    applyBatch(batch);
}

void DbfTable::deleteRow(int row) {
    DbfBatch batch;
    batch.deletes.push_back(row);
    applyBatch(batch);
}

std::vector<int> DbfTable::applyBatch(const DbfBatch& batch) {
    Impl& t = *d;
    t.checkWritable();
    const int recordSize = t.header.recordSize;

    // Which rows end up how: the last update of a row wins; a deleted row stays deleted.
    std::unordered_set<int> deleted;
    for (int row : batch.deletes) {
        t.checkRow(row);
        if (*t.record(row) != '*') deleted.insert(row);
    }
    std::vector<std::pair<int, const DbfRecord*>> updates;
    std::unordered_set<int> replaced = deleted; // rows whose current keys go away
    for (auto it = batch.updates.rbegin(); it != batch.updates.rend(); ++it) {
        const int row = it->first;
        t.checkRow(row);
        if (*t.record(row) == '*')
            throw EDatabaseError(
                QStringLiteral("Row %1 of table \"%2\" is deleted").arg(row).arg(t.path));
        if (replaced.insert(row).second) updates.emplace_back(row, &it->second);
    }
    std::reverse(updates.begin(), updates.end());

    // Encode everything before anything is written: bad values change nothing.
    std::vector<QByteArray> memos;
    std::vector<std::pair<int, int>> memoSlots; // (new record number, offset in it)
    std::vector<QByteArray> newRecords;
    for (const auto& [row, values] : updates)
        newRecords.push_back(t.encode(*values, row, memos, memoSlots, int(newRecords.size())));
    for (const DbfRecord& values : batch.appends)
        newRecords.push_back(t.encode(values, -1, memos, memoSlots, int(newRecords.size())));
    if (qint64(t.count) + qint64(batch.appends.size()) > std::numeric_limits<int>::max() / 2)
        throw EDatabaseError(QStringLiteral("Table \"%1\" is full").arg(t.path));

    std::vector<const char*> keyRecords;
    std::vector<const DbfRecord*> keyValues;
    for (size_t i = 0; i < newRecords.size(); ++i) {
        keyRecords.push_back(newRecords[i].constData());
        keyValues.push_back(i < updates.size() ? updates[i].second
                                               : &batch.appends[i - updates.size()]);
    }
    t.checkUnique(keyRecords, replaced, keyValues);
    if (newRecords.empty() && deleted.empty()) return {};

    const QDate today = QDate::currentDate();
    const qint64 newCount = t.count + qint64(batch.appends.size());
    const qint64 end = t.header.headerSize + qint64(t.count) * recordSize;
    std::exception_ptr failure;
    std::optional<DbfLock::Data> writing;
    writing.emplace(*t.lock, true);
    try {
        // Memos first: a row never points at a block that is not on disk.
        if (!memos.empty()) {
            const std::vector<qint64> blocks = t.memo.append(memos);
            t.step("memo-data");
            t.memo.commitAppend();
            t.step("memo-header");
            for (size_t i = 0; i < memoSlots.size(); ++i)
                DbfCodec::encodeMemoBlock(
                    blocks[i], newRecords[size_t(memoSlots[i].first)].data() + memoSlots[i].second,
                    10);
        }
        QByteArray appended;
        for (size_t i = updates.size(); i < newRecords.size(); ++i)
            appended += newRecords[i];
        if (!appended.isEmpty()) appended += '\x1A';
        if (updates.empty() && deleted.empty()) {
            // Appends only: rows land past the counted ones; the header's count,
            // written afterwards in one small write, makes them part of the table.
            t.file.write(end, appended);
            t.file.sync();
            t.step("records");
            t.file.write(1, DbfHeader::countBytes(newCount, today));
            t.file.sync();
            t.step("header");
        } else {
            std::vector<DbfJournal::Write> writes;
            for (size_t i = 0; i < updates.size(); ++i)
                writes.push_back(
                    {t.header.headerSize + qint64(updates[i].first) * recordSize, newRecords[i]});
            for (int row : deleted)
                writes.push_back({t.header.headerSize + qint64(row) * recordSize, "*"});
            if (!appended.isEmpty()) writes.push_back({end, appended});
            writes.push_back({1, DbfHeader::countBytes(newCount, today)});
            DbfJournal::write(t.journalPath, writes);
            t.step("journal");
            for (const auto& w : writes)
                t.file.write(w.offset, w.bytes);
            t.file.sync();
            t.step("records");
            // The removal must be durable too: replaying this journal after
            // later appends would turn the header's count back.
            DbfFile::remove(t.journalPath);
            DbfFile::syncFolder(t.journalPath);
            t.step("header");
        }
    } catch (...) {
        failure = std::current_exception();
    }
    writing.reset();
    if (failure) {
        if (!t.crashed) {
            // A real failure: bring the object back in line with the files
            // (which replays a journal that was written whole).
            try {
                t.load();
            } catch (...) {
                t.crashed = true;
            }
        }
        std::rethrow_exception(failure);
    }

    // The files hold the change; now the memory image and the indexes.
    for (size_t i = 0; i < updates.size(); ++i) {
        const int row = updates[i].first;
        for (auto& index : t.indexes)
            index->remove(row);
        memcpy(t.data.data() + qint64(row) * recordSize, newRecords[i].constData(),
               size_t(recordSize));
    }
    for (int row : deleted) {
        for (auto& index : t.indexes)
            index->remove(row);
        t.data[qint64(row) * recordSize] = '*';
    }
    std::vector<int> appendedRows;
    for (size_t i = updates.size(); i < newRecords.size(); ++i) {
        t.data += newRecords[i];
        appendedRows.push_back(t.count++);
    }
    const DbfRows rows = t.rows();
    for (auto& index : t.indexes) {
        for (const auto& u : updates)
            index->insert(rows, u.first);
        for (int row : appendedRows)
            index->insert(rows, row);
    }
    ++t.changes;
    const size_t touched = updates.size() + deleted.size() + appendedRows.size();
    int row = -1;
    if (touched == 1)
        row = !appendedRows.empty() ? appendedRows.front()
              : !updates.empty()    ? updates.front().first
                                    : *deleted.begin();
    emit changed(row);
    return appendedRows;
}

const QVector<DbfIndexDef>& DbfTable::indexes() const {
    return d->indexDefs;
}

void DbfTable::addIndex(const DbfIndexDef& def) {
    static const QRegularExpression validName(QStringLiteral("^[A-Za-z0-9_]{1,64}$"));
    if (!validName.match(def.name).hasMatch())
        throw EDatabaseError(QStringLiteral("\"%1\" is not a valid index name").arg(def.name));
    for (const auto& existing : d->indexDefs)
        if (existing.name.compare(def.name, Qt::CaseInsensitive) == 0)
            throw EDatabaseError(
                QStringLiteral("Table \"%1\" already has an index %2").arg(d->path, def.name));
    if (def.fields.isEmpty())
        throw EDatabaseError(QStringLiteral("Index %1 names no field").arg(def.name));
    if (d->crashed)
        throw EDatabaseError(
            QStringLiteral("Table \"%1\" must be reopened after a failed change").arg(d->path));
    d->ensureWriter();
    auto index = d->makeIndex(def);
    index->build(d->rows());
    if (def.unique || def.primary) {
        const int row = index->firstDuplicate(d->rows());
        if (row >= 0) d->keyViolation(*index, nullptr);
    }
    QVector<DbfIndexDef> defs = d->indexDefs;
    defs.push_back(index->def());
    IndexCatalog::write(d->catalogPath, defs);
    d->indexDefs = defs;
    d->indexes.push_back(std::move(index));
}

void DbfTable::removeIndex(const QString& name) {
    for (int i = 0; i < d->indexDefs.size(); ++i) {
        if (d->indexDefs[i].name.compare(name, Qt::CaseInsensitive) != 0) continue;
        d->ensureWriter();
        QVector<DbfIndexDef> defs = d->indexDefs;
        defs.removeAt(i);
        IndexCatalog::write(d->catalogPath, defs);
        d->indexDefs = defs;
        d->indexes.erase(d->indexes.begin() + i);
        return;
    }
    throw EDatabaseError(QStringLiteral("Table \"%1\" has no index %2").arg(d->path, name));
}

const std::vector<int>& DbfTable::indexRows(int index) const {
    if (index < 0 || index >= int(d->indexes.size()))
        throw EDatabaseError(
            QStringLiteral("Table \"%1\" has no index number %2").arg(d->path).arg(index));
    return d->indexes[size_t(index)]->rows();
}

int DbfTable::lowerBound(int index, const QVector<QVariant>& key) const {
    const std::vector<int>& rows = indexRows(index);
    const DbfIndex& ix = *d->indexes[size_t(index)];
    const QVector<int>& fields = ix.keys().fields();
    const int n = int(std::min(key.size(), fields.size()));
    const auto at = std::partition_point(rows.begin(), rows.end(), [&](int row) {
        for (int i = 0; i < n; ++i) {
            const int c = compareDbfValues(value(row, fields[i]), key[i]);
            if (c != 0) return c < 0;
        }
        return false;
    });
    return int(at - rows.begin());
}

std::vector<int> DbfTable::orderedRows(const QVector<int>& fields, bool caseInsensitive) const {
    for (int f : fields)
        d->checkField(f);
    const DbfRows rows = d->rows();
    if (fields.isEmpty()) {
        std::vector<int> out;
        out.reserve(size_t(d->count));
        for (int r = 0; r < d->count; ++r)
            if (!rows.deleted(r)) out.push_back(r);
        return out;
    }
    const DbfKeyMaker keys(d->header, fields);
    if (!caseInsensitive || !keys.hasText())
        for (const auto& index : d->indexes)
            if (index->keys().fields() == fields) return index->rows();
    return DbfIndex::sorted(rows, keys, caseInsensitive,
                            [&](int row, int part) { return memoBytes(row, fields[part]); });
}

quint64 DbfTable::changeCount() const {
    return d->changes;
}

bool DbfTable::refresh() {
    if (d->lock->holdsWriter() || d->crashed || d->currentStamp() == d->stamp) return false;
    d->load();
    ++d->changes;
    return true;
}

const DbfHolder* DbfTable::otherWriter() const {
    return d->otherWriter ? &*d->otherWriter : nullptr;
}

QString DbfTable::readOnlyReason() const {
    return d->otherWriter ? readOnlyMessage(d->path, *d->otherWriter) : QString();
}

void DbfTable::setFailpoint(std::function<void(const char*)> hook) {
    failpoint() = std::move(hook);
}

namespace {

int category(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return 0;
    switch (v.typeId()) {
    case QMetaType::Bool:
        return 1;
    case QMetaType::QDate:
        return 3;
    case QMetaType::QDateTime:
        return 4;
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar:
        return 5;
    default:
        return 2;
    }
}

} // namespace

int compareDbfValues(const QVariant& a, const QVariant& b, bool caseInsensitive) {
    const int ca = category(a), cb = category(b);
    if (ca != cb) return ca < cb ? -1 : 1;
    switch (ca) {
    case 0:
        return 0;
    case 1:
        return int(a.toBool()) - int(b.toBool());
    case 2:
        return compareNumbers(a, b);
    case 3: {
        const QDate x = a.toDate(), y = b.toDate();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case 4: {
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    default: {
        const QString x =
            a.typeId() == QMetaType::QByteArray ? Cp1252::decode(a.toByteArray()) : a.toString();
        const QString y =
            b.typeId() == QMetaType::QByteArray ? Cp1252::decode(b.toByteArray()) : b.toString();
        const int c = withoutTrailingBlanks(x).compare(
            withoutTrailingBlanks(y), caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    }
}
