#include "engine/GifEncoder.h"

#include "engine/Quantizer.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int maxDelayCs = 65535;

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
    bool IsEmpty() const { return Right < 0; }
};

int LargestDifference(const uchar* a, const uchar* b) {
    return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

// The share of pixels (on every fourth row) exactly like their right-hand neighbour.
float FlatShare(const uchar* rgb, int width, int height) {
    qint64 flat = 0, counted = 0;
    for (int y = 0; y < height; y += 4) {
        const uchar* row = rgb + static_cast<qsizetype>(y) * width * 3;
        for (int x = 0; x + 1 < width; ++x, ++counted)
            flat += std::memcmp(row + x * 3, row + x * 3 + 3, 3) == 0 ? 1 : 0;
    }
    return counted > 0 ? static_cast<float>(flat) / static_cast<float>(counted) : 0.0f;
}
} // namespace

TGifEncoder::TGifEncoder(QIODevice* device, QSize size, std::optional<int> loopCount,
                         const std::vector<QVector<QRgb>>& palettes,
                         const TGifEncoderOptions& options)
    : FWriter(device), FSize(size), FLoopCount(loopCount), FOptions(options) {
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
    if (!slot.Remapper)
        slot.Remapper =
            std::make_unique<TRemapper>(slot.Colors, slot.TransparentIndex, FOptions.Dither);
    return *slot.Remapper;
}

TGifEncoder::TDrawing TGifEncoder::DrawingFor(const uchar* rgb) const {
    const bool screen = FOptions.ScreenFlatShare <= 1.0f &&
                        FlatShare(rgb, FSize.width(), FSize.height()) >= FOptions.ScreenFlatShare;
    return screen
               ? TDrawing{FOptions.ScreenDiffThreshold, 0, false, 0}
               : TDrawing{FOptions.DiffThreshold, FOptions.KeepDistance, true, FOptions.NoiseLimit};
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
        job.Data = GifLzwEncode(indices.data(), static_cast<qsizetype>(indices.size()),
                                GifCodeSize(static_cast<int>(slot.Colors.size())));
        FJobs.push_back(std::move(job));
        return;
    }
    TLossyChoice choice;
    choice.Wanted = wanted.data();
    choice.Shown = shown;
    choice.Palette = slot.Colors.constData();
    choice.TransparentIndex = slot.TransparentIndex;
    choice.Tolerance = FOptions.LossyTolerance;
    choice.Relative = FOptions.LossyRelative;
    choice.TextureShare = FOptions.TextureTolerance;
    choice.Width = rect.width();
    job.Data = GifLossyLzwEncode(indices.data(), static_cast<qsizetype>(indices.size()),
                                 GifCodeSize(static_cast<int>(slot.Colors.size())), choice);
    FJobs.push_back(std::move(job));
}

bool TGifEncoder::WriteFront() {
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
        return DrawFrame(rgb, delayCs, palette);
    // The frame before is drawn now that the one after it is known.
    bool ok = true;
    if (FHeld.Valid) {
        FNext = rgb;
        ok = DrawFrame(FHeld.Rgb.data(), FHeld.DelayCs, FHeld.Palette);
        FNext = nullptr;
    }
    FHeld.Rgb.assign(rgb, rgb + static_cast<qsizetype>(FSize.width()) * FSize.height() * 3);
    FHeld.DelayCs = delayCs;
    FHeld.Palette = palette;
    FHeld.Valid = true;
    return ok;
}

bool TGifEncoder::DrawFrame(const uchar* rgb, int delayCs, int palette) {
    delayCs = std::clamp(delayCs, 0, maxDelayCs);
    TRemapper& remapper = RemapperOf(palette);
    if (!remapper.IsValid()) {
        FOk = false;
        return false;
    }
    FDrawing = DrawingFor(rgb);
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
    for (int y = 0; y < rect.height(); ++y) {
        const uchar* index = indices.data() + static_cast<qsizetype>(y) * rect.width();
        const qsizetype row = static_cast<qsizetype>(rect.top() + y) * width + rect.left();
        const uchar* src = rgb + row * 3;
        uchar* ref = FReference.data() + row * 3;
        uchar* shown = FShown.data() + row * 3;
        for (int x = 0; x < rect.width(); ++x) {
            if (index[x] == clear)
                continue;
            const QRgb c = remapper.Color(index[x]);
            std::memcpy(ref + x * 3, src + x * 3, 3);
            shown[x * 3] = static_cast<uchar>(qRed(c));
            shown[x * 3 + 1] = static_cast<uchar>(qGreen(c));
            shown[x * 3 + 2] = static_cast<uchar>(qBlue(c));
        }
    }
}

