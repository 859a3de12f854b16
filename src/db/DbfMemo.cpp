#include "DbfMemo.h"

#include <QtEndian>

namespace {

constexpr qint64 kHeaderSize = 512;
constexpr qint64 kMaxMemo = qint64(1) << 30;
constexpr qint64 kFirstRead = 4096;
constexpr qint64 kWindow = 64 * 1024;
const char kDBase4Mark[4] = {'\xFF', '\xFF', '\x08', '\x00'};

} // namespace

void DbfMemo::open(const QString& path, bool dbase3) {
    forgetWindow(); // opened again after another process wrote: read afresh
    file_.open(path);
    const QByteArray header = file_.read(0, kHeaderSize);
    if (header.size() < 24)
        throw EDatabaseError(
            QStringLiteral("Memo file \"%1\" is damaged: the header is cut short").arg(path));
    const auto* h = reinterpret_cast<const uchar*>(header.constData());
    if (path.endsWith(QLatin1String(".fpt"), Qt::CaseInsensitive)) {
        style_ = Style::FoxPro;
        nextFree_ = qFromBigEndian<quint32>(h);
        blockSize_ = qFromBigEndian<quint16>(h + 6);
        if (blockSize_ == 0) blockSize_ = 1;
    } else {
        style_ = dbase3 ? Style::DBase3 : Style::DBase4;
        nextFree_ = qFromLittleEndian<quint32>(h);
        blockSize_ = dbase3 ? 512 : qFromLittleEndian<quint16>(h + 20);
        if (blockSize_ < 32) blockSize_ = 512;
    }
    // The header may lag behind blocks written just before a crash; never hand
    // out a block that already holds data.
    const qint64 used = (file_.size() + blockSize_ - 1) / blockSize_;
    const qint64 firstData = (kHeaderSize + blockSize_ - 1) / blockSize_;
    nextFree_ = std::max({nextFree_, used, firstData});
    pendingNextFree_ = nextFree_;
}

QByteArray DbfMemo::read(qint64 block) const {
    if (block <= 0) return {};
    const qint64 start = block * blockSize_;
    // A memo right after the one read last is a walk in file order: one large
    // read serves the memos that follow, instead of one read each.
    const bool sequential = start == nextSequential_;
    nextSequential_ = -1;
    if (sequential && !inWindow(start)) {
        window_.resize(kWindow);
        window_.truncate(file_.readInto(start, window_.data(), kWindow));
        windowStart_ = start;
    }
    // The bytes from `start` on that are at hand: from the window, or from one
    // read that brings the block header and, for most memos, the whole text.
    QByteArray first;
    const char* at;
    qint64 got;
    if (inWindow(start)) {
        at = window_.constData() + (start - windowStart_);
        got = windowStart_ + window_.size() - start;
    } else {
        first.resize(kFirstRead);
        got = file_.readInto(start, first.data(), kFirstRead);
        at = first.constData();
    }
    if (got < 8) return {};
    const auto* h = reinterpret_cast<const uchar*>(at);
    qint64 length = 0;
    if (style_ == Style::FoxPro) {
        length = qFromBigEndian<quint32>(h + 4);
    } else {
        if (memcmp(h, kDBase4Mark, 4) != 0) return readDBase3(start);
        // dBase IV: the length counts the 8 bytes of the block header.
        length = qint64(qFromLittleEndian<quint32>(h + 4)) - 8;
    }
    if (length < 0 || length > kMaxMemo) return {};
    QByteArray data;
    if (got >= 8 + length) {
        data = QByteArray(at + 8, length);
    } else {
        // The size first: a damaged length must not allocate what the file lacks.
        if (start + 8 + length > file_.size()) return {};
        data.resize(length);
        memcpy(data.data(), at + 8, size_t(got - 8));
        if (file_.readInto(start + got, data.data() + got - 8, 8 + length - got) < 8 + length - got)
            return {};
    }
    nextSequential_ = start + (8 + length + blockSize_ - 1) / blockSize_ * blockSize_;
    if (length == 0) return QByteArray("");
    return data;
}

