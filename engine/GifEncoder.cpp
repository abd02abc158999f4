#include "engine/GifEncoder.h"

#include "engine/Quantizer.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int maxDelayCs = 65535;
// Bytes per pixel of the encoder's pictures (RGB) and of its changed-box buffer (RGBA).
constexpr int rgbBytes = 3;
constexpr int rgbaBytes = 4;
// Counting flat pixels is so cheap per pixel that the threads take bigger ranges than usual.
constexpr int flatShareChunkPixels = 4 * 4096;

// The smallest box around the marked pixels, built row by row.
struct TMarkedBox {
    int Left = INT_MAX, Right = -1, Top = INT_MAX, Bottom = -1;
    void AddRow(int y, int rowLeft, int rowRight) {
        if (rowLeft < 0)
            return;
        Left = std::min(Left, rowLeft);
        Right = std::max(Right, rowRight);
        Top = std::min(Top, y);
        Bottom = y;
    }
    void Add(const TMarkedBox& other) {
        if (other.IsEmpty())
            return;
        Left = std::min(Left, other.Left);
        Right = std::max(Right, other.Right);
        Top = std::min(Top, other.Top);
        Bottom = std::max(Bottom, other.Bottom);
    }
    bool IsEmpty() const { return Right < 0; }
    // The box at (`left`, `top`); empty when nothing was marked.
    QRect At(int left, int top) const {
        return IsEmpty()
                   ? QRect()
                   : QRect(QPoint(left + Left, top + Top), QPoint(left + Right, top + Bottom));
    }
};

// One box per range of rows, filled on whichever thread takes the range, then put together.
struct TChunkBoxes {
    explicit TChunkBoxes(int rows, int chunkRows)
        : ChunkRows(chunkRows), Boxes(static_cast<size_t>(TWorkPool::Chunks(rows, chunkRows))) {}
    TMarkedBox& Of(int begin) { return Boxes[static_cast<size_t>(begin / ChunkRows)]; }
    TMarkedBox All() const {
        TMarkedBox all;
        for (const TMarkedBox& box : Boxes)
            all.Add(box);
        return all;
    }
    int ChunkRows;
    std::vector<TMarkedBox> Boxes;
};

uchar Difference(uchar a, uchar b) {
    return static_cast<uchar>(a > b ? a - b : b - a);
}

// Marks pixels [x, x + count) of a row (see MarkChangedRow). Each byte is compared on its own,
// then a pixel takes what its three bytes say: it changed when any byte is over the threshold,
// and with the next frame `next`, a change is kept only when a byte is over the noise limit or
// the next frame still differs by more than the threshold.
template <bool withNext>
[[gnu::always_inline]] inline void MarkPixels(const uchar* src, const uchar* ref, const uchar* next,
                                              int x, int count, uchar limit, uchar noiseLimit,
                                              uchar* mark) {
    const uchar* s = src + x * rgbBytes;
    const uchar* r = ref + x * rgbBytes;
    const uchar* n = withNext ? next + x * rgbBytes : nullptr;
    uchar over[48], kept[48];
    for (int k = 0; k < count * rgbBytes; ++k) {
        const uchar d = Difference(s[k], r[k]);
        over[k] = d > limit ? 1 : 0;
        if constexpr (withNext)
            kept[k] = static_cast<uchar>((d > noiseLimit ? 1 : 0) |
                                         (Difference(n[k], r[k]) > limit ? 1 : 0));
    }
    for (int p = 0; p < count; ++p) {
        uchar changed = over[3 * p] | over[3 * p + 1] | over[3 * p + 2];
        if constexpr (withNext)
            changed &= kept[3 * p] | kept[3 * p + 1] | kept[3 * p + 2];
        mark[x + p] = changed;
    }
}

template <bool withNext>
void MarkRowPixels(const uchar* src, const uchar* ref, const uchar* next, int width, uchar limit,
                   uchar noiseLimit, uchar* mark) {
    // Groups of 16 pixels, a loop of fixed length the compiler turns into vector instructions.
    int x = 0;
    for (; x + 16 <= width; x += 16)
        MarkPixels<withNext>(src, ref, next, x, 16, limit, noiseLimit, mark);
    if (x < width)
        MarkPixels<withNext>(src, ref, next, x, width - x, limit, noiseLimit, mark);
}