bool TGifEncoder::AddFirstFrame(const uchar* rgb, int delayCs, int palette, TRemapper& remapper) {
    const int width = FSize.width(), height = FSize.height();
    const qsizetype pixels = static_cast<qsizetype>(width) * height;
    FReference.assign(rgb, rgb + pixels * 3);
    FShown.resize(static_cast<size_t>(pixels) * 3);
    FBox.resize(static_cast<size_t>(pixels) * 4);
    for (qsizetype i = 0; i < pixels; ++i) {
        FBox[i * 4] = rgb[i * 3];
        FBox[i * 4 + 1] = rgb[i * 3 + 1];
        FBox[i * 4 + 2] = rgb[i * 3 + 2];
        FBox[i * 4 + 3] = 255;
    }
    std::vector<uchar> indices(static_cast<size_t>(pixels));
    if (!remapper.Remap(FBox.data(), width, height, width * 4, indices.data())) {
        FOk = false;
        return false;
    }
    FWanted.assign(rgb, rgb + pixels * 3);
    const QRect whole(0, 0, width, height);
    Submit(palette, whole, indices, FWanted, nullptr, delayCs);
    MarkDrawn(rgb, whole, indices, palette, remapper);
    FHaveReference = true;
    return WritePending();
}

QRect TGifEncoder::FindChanged(const uchar* rgb, int threshold) {
    // Which pixels changed in the source since they were last drawn, and the box around them.
    const int width = FSize.width(), height = FSize.height();
    FChanged.assign(static_cast<size_t>(width) * height, 0);
    TMarkedBox changedBox;
    FRowDifference.resize(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        const uchar* src = rgb + static_cast<qsizetype>(y) * width * 3;
        const uchar* ref = FReference.data() + static_cast<qsizetype>(y) * width * 3;
        uchar* mark = FChanged.data() + static_cast<qsizetype>(y) * width;
        // Byte differences first (a loop the compiler turns into vector instructions); most rows
        // of most frames end there.
        uchar* difference = FRowDifference.data();
        uchar largest = 0;
        for (int i = 0; i < width * 3; ++i) {
            const uchar d = static_cast<uchar>(src[i] > ref[i] ? src[i] - ref[i] : ref[i] - src[i]);
            difference[i] = d;
            largest = std::max(largest, d);
        }
        if (largest <= threshold)
            continue;
        // A change no larger than the noise limit counts when the next frame still shows it.
        const uchar* next = FNext && FDrawing.NoiseLimit > threshold
                                ? FNext + static_cast<qsizetype>(y) * width * 3
                                : nullptr;
        int rowLeft = -1, rowRight = -1;
        for (int x = 0; x < width; ++x) {
            const uchar* d = difference + x * 3;
            const int own = std::max({d[0], d[1], d[2]});
            if (own > threshold && (!next || own > FDrawing.NoiseLimit ||
                                    LargestDifference(next + x * 3, ref + x * 3) > threshold)) {
                mark[x] = 1;
                if (rowLeft < 0)
                    rowLeft = x;
                rowRight = x;
            }
        }
        changedBox.AddRow(y, rowLeft, rowRight);
    }
    return changedBox.IsEmpty() ? QRect()
                                : QRect(QPoint(changedBox.Left, changedBox.Top),
                                        QPoint(changedBox.Right, changedBox.Bottom));
}

