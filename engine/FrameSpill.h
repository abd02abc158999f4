#pragma once
// Prepared frames wait on disk between the passes (palettes, then encoding), so memory stays small
// whatever the frame count, and any frame order, or a second encoding of the same frames, is a
// matter of reading them again. A run that needs only the last frames it takes reuses slots in a
// ring.

#include <QString>
#include <QTemporaryFile>

class TFrameSpill {
public:
    // A hidden temporary file in `folder`, removed when the spill goes; `capacity` 0 keeps every
    // frame, else the last `capacity`.
    TFrameSpill(const QString& folder, qint64 frameBytes, int capacity);
    [[nodiscard]] bool Open();
    QString ErrorString() const { return FFile.errorString(); }
    qint64 FrameBytes() const { return FFrameBytes; }
    [[nodiscard]] bool Write(int index, const uchar* data);
    [[nodiscard]] bool Read(int index, uchar* data);

private:
    qint64 Offset(int index) const;
    QTemporaryFile FFile;
    qint64 FFrameBytes;
    int FCapacity;
};