// Marks the pixels of one row whose largest channel difference from the reference is above
// `threshold`, except, with the next frame's row `next`, those that differ by no more than
// `noiseLimit` and are back within the threshold in the next frame; the row's span of marked
// pixels goes into `box`.
void MarkChangedRow(const uchar* src, const uchar* ref, const uchar* next, int width, int threshold,
                    int noiseLimit, uchar* mark, int y, TMarkedBox& box) {
    if (threshold < 0 || threshold >= 255) { // every pixel changed, or none
        std::memset(mark, threshold < 0 ? 1 : 0, static_cast<size_t>(width));
        if (threshold < 0)
            box.AddRow(y, 0, width - 1);
        return;
    }
    const auto limit = static_cast<uchar>(threshold);
    const auto noise = static_cast<uchar>(std::clamp(noiseLimit, threshold, 255));
    if (next)
        MarkRowPixels<true>(src, ref, next, width, limit, noise, mark);
    else
        MarkRowPixels<false>(src, ref, next, width, limit, noise, mark);
    int rowLeft = 0, rowRight = width - 1;
    while (rowLeft < width && mark[rowLeft] == 0)
        ++rowLeft;
    if (rowLeft == width)
        return;
    while (mark[rowRight] == 0)
        --rowRight;
    box.AddRow(y, rowLeft, rowRight);
}
} // namespace

TGifEncoder::TGifEncoder(QIODevice* device, QSize size, std::optional<int> loopCount,
                         const std::vector<QVector<QRgb>>& palettes,
                         const TGifEncoderOptions& options)
    : FWriter(device), FSize(size), FLoopCount(loopCount), FOptions(options),
      FPool(!options.ShareRows ? TWorkPool::Serial()
            : options.Pool     ? *options.Pool
                               : TWorkPool::Shared()),
      FLookAhead(FPool) {
    for (const QVector<QRgb>& palette : palettes) {
        TPaletteSlot slot;
        slot.Colors = palette.mid(0, 255);
        slot.TransparentIndex = static_cast<int>(slot.Colors.size());
        slot.Colors.append(qRgb(0, 0, 0));
        FPalettes.push_back(std::move(slot));
    }
}

TGifEncoder::~TGifEncoder() = default;

bool TGifEncoder::Start() {
    const bool palettesOk = !FPalettes.empty() &&
                            std::all_of(FPalettes.begin(), FPalettes.end(),
                                        [](const TPaletteSlot& p) { return p.Colors.size() >= 2; });
    if (FSize.isEmpty() || FSize.width() > 65535 || FSize.height() > 65535 || !palettesOk) {
        FOk = false;
        return false;
    }
    FStarted = true;
    return FWriter.WriteHeader(FSize.width(), FSize.height(), FPalettes[0].Colors, FLoopCount);
}

TRemapper& TGifEncoder::RemapperOf(int palette) {
    TPaletteSlot& slot = FPalettes[static_cast<size_t>(palette)];
    if (!slot.Remapper) {
        slot.Remapper =
            std::make_unique<TRemapper>(slot.Colors, slot.TransparentIndex, FOptions.Dither);
        slot.Remapper->ShareRowsWith(FOptions.ShareRows ? &FPool : nullptr);
    }
    return *slot.Remapper;
}

float TGifEncoder::FlatShare(const uchar* rgb) {
    // The share of pixels (on every fourth row) exactly like their right-hand neighbour.
    const int width = FSize.width();
    const int chunkRows = TWorkPool::ChunkRowsFor(width, flatShareChunkPixels);
    std::vector<qint64> flat(static_cast<size_t>(TWorkPool::Chunks(FSize.height(), chunkRows)));
    FPool.ForRows(FSize.height(), chunkRows, [&](int begin, int end) {
        qint64 count = 0;
        for (int y = (begin + 3) / 4 * 4; y < end; y += 4) {
            const uchar* row = rgb + static_cast<qsizetype>(y) * width * rgbBytes;
            for (int x = 0; x + 1 < width; ++x)
                count +=
                    std::memcmp(row + x * rgbBytes, row + x * rgbBytes + rgbBytes, rgbBytes) == 0
                        ? 1
                        : 0;
        }
        flat[static_cast<size_t>(begin / chunkRows)] = count;
    });
    const qint64 counted = static_cast<qint64>((FSize.height() + 3) / 4) * (width - 1);
    qint64 total = 0;
    for (qint64 count : flat)
        total += count;
    return counted > 0 ? static_cast<float>(total) / static_cast<float>(counted) : 0.0f;
}

