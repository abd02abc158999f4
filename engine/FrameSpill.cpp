#include "engine/FrameSpill.h"

#include <QDir>

TFrameSpill::TFrameSpill(const QString& folder, qint64 frameBytes, int capacity)
    : FFile(QDir(folder).filePath(QStringLiteral(".gif-frames-XXXXXX"))), FFrameBytes(frameBytes),
      FCapacity(capacity) {}

bool TFrameSpill::Open() {
    return FFile.open();
}

qint64 TFrameSpill::Offset(int index) const {
    return (FCapacity > 0 ? index % FCapacity : index) * FFrameBytes;
}

bool TFrameSpill::Write(int index, const uchar* data) {
    return FFile.seek(Offset(index)) &&
           FFile.write(reinterpret_cast<const char*>(data), FFrameBytes) == FFrameBytes;
}

bool TFrameSpill::Read(int index, uchar* data) {
    return FFile.seek(Offset(index)) &&
           FFile.read(reinterpret_cast<char*>(data), FFrameBytes) == FFrameBytes;
}
