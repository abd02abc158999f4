#pragma once
// What the encoder tests share: frames as the encoder takes them, their palette, a GIF made of
// them and read back as a viewer composes it, and how many pixels two pictures differ in.

#include "engine/GifEncoder.h"
#include "tests/support/GifDecode.h"

#include <QImage>
#include <vector>

// The red-green-blue bytes of an RGB888 picture, rows packed.
std::vector<uchar> Packed(const QImage& image);
// One palette of up to `maxColors` for all of `frames` (RGB888).
QVector<QRgb> PaletteOf(const std::vector<QImage>& frames, int maxColors = 255);
// `frames` (RGB888) encoded with one palette at 10 cs a frame, then decoded; `images` gets how
// many images were written.
TDecodedGif EncodeAndDecode(const std::vector<QImage>& frames,
                            const TGifEncoderOptions& options = {}, int* images = nullptr);
// Pixels of `area` whose colour differs between the two pictures.
int DifferentPixels(const QImage& a, const QImage& b, const QRect& area);