TGifEncoder::TDrawing TGifEncoder::DrawingFor(const uchar* rgb) {
    const bool screen =
        FOptions.ScreenFlatShare <= 1.0f && FlatShare(rgb) >= FOptions.ScreenFlatShare;
    return screen
               ? TDrawing{FOptions.ScreenDiffThreshold, 0, false, 0}
               : TDrawing{FOptions.DiffThreshold, FOptions.KeepDistance, true, FOptions.NoiseLimit};
}

qint64 TGifEncoder::ImageBytes(const TJob& job) const {
    // The graphic control extension (8 bytes), the image descriptor (10), a colour table of its
    // own (a palette other than the first) and the compressed data.
    qint64 bytes = 18 + job.Data.size();
    if (job.Palette != 0)
        bytes += 3LL << GifCodeSize(
                     static_cast<int>(FPalettes[static_cast<size_t>(job.Palette)].Colors.size()));
    return bytes;
}

void TGifEncoder::Submit(int palette, const QRect& rect, std::vector<uchar>& indices,
                         const std::vector<uchar>& wanted, const uchar* shown, int delayCs) {
    const TPaletteSlot& slot = FPalettes[static_cast<size_t>(palette)];
    TJob job;
    job.Rect = rect;
    job.DelayCs = delayCs;
    job.Palette = palette;
    job.TransparentIndex = shown ? slot.TransparentIndex : -1;
    if (!FDrawing.Lossy) {
        job.Indices = indices;
        job.CodeSize = GifCodeSize(static_cast<int>(slot.Colors.size()));
        job.FirstEntry = FBytesAfterFrame.size();
        FJobs.push_back(std::move(job));
        return;
    }
    // The parts of a big filmed picture are compressed on the pool's threads.
    const TLzwPartRunner runner = [this](int parts, const std::function<void(int)>& part) {
        FPool.ForRows(parts, 1, [&](int begin, int end) {
            for (int which = begin; which < end; ++which)
                part(which);
        });
    };
    TLossyChoice choice;
    choice.Wanted = wanted.data();
    choice.Shown = shown;
    choice.Palette = slot.Colors.constData();
    choice.TransparentIndex = slot.TransparentIndex;
    choice.Tolerance = FOptions.LossyTolerance;
    choice.Relative = FOptions.LossyRelative;
    choice.TextureShare = FOptions.TextureTolerance;
    if (!shown) { // the first image, drawn whole
        choice.Tolerance = std::min(choice.Tolerance, FOptions.FirstLossyTolerance);
        choice.Relative = std::min(choice.Relative, FOptions.FirstLossyRelative);
        choice.TextureShare = std::min(choice.TextureShare, FOptions.FirstTextureTolerance);
    }
    choice.KeptNoWorse = !FOptions.KeptMayWorsen;
    choice.Width = rect.width();
    job.Data = GifLossyLzwEncode(indices.data(), static_cast<qsizetype>(indices.size()),
                                 GifCodeSize(static_cast<int>(slot.Colors.size())), choice, runner);
    FImageBytes += ImageBytes(job);
    job.Counted = true;
    FJobs.push_back(std::move(job));
}

void TGifEncoder::StartCompressing() {
    // Up to a megapixel: the thread that compresses keeps a buffer of the image's size for the
    // next time, and a bigger one on every thread of the pool would add up.
    constexpr size_t mostPixels = size_t{1} << 20;
    if (FJobs.empty() || FJobs.back().Counted || FJobs.back().Compressing ||
        FJobs.back().Indices.size() > mostPixels)
        return;
    TJob& job = FJobs.back(); // stays in place: the queue only grows at its back
    job.Compressing = std::make_unique<TPoolJob>(FPool);
    job.Compressing->Start([&job] {
        job.Data = GifLzwEncode(job.Indices.data(), static_cast<qsizetype>(job.Indices.size()),
                                job.CodeSize);
    });
}

