#pragma once
// Turns a sequence of equally sized RGB frames into an animated GIF. Frames share a few palettes
// (one per scene, say): the first is the file's global palette, the others are written as the
// frames' own colour tables.
//
// Each frame after the first is reduced to what changed: pixels within a small distance of what
// the viewer already sees become transparent, the frame is cut to the box around the changed
// pixels, and a frame without changes only lengthens the display time of the one before. The
// comparison is made against the source colour each pixel had when it was last drawn, so slow
// fades cannot drift further than that distance. Remapping and compression run on several
// threads; frames are written in order.

#include "engine/GifWriter.h"

#include <QFuture>
#include <QSize>
#include <QThreadPool>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class TRemapper;

struct TGifEncoderOptions {
    float Dither = 0.4f;   // error diffusion strength, 0 to 1
    int DiffThreshold = 4; // largest channel difference that still counts as unchanged
    int Threads = 2;       // remapping and compression threads
};

class TGifEncoder {
public:
    // Each palette: up to 255 opaque colours; one more entry is added for transparency.
    TGifEncoder(QIODevice* device, QSize size, std::optional<int> loopCount,
                const std::vector<QVector<QRgb>>& palettes, const TGifEncoderOptions& options = {});
    TGifEncoder(QIODevice* device, QSize size, std::optional<int> loopCount,
                const QVector<QRgb>& palette, const TGifEncoderOptions& options = {})
        : TGifEncoder(device, size, loopCount, std::vector<QVector<QRgb>>{palette}, options) {}
    ~TGifEncoder();
    TGifEncoder(const TGifEncoder&) = delete;
    TGifEncoder& operator=(const TGifEncoder&) = delete;

    // Writes the file's header. False when the palette is unusable or the device fails.
    bool Start();
    // Adds a frame: size.height() rows of size.width() × 3 bytes (red, green, blue), shown for
    // `delayCs` hundredths of a second, in the colours of palette number `palette`.
    bool AddFrame(const uchar* rgb, int delayCs, int palette = 0);
    // Writes what is pending and the trailer.
    bool Finish();

    // GIF images written so far (unchanged frames are merged into the one before).
    int ImagesWritten() const { return FImagesWritten; }
    bool Ok() const { return FOk && FWriter.Ok(); }
    int TransparentIndex(int palette = 0) const {
        return FPalettes[static_cast<size_t>(palette)].TransparentIndex;
    }

private:
    struct TJob {
        QRect Rect;
        int DelayCs = 0;
        int TransparentIndex = -1;
        int Palette = 0;
        QFuture<QByteArray> Data;
    };
    struct TPaletteSlot {
        QVector<QRgb> Colors; // with the transparent entry last
        int TransparentIndex = -1;
        std::vector<std::unique_ptr<TRemapper>> Remappers; // idle ones
    };
    QByteArray Encode(int palette, const QRect& rect, const std::vector<uchar>& rgba);
    std::unique_ptr<TRemapper> TakeRemapper(int palette);
    void ReturnRemapper(int palette, std::unique_ptr<TRemapper> remapper);
    void Submit(int palette, const QRect& rect, std::vector<uchar> rgba, int delayCs,
                bool transparency);
    bool WriteFront();

    TGifWriter FWriter;
    QSize FSize;
    std::optional<int> FLoopCount;
    std::vector<TPaletteSlot> FPalettes;
    TGifEncoderOptions FOptions;
    std::vector<uchar> FReference; // source colour of each pixel when it was last drawn
    bool FHaveReference = false;
    std::deque<TJob> FJobs;
    QThreadPool FPool;
    std::mutex FRemapperLock;
    int FImagesWritten = 0;
    bool FOk = true;
    bool FStarted = false;
};
