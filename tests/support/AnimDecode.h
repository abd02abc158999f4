#pragma once
// Independent readers of the animated WebP and MP4 files the engine writes, for the tests: the
// WebP through libwebp's own animation decoder, the MP4 through libavformat and libavcodec
// directly (not through the program's decoder). Each gives every picture as a viewer shows it,
// with the time it appears.

#include <QImage>
#include <QString>
#include <vector>

struct TDecodedAnim {
    bool Ok = false;
    QString Error;
    QSize Size;
    std::vector<QImage> Frames;   // RGB32, composed
    std::vector<int64_t> StartMs; // when each appears
    int64_t DurationMs = 0;       // when the last one goes
    int LoopCount = -1;           // WebP: 0 forever, n plays; MP4: -1
    // MP4 only: what the stream is.
    QString Codec, PixelFormat;
    int Streams = 0;
    bool IndexFirst = false; // the "moov" index lies before the pictures ("mdat")
};

TDecodedAnim DecodeWebPFile(const QString& fileName);
// The mean difference of the colour channels of two pictures of the same size (255 when their
// sizes differ).
double MeanColourDifference(const QImage& a, const QImage& b);
// A file's bytes; empty when it cannot be read.
QByteArray ReadFileBytes(const QString& fileName);
TDecodedAnim DecodeMp4File(const QString& fileName);