void TGifEncoder::Settle(TJob& job) {
    if (job.Counted)
        return;
    if (job.Compressing)
        job.Compressing->Wait();
    else
        job.Data = GifLzwEncode(job.Indices.data(), static_cast<qsizetype>(job.Indices.size()),
                                job.CodeSize);
    job.Compressing.reset();
    job.Indices = {};
    const qint64 bytes = ImageBytes(job);
    FImageBytes += bytes;
    for (size_t entry = job.FirstEntry; entry < FBytesAfterFrame.size(); ++entry)
        FBytesAfterFrame[entry] += bytes;
    job.Counted = true;
}

bool TGifEncoder::WriteFront() {
    Settle(FJobs.front());
    TJob job = std::move(FJobs.front());
    FJobs.pop_front();
    const QByteArray& data = job.Data;
    if (data.isEmpty()) {
        FOk = false;
        return false;
    }
    TGifFrame frame;
    frame.Rect = job.Rect;
    frame.DelayCs = job.DelayCs;
    frame.TransparentIndex = job.TransparentIndex;
    frame.Disposal = 1;
    frame.Data = data;
    if (job.Palette != 0)
        frame.LocalPalette = FPalettes[static_cast<size_t>(job.Palette)].Colors;
    if (!FWriter.WriteFrame(frame)) {
        FOk = false;
        return false;
    }
    ++FImagesWritten;
    return true;
}

bool TGifEncoder::AddFrame(const uchar* rgb, int delayCs, int palette) {
    if (!FStarted || !Ok() || palette < 0 || palette >= static_cast<int>(FPalettes.size()))
        return false;
    if (FOptions.NoiseLimit <= FOptions.DiffThreshold)
        return DrawFrame(rgb, delayCs, palette, DrawingFor(rgb));
    // The frame before is drawn now that the one after it is known. A small frame is kept before
    // that, in the other place, so that its colours can be looked up meanwhile; a big one after
    // it, in the same place (a copy of a 4K frame takes 25 MB).
    const bool small = static_cast<qsizetype>(FSize.width()) * FSize.height() < GifLzwSplitPixels;
    THeldFrame& held = FHeld[static_cast<size_t>(FHeldSlot)];
    if (small) {
        Hold(FHeld[static_cast<size_t>(1 - FHeldSlot)], rgb, delayCs, palette);
        FHeldSlot = 1 - FHeldSlot;
    }
    bool ok = true;
    if (held.Valid) {
        FNext = rgb;
        ok = DrawHeld(held);
        FNext = nullptr;
    }
    if (!small)
        Hold(held, rgb, delayCs, palette);
    return ok;
}

void TGifEncoder::Hold(THeldFrame& frame, const uchar* rgb, int delayCs, int palette) {
    // The job before looked up the colours of the frame about to be drawn; it is done once
    // Wait returns, and `frame` is free to fill.
    FLookAhead.Wait();
    frame.Rgb.assign(rgb, rgb + static_cast<qsizetype>(FSize.width()) * FSize.height() * rgbBytes);
    frame.DelayCs = delayCs;
    frame.Palette = palette;
    frame.Valid = true;
    frame.Drawing = DrawingFor(frame.Rgb.data());
    frame.Nearest.clear();
    TRemapper& remapper = RemapperOf(palette);
    // Worth it while the frame before is compressed on one thread and the others wait: on small
    // frames. Bigger ones are compressed in parts on the pool's threads, which the look-ups would
    // only slow down. The first frame is drawn whole, by rows on the pool; a frame drawn exactly
    // changes in few pixels, and error diffusion looks up colours it has made itself.
    const bool first = !FHaveReference && !FHeld[static_cast<size_t>(FHeldSlot)].Valid;
    const qsizetype pixels = static_cast<qsizetype>(frame.Rgb.size() / 3);
    if (FPool.Threads() < 2 || pixels >= GifLzwSplitPixels || first || !frame.Drawing.Lossy ||
        !remapper.IsValid() || remapper.Dithers())
        return;
    frame.Nearest.resize(static_cast<size_t>(pixels));
    FLookAhead.Start([&frame, &remapper] {
        remapper.NearestOf(frame.Rgb.data(), static_cast<qsizetype>(frame.Nearest.size()),
                           frame.Nearest.data());
    });
}

