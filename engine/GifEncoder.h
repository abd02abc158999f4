#pragma once
// Turns a sequence of equally sized RGB frames into an animated GIF. Frames share a few palettes
// (one per scene, say): the first is the file's global palette, the others are written as the
// frames' own colour tables.
//
// Each frame after the first is reduced to what changed. A pixel whose source colour is within a
// small distance of the colour it had when it was last drawn stays as the viewer sees it, so slow
// fades cannot drift further than that distance. The other pixels are remapped to their nearest
// palette colour (error diffusion is available but off: on video it costs size and measured
// quality alike), and any of them for which the colour on screen is not clearly worse than the
// nearest palette colour keeps it too. Kept pixels are transparent, the frame is cut to the box
// around the drawn ones, and a frame that draws nothing (once compressed) or nothing the eye can
// tell from what is on screen only lengthens the display time of the one before. Compression may be
// lossy: where the LZW string being built cannot go on with a pixel's index, another index that
// looks about as good continues it (the transparent index counts, standing for what is on screen).
// Each frame depends on what the one before left on screen, so frames are remapped and compressed
// in order; inside a frame, the work on its rows (finding what changed, remapping it, updating
// what is on screen) is shared with a helper thread. Only the nearest palette colours of a
// frame's pixels depend on nothing before it: for a filmed frame another thread looks them up
// while the frame before is drawn (and compressed on one thread, when it is small). Screen
// recordings and drawings (found by their flat areas) are drawn exactly instead: a smaller
// difference threshold, no keeping of a worse colour on screen, lossless compression.
//
// A pixel whose source leaves that small distance by a little for one frame only stays as shown
// too (the encoder looks one frame ahead): on filmed pictures that is sensor or compression noise,
// which would otherwise make still pixels switch between palette colours.

#include "engine/GifWriter.h"
#include "engine/Quantizer.h"
#include "engine/WorkPool.h"

#include <QSize>
#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

struct TGifEncoderOptions {
    float Dither = 0.0f;        // error diffusion strength, 0 to 1
    int DiffThreshold = 4;      // largest channel difference that still counts as unchanged
    int KeepDistance = 40;      // how much worse (squared RGB distance) the colour on screen may be
                                // than the nearest palette colour and still be kept
    int LossyTolerance = 4;     // how much worse (squared RGB distance) a pixel may look to let
                                // the compressed string go on
    float LossyRelative = 1.0f; // plus this share of its own distance to the nearest colour
    float TextureTolerance = 0.15f; // and how much more, as a share of the colour differences
                                    // between the pixel and its neighbours
    // The first image, drawn whole, stays on screen wherever later frames do not change, so its
    // errors last: it is compressed with no bigger tolerances than these (the default
    // quality's), whatever the ones above allow the changes after it. On filmed clips at low
    // qualities that buys up to 0.05 SSIM (a still phone clip; 0.015 on the film) for up to 2.5 %
    // in size.
    int FirstLossyTolerance = 4;
    float FirstLossyRelative = 1.0f;
    float FirstTextureTolerance = 0.15f;
    // Whether a pixel left as it is on screen may be drawn a little worse to let the compressed
    // string go on, like a drawn one. Its error then builds on the one left by earlier frames;
    // with the default tolerances that buys size cheaply, with the larger ones it does not (at
    // quality 50: 2 % bigger files and 0.003 SSIM better without it, on a still phone clip 0.009).
    bool KeptMayWorsen = true;
    // A change up to this large (largest channel difference) is drawn only when the next frame
    // still shows it: sensor and compression noise that leaves the threshold for one frame and
    // comes back leaves the pixel as it is. Larger changes are drawn at once; at or below
    // DiffThreshold, every change is.
    int NoiseLimit = 8;
    // Screen recordings and drawings: large flat areas of exact colours and pixels that hold
    // still. A frame with at least this share of pixels exactly like their right-hand
    // neighbour is drawn exactly: any visible change is redrawn and compression is
    // lossless, which such content pays for with little size and shows clearly when it is not
    // done. Above 1: never.
    float ScreenFlatShare = ::ScreenFlatShare;
    int ScreenDiffThreshold = 1; // the difference threshold there
    // Whether the work on the rows of a frame is shared with the threads of `Pool` (false:
    // everything runs on the calling thread, say when several encoders run at once). The GIF is
    // the same either way, and on any number of threads.
    bool ShareRows = true;
    TWorkPool* Pool = nullptr; // null: the program's pool
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
    [[nodiscard]] bool Start();
    // Adds a frame: size.height() rows of size.width() × 3 bytes (red, green, blue), shown for
    // `delayCs` hundredths of a second, in the colours of palette number `palette`. With a noise
    // limit, a frame is drawn when the next one comes (or at Finish): a failure to draw it is
    // reported then.
    [[nodiscard]] bool AddFrame(const uchar* rgb, int delayCs, int palette = 0);
    // Draws the frame still held, writes what is pending and the trailer.
    [[nodiscard]] bool Finish();

