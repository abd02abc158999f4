#include "engine/FrameSpill.h"

#include <QDir>
#include <QFileDevice>
#include <cerrno>
#include <unistd.h>

TFrameSpill::TFrameSpill(const QString& folder, qint64 frameBytes, int capacity)
    : FFile(QDir(folder).filePath(QStringLiteral(".gif-frames-XXXXXX"))), FFrameBytes(frameBytes),
      FCapacity(capacity) {}

bool TFrameSpill::Open() {
    return FFile.open();
}

qint64 TFrameSpill::Offset(int index) const {
    return (FCapacity > 0 ? index % FCapacity : index) * FFrameBytes;
}

QString ShortWriteReason(const QIODevice& device, qint64 written, qint64 asked) {
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    const bool deviceError = file && file->error() != QFileDevice::NoError;
    if (written >= 0 && written < asked && !deviceError)
        return QStringLiteral("the disk took only %1 of %2 bytes").arg(written).arg(asked);
    // A write the system cut short leaves Qt without a reason of its own.
    const QString reason = device.errorString();
    if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
        return QStringLiteral("the disk took no more data");
    return reason;
}

bool TFrameSpill::Write(int index, const uchar* data) {
    FError.clear();
    if (!FFile.seek(Offset(index)))
        return false;
    const qint64 written = FFile.write(reinterpret_cast<const char*>(data), FFrameBytes);
    if (written == FFrameBytes)
        return true;
    FError = ShortWriteReason(FFile, written, FFrameBytes);
    return false;
}

bool TFrameSpill::Read(int index, uchar* data) {
    return FFile.seek(Offset(index)) &&
           FFile.read(reinterpret_cast<char*>(data), FFrameBytes) == FFrameBytes;
}

bool TFrameSpill::ReadAt(int index, uchar* data) const {
    const int handle = FFile.handle();
    if (handle < 0)
        return false;
    const qint64 at = Offset(index);
    for (qint64 done = 0; done < FFrameBytes;) {
        const ssize_t got = ::pread(handle, data + done, static_cast<size_t>(FFrameBytes - done),
                                    static_cast<off_t>(at + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}