bool TGifEncoder::DrawHeld(THeldFrame& frame) {
    frame.Valid = false;
    FNearest = frame.Nearest.empty() ? nullptr : frame.Nearest.data();
    const bool ok = DrawFrame(frame.Rgb.data(), frame.DelayCs, frame.Palette, frame.Drawing);
    FNearest = nullptr;
    return ok;
}

bool TGifEncoder::DrawFrame(const uchar* rgb, int delayCs, int palette, const TDrawing& drawing) {
    const bool ok = DrawPicture(rgb, delayCs, palette, drawing);
    FBytesAfterFrame.push_back(FImageBytes);
    return ok;
}

bool TGifEncoder::DrawPicture(const uchar* rgb, int delayCs, int palette, const TDrawing& drawing) {
    delayCs = std::clamp(delayCs, 0, maxDelayCs);
    TRemapper& remapper = RemapperOf(palette);
    if (!remapper.IsValid()) {
        FOk = false;
        return false;
    }
    FDrawing = drawing;
    if (!FHaveReference)
        return AddFirstFrame(rgb, delayCs, palette, remapper);
    const QRect changed = FindChanged(rgb, FDrawing.DiffThreshold);
    QRect drawn;
    if (!changed.isEmpty() && !RemapChanged(rgb, changed, palette, remapper, drawn)) {
        FOk = false;
        return false;
    }
    if (drawn.isEmpty() || !SubmitDrawn(rgb, changed, drawn, palette, delayCs, remapper))
        return AddUnchangedFrame(palette, delayCs);
    return WritePending();
}

void TGifEncoder::MarkDrawn(const uchar* rgb, const QRect& rect, const std::vector<uchar>& indices,
                            int palette, const TRemapper& remapper) {
    const int width = FSize.width();
    const int clear = FPalettes[static_cast<size_t>(palette)].TransparentIndex;
    FPool.ForRows(rect.height(), TWorkPool::ChunkRowsFor(rect.width()), [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const uchar* index = indices.data() + static_cast<qsizetype>(y) * rect.width();
            const qsizetype row = static_cast<qsizetype>(rect.top() + y) * width + rect.left();
            const uchar* src = rgb + row * rgbBytes;
            uchar* ref = FReference.data() + row * rgbBytes;
            uchar* shown = FShown.data() + row * rgbBytes;
            for (int x = 0; x < rect.width(); ++x) {
                if (index[x] == clear)
                    continue;
                const QRgb c = remapper.Color(index[x]);
                std::memcpy(ref + x * rgbBytes, src + x * rgbBytes, rgbBytes);
                shown[x * rgbBytes] = static_cast<uchar>(qRed(c));
                shown[x * rgbBytes + 1] = static_cast<uchar>(qGreen(c));
                shown[x * rgbBytes + 2] = static_cast<uchar>(qBlue(c));
            }
        }
    });
}

bool TGifEncoder::AddFirstFrame(const uchar* rgb, int delayCs, int palette, TRemapper& remapper) {
    const int width = FSize.width(), height = FSize.height();
    const qsizetype pixels = static_cast<qsizetype>(width) * height;
    FReference.assign(rgb, rgb + pixels * rgbBytes);
    FShown.resize(static_cast<size_t>(pixels) * rgbBytes);
    FChanged.assign(static_cast<size_t>(pixels), 1);
    FBox.resize(static_cast<size_t>(pixels) * rgbaBytes);
    const QRect whole(0, 0, width, height);
    FPool.ForRows(height, TWorkPool::ChunkRowsFor(width),
                  [&](int begin, int end) { FillBoxRows(rgb, whole, begin, end); });
    std::vector<uchar> indices(static_cast<size_t>(pixels));
    if (!remapper.Remap(FBox.data(), width, height, width * rgbaBytes, indices.data())) {
        FOk = false;
        return false;
    }
    FWanted.assign(rgb, rgb + pixels * rgbBytes);
    Submit(palette, whole, indices, FWanted, nullptr, delayCs);
    MarkDrawn(rgb, whole, indices, palette, remapper);
    FHaveReference = true;
    return WritePending();
}