    // GIF images written so far (unchanged frames are merged into the one before).
    int ImagesWritten() const { return FImagesWritten; }
    // The bytes of the images drawn up to and including each frame added so far (the file's
    // header and trailer aside), one entry per frame once it is drawn: what each frame costs.
    // Complete once Finish has returned (an image may still be compressed until then).
    const std::vector<qint64>& BytesAfterFrame() const { return FBytesAfterFrame; }
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
        QByteArray Data;
        // An exact image is compressed on the pool while the next frame is drawn (compressing
        // it exactly changes nothing on screen): its indices wait here until then, and its
        // bytes are counted, from the entry of BytesAfterFrame of its frame on, once known.
        std::vector<uchar> Indices;
        int CodeSize = 0;
        size_t FirstEntry = 0;
        bool Counted = false;
        std::unique_ptr<TPoolJob> Compressing;
    };
    // How a frame is drawn.
    struct TDrawing {
        int DiffThreshold = 0;
        int KeepDistance = 0;
        bool Lossy = true;
        int NoiseLimit = 0;
    };
    // A frame waiting for the next one, with its drawing rules and, for a filmed frame, the
    // nearest palette entry of each pixel, looked up on another thread while the frame before is
    // drawn.
    struct THeldFrame {
        std::vector<uchar> Rgb;
        int DelayCs = 0;
        int Palette = 0;
        bool Valid = false;
        TDrawing Drawing;
        std::vector<uchar> Nearest; // empty when not looked up
    };
    struct TPaletteSlot {
        QVector<QRgb> Colors; // with the transparent entry last
        int TransparentIndex = -1;
        std::unique_ptr<TRemapper> Remapper; // made when first used
    };
    // The drawing rules of frame `rgb`: exact for a screen-like frame, tolerant for another (so a
    // film that fades in from black is drawn exactly only while it is black).
    TDrawing DrawingFor(const uchar* rgb);
    // The share of pixels exactly like their right-hand neighbour (on every fourth row).
    float FlatShare(const uchar* rgb);
    TRemapper& RemapperOf(int palette);
    // Draws frame `rgb` by the rules `drawing`; FNext is the frame after it, if known, and
    // FNearest its pixels' nearest palette entries, if looked up.
    [[nodiscard]] bool DrawFrame(const uchar* rgb, int delayCs, int palette,
                                 const TDrawing& drawing);
    [[nodiscard]] bool DrawPicture(const uchar* rgb, int delayCs, int palette,
                                   const TDrawing& drawing);
    // Keeps a copy of frame `rgb` in `frame` until the next one comes, and starts looking up its
    // colours when it will be remapped.
    void Hold(THeldFrame& frame, const uchar* rgb, int delayCs, int palette);
    [[nodiscard]] bool DrawHeld(THeldFrame& frame);
    // The steps of DrawFrame. The first frame is drawn whole. A later one: the box around the
    // pixels that changed since they were last drawn; those remapped, the others transparent, and
    // the box around the ones that need drawing; that box queued, or, when nothing needs drawing,
    // the time added to the image before.
    [[nodiscard]] bool AddFirstFrame(const uchar* rgb, int delayCs, int palette,
                                     TRemapper& remapper);
    QRect FindChanged(const uchar* rgb, int threshold);
    // Rows [begin, end) of the changed box as RGBA in FBox: opaque where a pixel changed.
    void FillBoxRows(const uchar* rgb, const QRect& changed, int begin, int end);
    [[nodiscard]] bool RemapChanged(const uchar* rgb, const QRect& changed, int palette,
                                    TRemapper& remapper, QRect& drawn);
    [[nodiscard]] bool AddUnchangedFrame(int palette, int delayCs);
    // Queues the drawn box; false (nothing queued) when, once compressed, it would not change
    // what the viewer sees.
    [[nodiscard]] bool SubmitDrawn(const uchar* rgb, const QRect& changed, const QRect& drawn,
                                   int palette, int delayCs, const TRemapper& remapper);
    // Whether drawing `indices` over the on-screen colours in FShownBox changes any pixel by more
    // than the difference threshold: the transparent index and colours within it do not.
    bool ChangesWhatIsSeen(const std::vector<uchar>& indices, int palette,
                           const TRemapper& remapper) const;
    // What the viewer sees now where the image `rect` draws `indices`; the source colours of the
    // drawn pixels become their reference.
    void MarkDrawn(const uchar* rgb, const QRect& rect, const std::vector<uchar>& indices,
                   int palette, const TRemapper& remapper);
    // Compresses the indices of `rect` (choosing others where the options allow) and queues the
    // image; `wanted` and `shown` hold the rectangle's source and on-screen colours.
    // The bytes image `job` takes in the file.
    qint64 ImageBytes(const TJob& job) const;
    void Submit(int palette, const QRect& rect, std::vector<uchar>& indices,
                const std::vector<uchar>& wanted, const uchar* shown, int delayCs);
    // Starts compressing the last image queued, when it waits for that.
    void StartCompressing();
    // Waits for (or does) the compression of `job`, and counts its bytes.
    void Settle(TJob& job);
    [[nodiscard]] bool WriteFront();
    [[nodiscard]] bool WritePending();

    TGifWriter FWriter;
    QSize FSize;
    std::optional<int> FLoopCount;
    std::vector<TPaletteSlot> FPalettes;
    TGifEncoderOptions FOptions;
    std::vector<uchar> FReference;   // source colour of each pixel when it was last drawn
    std::vector<uchar> FShown;       // the colour the viewer sees at each pixel
    TDrawing FDrawing;               // of the frame being added
    std::array<THeldFrame, 2> FHeld; // the frame held and the one coming after it
    int FHeldSlot = 0;               // which of them is held
    const uchar* FNext = nullptr;    // the frame after the one being drawn
    const uchar* FNearest = nullptr; // the nearest palette entries of the one being drawn
    bool FHaveReference = false;
    std::vector<uchar> FChanged, FBox, FIndices, FWanted, FShownBox; // work buffers of one frame
    std::deque<TJob> FJobs;
    TWorkPool& FPool; // its threads take a share of the work on the rows of a frame
    int FImagesWritten = 0;
    qint64 FImageBytes = 0; // of every image made so far, written or queued
    std::vector<qint64> FBytesAfterFrame;
    bool FOk = true;
    bool FStarted = false;
    // Looks up the coming frame's colours; declared last, so it is done before what it uses goes.
    TPoolJob FLookAhead;
};
