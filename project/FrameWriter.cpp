#include "project/FrameWriter.h"

#include "common/Bitmaps.h"
#include "common/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

TFrameWriter::TFrameWriter(size_t maxPendingBytes, size_t maxHeldBytes)
    : FMaxPendingBytes(maxPendingBytes), FMaxHeldBytes(maxHeldBytes), FThread([this] { Run(); }) {}

TFrameWriter::~TFrameWriter() {
    Stop();
}

void TFrameWriter::Enqueue(const QImage& picture, const QString& fileName) {
    std::unique_lock<std::mutex> lock(FLock);
    // One picture larger than the bound still goes through once the queue is empty.
    FChanged.wait(
        lock, [this] { return FStopped || FPendingBytes < FMaxPendingBytes || FQueue.empty(); });
    if (FStopped || FPending.contains(fileName))
        return;
    FGone.remove(fileName);
    FFresh.insert(fileName);
    FPending.insert(fileName, picture);
    FPendingBytes += size_t(picture.sizeInBytes());
    FQueue.push_back(fileName);
    FChanged.notify_all();
}

QImage TFrameWriter::Picture(const QString& fileName) const {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        const auto found = FPending.constFind(fileName);
        if (found != FPending.constEnd())
            return *found;
        if (FGone.contains(fileName))
            return {};
    }
    return QImage(fileName);
}

bool TFrameWriter::IsPending(const QString& fileName) const {
    const std::lock_guard<std::mutex> lock(FLock);
    return FPending.contains(fileName);
}

void TFrameWriter::Flush() {
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait(lock, [this] { return FStopped || (FQueue.empty() && !FWriting); });
}

void TFrameWriter::Stop() {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        if (FStopped && !FThread.joinable())
            return;
        FStopped = true;
        FQueue.clear();
        FChanged.notify_all();
    }
    if (FThread.joinable())
        FThread.join();
    const std::lock_guard<std::mutex> lock(FLock);
    FPending.clear();
    FPendingBytes = 0;
    FHeld.clear();
    FHeldBytes = 0;
}

int TFrameWriter::Failures() const {
    const std::lock_guard<std::mutex> lock(FLock);
    return FFailures;
}

void TFrameWriter::SetBudget(qint64 bytes) {
    const std::lock_guard<std::mutex> lock(FLock);
    FBudget = std::max<qint64>(0, bytes);
    KeepWithinBudget();
}

qint64 TFrameWriter::DefaultBudget(const QString& folder) {
    constexpr qint64 Most = qint64(1) << 30;
    const QStorageInfo storage(folder);
    if (!storage.isValid() || storage.bytesAvailable() < 0)
        return Most;
    return std::min(Most, storage.bytesAvailable() / 10);
}

void TFrameWriter::SetKept(const QStringList& fileNames) {
    const std::lock_guard<std::mutex> lock(FLock);
    FKept = QSet<QString>(fileNames.begin(), fileNames.end());
    FFresh.clear();
    KeepWithinBudget();
    LetGoOfHeld();
}

bool TFrameWriter::IsGone(const QString& fileName) const {
    const std::lock_guard<std::mutex> lock(FLock);
    return FGone.contains(fileName);
}

qint64 TFrameWriter::WrittenBytes() const {
    const std::lock_guard<std::mutex> lock(FLock);
    return FWrittenBytes;
}

void TFrameWriter::SetWriteFailedHandler(std::function<void(const QString&)> handler) {
    const std::lock_guard<std::mutex> lock(FLock);
    FOnWriteFailed = std::move(handler);
}

bool TFrameWriter::IsProtected(const QString& fileName) const {
    return FKept.contains(fileName) || FFresh.contains(fileName);
}

void TFrameWriter::Written(const QString& fileName, qint64 bytes) {
    const auto old = FWritten.constFind(fileName);
    if (old != FWritten.constEnd()) {
        FWrittenOrder.erase(old->first);
        FWrittenBytes -= old->second;
    }
    FWritten.insert(fileName, {FNextOrder, bytes});
    FWrittenOrder.emplace(FNextOrder++, fileName);
    FWrittenBytes += bytes;
    // The disk takes pictures again: those held in memory go back into the queue. A disk that
    // fails them again is still the same shortage (said once): it is over once nothing is held.
    if (FHeld.empty())
        FFailing = false;
    for (const QString& held : FHeld) {
        FHeldBytes -= size_t(FPending.value(held).sizeInBytes());
        FPendingBytes += size_t(FPending.value(held).sizeInBytes());
        FQueue.push_back(held);
    }
    FHeld.clear();
    KeepWithinBudget();
}

void TFrameWriter::Held(const QString& fileName, const QImage& picture) {
    FHeld.push_back(fileName);
    FHeldBytes += size_t(picture.sizeInBytes());
    LetGoOfHeld();
}

void TFrameWriter::LetGoOfHeld() {
    // Past the bound, the oldest held pictures the window does not show leave memory; their
    // frames are made again from the video.
    for (auto it = FHeld.begin(); FHeldBytes > FMaxHeldBytes && it != FHeld.end();) {
        if (IsProtected(*it)) {
            ++it;
            continue;
        }
        FHeldBytes -= size_t(FPending.value(*it).sizeInBytes());
        FPending.remove(*it);
        FGone.insert(*it);
        it = FHeld.erase(it);
    }
}

void TFrameWriter::KeepWithinBudget() {
    if (FBudget <= 0)
        return;
    for (auto it = FWrittenOrder.begin(); FWrittenBytes > FBudget && it != FWrittenOrder.end();) {
        const QString fileName = it->second;
        if (IsProtected(fileName)) {
            ++it;
            continue;
        }
        QFile::remove(fileName);
        FWrittenBytes -= FWritten.value(fileName).second;
        FWritten.remove(fileName);
        FGone.insert(fileName);
        it = FWrittenOrder.erase(it);
    }
}

void TFrameWriter::Run() {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FChanged.wait(lock, [this] { return FStopped || !FQueue.empty(); });
        if (FStopped)
            return;
        const QString fileName = FQueue.front();
        FQueue.pop_front();
        const QImage picture = FPending.value(fileName);
        FWriting = true;
        lock.unlock();
        const bool written = SaveBitmapFile(picture, fileName);
        const qint64 bytes = written ? QFileInfo(fileName).size() : 0;
        if (!written) {
            QFile::remove(fileName);
            MsgOut(QStringLiteral("cannot write frame picture ") + fileName);
        }
        lock.lock();
        FWriting = false;
        FPendingBytes -= size_t(picture.sizeInBytes());
        if (written) {
            // Only now may readers go to the file.
            FPending.remove(fileName);
            Written(fileName, bytes);
        } else {
            ++FFailures;
            Held(fileName, picture);
            if (!FFailing && FOnWriteFailed) {
                FFailing = true;
                const auto handler = FOnWriteFailed;
                lock.unlock();
                handler(QFileInfo(fileName).absolutePath());
                lock.lock();
            }
            FFailing = true;
        }
        FChanged.notify_all();
    }
}