QRect TGifEncoder::FindChanged(const uchar* rgb, int threshold) {
    // Which pixels changed in the source since they were last drawn, and the box around them.
    const int width = FSize.width(), height = FSize.height();
    FChanged.resize(static_cast<size_t>(width) * height);
    TChunkBoxes boxes(height, TWorkPool::ChunkRowsFor(width));
    FPool.ForRows(height, boxes.ChunkRows, [&](int begin, int end) {
        TMarkedBox& box = boxes.Of(begin);
        for (int y = begin; y < end; ++y) {
            const qsizetype row = static_cast<qsizetype>(y) * width;
            // A change no larger than the noise limit counts when the next frame still shows it.
            const uchar* next =
                FNext && FDrawing.NoiseLimit > threshold ? FNext + row * rgbBytes : nullptr;
            MarkChangedRow(rgb + row * rgbBytes, FReference.data() + row * rgbBytes, next, width,
                           threshold, FDrawing.NoiseLimit, FChanged.data() + row, y, box);
        }
    });
    return boxes.All().At(0, 0);
}

void TGifEncoder::FillBoxRows(const uchar* rgb, const QRect& changed, int begin, int end) {
    const int width = FSize.width();
    for (int y = begin; y < end; ++y) {
        const qsizetype row = static_cast<qsizetype>(changed.top() + y) * width + changed.left();
        const uchar* src = rgb + row * rgbBytes;
        const uchar* mark = FChanged.data() + row;
        uchar* out = FBox.data() + static_cast<qsizetype>(y) * changed.width() * rgbaBytes;
        for (int x = 0; x < changed.width(); ++x, out += 4) {
            out[0] = src[x * rgbBytes];
            out[1] = src[x * rgbBytes + 1];
            out[2] = src[x * rgbBytes + 2];
            out[3] = mark[x] ? 255 : 0;
        }
    }
}

bool TGifEncoder::RemapChanged(const uchar* rgb, const QRect& changed, int palette,
                               TRemapper& remapper, QRect& drawn) {
    // Remap the changed pixels of the box; the others are transparent. Then the box around the
    // pixels that need drawing. Without error diffusion, each range of rows goes through all of
    // it on one thread.
    const int width = FSize.width();
    const int boxWidth = changed.width(), boxHeight = changed.height();
    FBox.resize(static_cast<size_t>(boxWidth) * boxHeight * rgbaBytes);
    FIndices.resize(static_cast<size_t>(boxWidth) * boxHeight);
    const uchar* shown =
        FShown.data() + (static_cast<qsizetype>(changed.top()) * width + changed.left()) * rgbBytes;
    const int clear = FPalettes[static_cast<size_t>(palette)].TransparentIndex;
    const uchar* nearest =
        FNearest ? FNearest + static_cast<qsizetype>(changed.top()) * width + changed.left()
                 : nullptr;
    const auto drawnRows = [&](int begin, int end, TMarkedBox& box) {
        for (int y = begin; y < end; ++y) {
            const uchar* index = FIndices.data() + static_cast<qsizetype>(y) * boxWidth;
            int rowLeft = -1, rowRight = -1;
            for (int x = 0; x < boxWidth; ++x)
                if (index[x] != clear) {
                    if (rowLeft < 0)
                        rowLeft = x;
                    rowRight = x;
                }
            box.AddRow(y, rowLeft, rowRight);
        }
    };
    TChunkBoxes boxes(boxHeight, TWorkPool::ChunkRowsFor(boxWidth));
    bool ok = true;
    if (remapper.Dithers()) {
        FPool.ForRows(boxHeight, boxes.ChunkRows,
                      [&](int begin, int end) { FillBoxRows(rgb, changed, begin, end); });
        ok = remapper.Remap(FBox.data(), boxWidth, boxHeight, boxWidth * rgbaBytes, FIndices.data(),
                            shown, width * rgbBytes, FDrawing.KeepDistance);
        if (ok)
            drawnRows(0, boxHeight, boxes.Boxes.front());
    } else {
        std::atomic<bool> remapped{true};
        FPool.ForRows(boxHeight, boxes.ChunkRows, [&](int begin, int end) {
            FillBoxRows(rgb, changed, begin, end);
            if (!remapper.RemapRows(FBox.data(), boxWidth, begin, end, boxWidth * rgbaBytes,
                                    FIndices.data(), shown, width * rgbBytes, FDrawing.KeepDistance,
                                    nearest, width))
                remapped = false;
            drawnRows(begin, end, boxes.Of(begin));
        });
        ok = remapped;
    }
    drawn = boxes.All().At(changed.left(), changed.top());
    return ok;
}

