#pragma once
// A GIF89a writer: LZW compression of indexed pictures and the file's blocks. Compression is a
// free function so several frames can be compressed at once on different threads; writing the
// blocks is sequential.

#include <QByteArray>
#include <QIODevice>
#include <QRect>
#include <QVector>
#include <QtGui/qrgb.h>
#include <cstdint>
#include <functional>
#include <optional>

// The number of bits the palette's indices need, as GIF counts them (at least 2).
int GifCodeSize(int paletteSize);

// Runs `part(0)` ... `part(parts - 1)`, each once, at the same time or one after the other; the
// parts touch nothing in common. Empty: one after the other on the calling thread.
using TLzwPartRunner = std::function<void(int parts, const std::function<void(int part)>& part)>;

// Pictures of at least this many pixels are compressed in parts when a runner is given: two, and
// more above two megapixels, one a megapixel (on filmed frames of 256 × 144 two parts cost 0.3 %
// in size and save a fifth of the encoding time).
constexpr qsizetype GifLzwSplitPixels = 16384;

// Compresses `count` palette indices (each below 1 << codeSize) into GIF image data: the minimum
// code size byte, the data sub-blocks of at most 255 bytes, and the block terminator. Given a
// runner, big pictures are compressed in parts that it may run at once (a little bigger data,
// the same however it runs them).
QByteArray GifLzwEncode(const uchar* indices, qsizetype count, int codeSize,
                        const TLzwPartRunner& runner = {});

// What lossy compression may change. Where the string being compressed cannot go on with a
// pixel's index, it may go on with another index whose colour is not much further from the colour
// the pixel should have than its own index's colour: longer strings, fewer codes. "Not much" is
// `Relative` times the own index's (squared RGB) distance plus `Tolerance`: a pixel the palette
// already renders roughly may be rendered a little more roughly, an exact one stays nearly exact.
// The transparent index stands for the colour the viewer already sees.
struct TLossyChoice {
    const uchar* Wanted = nullptr; // red-green-blue of each pixel: how it should look
    const uchar* Shown = nullptr;  // red-green-blue the viewer sees at each pixel; null: the
                                   // transparent index may not be chosen
    const QRgb* Palette = nullptr; // the colours of the indices
    int TransparentIndex = -1;
    float Relative = 0;
    int Tolerance = 0;                    // for every pixel, or
    const uint16_t* Tolerances = nullptr; // one for each pixel
    // Errors hide in busy texture and show on flat areas: with a share above 0, each pixel may
    // also be worse by (share × the largest colour difference to its right and lower neighbours,
    // up to 48)², in a picture `Width` pixels wide.
    float TextureShare = 0;
    int Width = 0;
    // Whether a pixel that shows what is on screen (its index is the transparent one) may only
    // take an index that looks at least as good. Otherwise the allowances above apply to it too:
    // measured from what is on screen, which earlier frames' allowances made worse already, so on
    // a still picture its errors add up frame after frame.
    bool KeptNoWorse = false;
};

// Like GifLzwEncode, choosing other indices where `choice` allows; `indices` receives the indices
// that were written.
QByteArray GifLossyLzwEncode(uchar* indices, qsizetype count, int codeSize,
                             const TLossyChoice& choice, const TLzwPartRunner& runner = {});

// One compressed frame, ready to be written.
struct TGifFrame {
    QRect Rect;                 // position and size on the logical screen
    int DelayCs = 0;            // display time in hundredths of a second (0 to 65535)
    int TransparentIndex = -1;  // palette index that leaves the pixel below unchanged; -1: none
    int Disposal = 1;           // 1: leave the frame in place for the next one to draw over
    QByteArray Data;            // from GifLzwEncode
    QVector<QRgb> LocalPalette; // the frame's own colours; empty: the global palette
};

class TGifWriter {
public:
    explicit TGifWriter(QIODevice* device) : FDevice(device) {}

    // Header, logical screen and the global palette (padded to a power of two). `loopCount`:
    // none writes no loop extension (the GIF plays once); 0 loops forever; n plays n more times.
    [[nodiscard]] bool WriteHeader(int width, int height, const QVector<QRgb>& palette,
                                   std::optional<int> loopCount);
    [[nodiscard]] bool WriteFrame(const TGifFrame& frame);
    [[nodiscard]] bool WriteTrailer();

    // False once any write failed (a full disk, a closed device).
    bool Ok() const { return FOk; }

private:
    bool Write(const QByteArray& bytes);
    QIODevice* FDevice;
    bool FOk = true;
};
