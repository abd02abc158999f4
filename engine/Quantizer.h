#pragma once
// Colour reduction with libimagequant: one palette for the whole GIF from a histogram of its
// frames, and remapping of frames (or parts of them) to that palette with dithering.

#include <QImage>
#include <QVector>
#include <memory>

struct liq_attr;
struct liq_histogram;
struct liq_result;

// Gathers the colours of the frames and chooses the palette.
class TPaletteBuilder {
public:
    // `maxColors` opaque colours at most (255 leaves one index of 256 for transparency);
    // `speed` 1 (best) to 10 (fastest).
    explicit TPaletteBuilder(int maxColors = 255, int speed = 5);
    ~TPaletteBuilder();
    TPaletteBuilder(const TPaletteBuilder&) = delete;
    TPaletteBuilder& operator=(const TPaletteBuilder&) = delete;

    // Adds the colours of a picture given as RGBA bytes (4 per pixel).
    void AddPixels(const uchar* rgba, int width, int height, int bytesPerLine);
    // The chosen opaque colours; empty when nothing was added or the library failed.
    QVector<QRgb> Build();

private:
    liq_attr* FAttr = nullptr;
    liq_histogram* FHistogram = nullptr;
    int FAdded = 0;
};

// Maps pixels to a fixed palette. One object serves one thread at a time.
class TRemapper {
public:
    // `palette` is the GIF's palette; the entry `transparentIndex` (or -1) stands for pixels
    // whose alpha is 0. `dither` 0 (none) to 1 (full error diffusion).
    TRemapper(const QVector<QRgb>& palette, int transparentIndex, float dither);
    ~TRemapper();
    TRemapper(const TRemapper&) = delete;
    TRemapper& operator=(const TRemapper&) = delete;

    bool IsValid() const { return FResult != nullptr; }
    // Writes one palette index per pixel of the RGBA rectangle to `indices` (width × height).
    bool Remap(const uchar* rgba, int width, int height, int bytesPerLine, uchar* indices);

private:
    liq_attr* FAttr = nullptr;
    liq_result* FResult = nullptr;
    QVector<QRgb> FPalette;
    uchar FToGlobal[256] = {};
    bool FMapped = false;
};