bool TGifEncoder::AddUnchangedFrame(int palette, int delayCs) {
    // Nothing is drawn: the frame before stays longer on screen.
    if (!FJobs.empty() && FJobs.back().DelayCs + delayCs <= maxDelayCs) {
        FJobs.back().DelayCs += delayCs;
        return true;
    }
    // The delay field is full: a one-pixel transparent frame carries the rest of the time.
    const int clear = FPalettes[static_cast<size_t>(palette)].TransparentIndex;
    std::vector<uchar> indices(1, static_cast<uchar>(clear));
    FWanted.assign(FShown.begin(), FShown.begin() + 3);
    Submit(palette, QRect(0, 0, 1, 1), indices, FWanted, FShown.data(), delayCs);
    return WritePending();
}

bool TGifEncoder::SubmitDrawn(const uchar* rgb, const QRect& changed, const QRect& drawn,
                              int palette, int delayCs, const TRemapper& remapper) {
    // The drawn box's indices (out of the changed box's), source colours and on-screen colours.
    const int width = FSize.width();
    std::vector<uchar> indices(static_cast<size_t>(drawn.width()) * drawn.height());
    FWanted.resize(indices.size() * rgbBytes);
    FShownBox.resize(indices.size() * rgbBytes);
    for (int y = 0; y < drawn.height(); ++y) {
        const qsizetype row = static_cast<qsizetype>(drawn.top() + y) * width + drawn.left();
        const size_t at = static_cast<size_t>(y) * static_cast<size_t>(drawn.width());
        std::memcpy(indices.data() + at,
                    FIndices.data() +
                        static_cast<qsizetype>(drawn.top() - changed.top() + y) * changed.width() +
                        (drawn.left() - changed.left()),
                    static_cast<size_t>(drawn.width()));
        std::memcpy(FWanted.data() + at * rgbBytes, rgb + row * rgbBytes,
                    static_cast<size_t>(drawn.width()) * rgbBytes);
        std::memcpy(FShownBox.data() + at * rgbBytes, FShown.data() + row * rgbBytes,
                    static_cast<size_t>(drawn.width()) * rgbBytes);
    }
    Submit(palette, drawn, indices, FWanted, FShownBox.data(), delayCs);
    if (!ChangesWhatIsSeen(indices, palette, remapper)) {
        if (FJobs.back().Counted)
            FImageBytes -= ImageBytes(FJobs.back());
        FJobs.pop_back();
        return false;
    }
    MarkDrawn(rgb, drawn, indices, palette, remapper);
    return true;
}

bool TGifEncoder::ChangesWhatIsSeen(const std::vector<uchar>& indices, int palette,
                                    const TRemapper& remapper) const {
    // FShownBox holds the on-screen colours of the drawn box, in the order of `indices`. A frame
    // of screen-like content too counts as unchanged by this threshold: it only changes pixels
    // by less than the eye sees.
    const int clear = FPalettes[static_cast<size_t>(palette)].TransparentIndex;
    const int threshold = FOptions.DiffThreshold;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (indices[i] == clear)
            continue;
        const QRgb c = remapper.Color(indices[i]);
        const uchar* shown = FShownBox.data() + i * rgbBytes;
        if (std::abs(qRed(c) - shown[0]) > threshold ||
            std::abs(qGreen(c) - shown[1]) > threshold || std::abs(qBlue(c) - shown[2]) > threshold)
            return true;
    }
    return false;
}

bool TGifEncoder::WritePending() {
    // The last image stays queued: the next frames may lengthen it. An exact one is compressed
    // meanwhile.
    while (FJobs.size() > 1)
        if (!WriteFront())
            return false;
    StartCompressing();
    return true;
}

bool TGifEncoder::Finish() {
    if (!FStarted)
        return false;
    THeldFrame& held = FHeld[static_cast<size_t>(FHeldSlot)];
    if (held.Valid) {
        FLookAhead.Wait();
        if (!DrawHeld(held))
            return false;
    }
    while (!FJobs.empty())
        if (!WriteFront())
            return false;
    return FWriter.WriteTrailer() && Ok();
}
