#pragma once
// Prepared frames wait on disk between the passes (palettes, then encoding), so memory stays small
// whatever the frame count, and any frame order, or a second encoding of the same frames, is a
// matter of reading them again. A run that needs only the last frames it takes reuses slots in a
// ring.

#include <QString>
#include <QTemporaryFile>

class QIODevice;

// Why writing `asked` bytes to the device stopped after `written` (-1: unknown or an error): the
// device's own reason, or, for a write the system cut short without one (a full disk, a size
// limit), how much it took.
QString ShortWriteReason(const QIODevice& device, qint64 written, qint64 asked);

class TFrameSpill {
public:
    // A hidden temporary file in `folder`, removed when the spill goes; `capacity` 0 keeps every
    // frame, else the last `capacity`.
    TFrameSpill(const QString& folder, qint64 frameBytes, int capacity);
    [[nodiscard]] bool Open();
    QString ErrorString() const { return FError.isEmpty() ? FFile.errorString() : FError; }
    qint64 FrameBytes() const { return FFrameBytes; }
    [[nodiscard]] bool Write(int index, const uchar* data);
    [[nodiscard]] bool Read(int index, uchar* data);
    // Reads that may run on several threads at once (they share no file position), once what
    // was written is handed to the system with Flush.
    [[nodiscard]] bool Flush() { return FFile.flush(); }
    [[nodiscard]] bool ReadAt(int index, uchar* data) const;

private:
    qint64 Offset(int index) const;
    QTemporaryFile FFile;
    QString FError; // why the last write fell short, where the file itself says nothing
    qint64 FFrameBytes;
    int FCapacity;
};