bool DbfMemo::inWindow(qint64 offset) const {
    return windowStart_ >= 0 && offset >= windowStart_ && offset < windowStart_ + window_.size();
}

void DbfMemo::forgetWindow() {
    window_.clear();
    windowStart_ = -1;
    nextSequential_ = -1;
}

QByteArray DbfMemo::readDBase3(qint64 start) const {
    // dBase III: text up to the end-of-text mark (or the end of the file).
    QByteArray data("");
    for (qint64 at = start; at < file_.size() && data.size() < kMaxMemo; at += 4096) {
        const QByteArray chunk = file_.read(at, 4096);
        const qsizetype end = chunk.indexOf('\x1A');
        if (end >= 0) return data + chunk.left(end);
        data += chunk;
    }
    return data;
}

QByteArray DbfMemo::block(const QByteArray& memo) const {
    QByteArray out;
    if (style_ == Style::DBase3) {
        out = memo + QByteArray("\x1A\x1A", 2);
    } else {
        out.resize(8);
        auto* b = reinterpret_cast<uchar*>(out.data());
        if (style_ == Style::FoxPro) {
            qToBigEndian<quint32>(1, b);
            qToBigEndian<quint32>(quint32(memo.size()), b + 4);
        } else {
            memcpy(b, kDBase4Mark, 4);
            qToLittleEndian<quint32>(quint32(memo.size() + 8), b + 4);
        }
        out += memo;
    }
    const qint64 blocks = (out.size() + blockSize_ - 1) / blockSize_;
    out.append(QByteArray(blocks * blockSize_ - out.size(), '\0'));
    return out;
}

std::vector<qint64> DbfMemo::append(const std::vector<QByteArray>& memos) {
    std::vector<qint64> blocks;
    QByteArray bytes;
    qint64 next = pendingNextFree_;
    for (const QByteArray& memo : memos) {
        if (memo.size() > kMaxMemo)
            throw EDatabaseError(QStringLiteral("A memo of %1 bytes is too large for \"%2\"")
                                     .arg(memo.size())
                                     .arg(path()));
        if (style_ == Style::DBase3 && memo.contains('\x1A'))
            throw EDatabaseError(
                QStringLiteral("Memo file \"%1\" cannot hold the character 26 (dBase III memos)")
                    .arg(path()));
        const QByteArray b = block(memo);
        blocks.push_back(next);
        next += b.size() / blockSize_;
        bytes += b;
    }
    if (next > 0xFFFFFFFFll)
        throw EDatabaseError(QStringLiteral("Memo file \"%1\" is full").arg(path()));
    forgetWindow(); // it may end where the new blocks begin
    if (!bytes.isEmpty()) file_.write(pendingNextFree_ * blockSize_, bytes);
    pendingNextFree_ = next;
    return blocks;
}

void DbfMemo::commitAppend() {
    if (pendingNextFree_ == nextFree_) return;
    // One flush covers the blocks and the pointer: should the pointer reach
    // the disk first, it only marks blocks used that no row points at yet.
    QByteArray pointer(4, '\0');
    auto* b = reinterpret_cast<uchar*>(pointer.data());
    if (style_ == Style::FoxPro)
        qToBigEndian<quint32>(quint32(pendingNextFree_), b);
    else
        qToLittleEndian<quint32>(quint32(pendingNextFree_), b);
    forgetWindow(); // with blocks of a byte, the window may hold the header
    file_.write(0, pointer);
    file_.sync();
    nextFree_ = pendingNextFree_;
}

QByteArray DbfMemo::emptyFile(const QString& tableStem) {
    QByteArray out(kHeaderSize, '\0');
    auto* b = reinterpret_cast<uchar*>(out.data());
    qToLittleEndian<quint32>(1, b);
    const QByteArray stem = tableStem.toLatin1().left(8);
    memcpy(b + 8, stem.constData(), size_t(stem.size()));
    qToLittleEndian<quint16>(512, b + 20);
    return out;
}
