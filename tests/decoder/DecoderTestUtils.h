#pragma once
// Helpers of the decoder tests: the folders of the test videos, and one sequential pass over a
// video that the locate and seek tests use as the truth.

#include "decoder/FFDecoder.h"

#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

QString MediaFile(const QString& name);   // a real clip of the shared media folder
QString FixtureFile(const QString& name); // a generated test video of the build tree

struct TDecodedFrame {
    int64_t Pts = 0;
    int Index = -1;      // read from the picture (generated videos), else -1
    uint64_t Digest = 0; // of the picture's pixels
};

uint64_t PictureDigest(const QImage& image);

// The index a generated picture shows, after turning it back by `rotation` clockwise degrees;
// -1 when it shows none.
int ShownIndex(const QImage& picture, int rotation = 0);

// Decodes the open file from where it stands to its end; `digest` false skips the pictures.
// Indexes are read from pictures turned back by `rotation`.
std::vector<TDecodedFrame> DecodeAll(TCustomDecoder& decoder, bool readIndex, bool digest = true,
                                     int rotation = 0);

// The frame shown at `pts` by the rule of the locate: the last one whose time is not later, or the
// first one when `pts` lies before every frame.
size_t ShownFrame(const std::vector<TDecodedFrame>& frames, int64_t pts);
