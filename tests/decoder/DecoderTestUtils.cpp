#include "DecoderTestUtils.h"

#include "FramePattern.h"

#include <QTransform>

QString MediaFile(const QString& name) {
    return QStringLiteral(VG_MEDIA_DIR "/") + name;
}

QString FixtureFile(const QString& name) {
    return QStringLiteral(VG_FIXTURE_DIR "/") + name;
}

uint64_t PictureDigest(const QImage& image) {
    // FNV-1a over the visible bytes of every line (the padding at line ends is left out).
    uint64_t hash = 1469598103934665603ull;
    const qsizetype lineBytes = qsizetype(image.width()) * image.depth() / 8;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (qsizetype x = 0; x < lineBytes; ++x) {
            hash ^= line[x];
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

int ShownIndex(const QImage& picture, int rotation) {
    if (rotation == 0)
        return fixture::ReadIndexPattern(picture);
    return fixture::ReadIndexPattern(picture.transformed(QTransform().rotate(-rotation)));
}

std::vector<TDecodedFrame> DecodeAll(TCustomDecoder& decoder, bool readIndex, bool digest,
                                     int rotation) {
    std::vector<TDecodedFrame> frames;
    QImage picture;
    while (decoder.Decode(-1)) {
        TDecodedFrame frame;
        frame.Pts = decoder.CurrentPTS();
        if ((digest || readIndex) && decoder.CopyToBitmap(picture)) {
            frame.Digest = PictureDigest(picture);
            if (readIndex)
                frame.Index = ShownIndex(picture, rotation);
        }
        frames.push_back(frame);
    }
    return frames;
}

size_t ShownFrame(const std::vector<TDecodedFrame>& frames, int64_t pts) {
    size_t shown = 0;
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].Pts <= pts)
            shown = i;
    return shown;
}