bool TGifEncoder::RemapChanged(const uchar* rgb, const QRect& changed, int palette,
                               TRemapper& remapper, QRect& drawn) {
    // Remap the changed pixels of the box; the others are transparent.
    const int width = FSize.width();
    const int left = changed.left(), top = changed.top();
    const int boxWidth = changed.width(), boxHeight = changed.height();
    FBox.resize(static_cast<size_t>(boxWidth) * boxHeight * 4);
    uchar* out = FBox.data();
    for (int y = top; y <= changed.bottom(); ++y) {
        const uchar* src = rgb + (static_cast<qsizetype>(y) * width + left) * 3;
        const uchar* mark = FChanged.data() + static_cast<qsizetype>(y) * width + left;
        for (int x = 0; x < boxWidth; ++x, out += 4) {
            out[0] = src[x * 3];
            out[1] = src[x * 3 + 1];
            out[2] = src[x * 3 + 2];
            out[3] = mark[x] ? 255 : 0;
        }
    }
    FIndices.resize(static_cast<size_t>(boxWidth) * boxHeight);
    const qsizetype corner = static_cast<qsizetype>(top) * width + left;
    if (!remapper.Remap(FBox.data(), boxWidth, boxHeight, boxWidth * 4, FIndices.data(),
                        FShown.data() + corner * 3, width * 3, FDrawing.KeepDistance))
        return false;
    // The box around the pixels that need drawing.
    const int clear = FPalettes[static_cast<size_t>(palette)].TransparentIndex;
    TMarkedBox drawnBox;
    for (int y = 0; y < boxHeight; ++y) {
        const uchar* index = FIndices.data() + static_cast<qsizetype>(y) * boxWidth;
        int rowLeft = -1, rowRight = -1;
        for (int x = 0; x < boxWidth; ++x)
            if (index[x] != clear) {
                if (rowLeft < 0)
                    rowLeft = x;
                rowRight = x;
            }
        drawnBox.AddRow(y, rowLeft, rowRight);
    }
    drawn = drawnBox.IsEmpty() ? QRect()
                               : QRect(QPoint(left + drawnBox.Left, top + drawnBox.Top),
                                       QPoint(left + drawnBox.Right, top + drawnBox.Bottom));
    return true;
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
    FWanted.resize(indices.size() * 3);
    FShownBox.resize(indices.size() * 3);
    for (int y = 0; y < drawn.height(); ++y) {
        const qsizetype row = static_cast<qsizetype>(drawn.top() + y) * width + drawn.left();
        const size_t at = static_cast<size_t>(y) * static_cast<size_t>(drawn.width());
        std::memcpy(indices.data() + at,
                    FIndices.data() +
                        static_cast<qsizetype>(drawn.top() - changed.top() + y) * changed.width() +
                        (drawn.left() - changed.left()),
                    static_cast<size_t>(drawn.width()));
        std::memcpy(FWanted.data() + at * 3, rgb + row * 3, static_cast<size_t>(drawn.width()) * 3);
        std::memcpy(FShownBox.data() + at * 3, FShown.data() + row * 3,
                    static_cast<size_t>(drawn.width()) * 3);
    }
    Submit(palette, drawn, indices, FWanted, FShownBox.data(), delayCs);
    if (!ChangesWhatIsSeen(indices, palette, remapper)) {
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
        const uchar* shown = FShownBox.data() + i * 3;
        if (std::abs(qRed(c) - shown[0]) > threshold ||
            std::abs(qGreen(c) - shown[1]) > threshold || std::abs(qBlue(c) - shown[2]) > threshold)
            return true;
    }
    return false;
}

bool TGifEncoder::WritePending() {
    // The last image stays queued: the next frames may lengthen it.
    while (FJobs.size() > 1)
        if (!WriteFront())
            return false;
    return true;
}

bool TGifEncoder::Finish() {
    if (!FStarted)
        return false;
    if (FHeld.Valid) {
        FHeld.Valid = false;
        if (!DrawFrame(FHeld.Rgb.data(), FHeld.DelayCs, FHeld.Palette))
            return false;
    }
    while (!FJobs.empty())
        if (!WriteFront())
            return false;
    return FWriter.WriteTrailer() && Ok();
}
