#include "engine/GifEncoder.h"

#include "engine/Quantizer.h"

#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int maxDelayCs = 65535;
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
    FPool.setMaxThreadCount(std::max(1, options.Threads));
}

TGifEncoder::~TGifEncoder() {
    for (auto& job : FJobs)
        job.Data.waitForFinished();
    FPool.waitForDone();
}

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

void TGifEncoder::Submit(int palette, const QRect& rect, std::vector<uchar> indices, int delayCs,
                         bool transparency) {
    TJob job;
    job.Rect = rect;
    job.DelayCs = delayCs;
    job.Palette = palette;
    job.TransparentIndex =
        transparency ? FPalettes[static_cast<size_t>(palette)].TransparentIndex : -1;
    const int codeSize =
        GifCodeSize(static_cast<int>(FPalettes[static_cast<size_t>(palette)].Colors.size()));
    job.Data = QtConcurrent::run(&FPool, [codeSize, pixels = std::move(indices)] {
        return GifLzwEncode(pixels.data(), static_cast<qsizetype>(pixels.size()), codeSize);
    });
    FJobs.push_back(std::move(job));
}

bool TGifEncoder::WriteFront() {
    TJob job = std::move(FJobs.front());
    FJobs.pop_front();
    const QByteArray data = job.Data.result();
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
    delayCs = std::clamp(delayCs, 0, maxDelayCs);
    const int width = FSize.width(), height = FSize.height();
    const qsizetype pixels = static_cast<qsizetype>(width) * height;
    TRemapper& remapper = RemapperOf(palette);
    if (!remapper.IsValid()) {
        FOk = false;
        return false;
    }

    if (!FHaveReference) {
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
        remapper.Remap(FBox.data(), width, height, width * 4, indices.data());
        for (qsizetype i = 0; i < pixels; ++i) {
            const QRgb c = remapper.Color(indices[static_cast<size_t>(i)]);
            FShown[i * 3] = static_cast<uchar>(qRed(c));
            FShown[i * 3 + 1] = static_cast<uchar>(qGreen(c));
            FShown[i * 3 + 2] = static_cast<uchar>(qBlue(c));
        }
        FHaveReference = true;
        Submit(palette, QRect(0, 0, width, height), std::move(indices), delayCs, false);
        return true;
    }

    // Nothing is drawn: the frame before stays longer on screen.
    const auto lengthen = [&] {
        if (!FJobs.empty() && FJobs.back().DelayCs + delayCs <= maxDelayCs) {
            FJobs.back().DelayCs += delayCs;
            return;
        }
        // The delay field is full: a one-pixel transparent frame carries the rest of the time.
        const int clear = FPalettes[static_cast<size_t>(palette)].TransparentIndex;
        Submit(palette, QRect(0, 0, 1, 1), std::vector<uchar>(1, static_cast<uchar>(clear)),
               delayCs, true);
    };

    // Which pixels changed in the source since they were last drawn, and the box around them.
    const int threshold = FOptions.DiffThreshold;
    FChanged.assign(static_cast<size_t>(pixels), 0);
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y) {
        const uchar* src = rgb + static_cast<qsizetype>(y) * width * 3;
        const uchar* ref = FReference.data() + static_cast<qsizetype>(y) * width * 3;
        uchar* mark = FChanged.data() + static_cast<qsizetype>(y) * width;
        int rowLeft = -1, rowRight = -1;
        for (int x = 0; x < width; ++x) {
            const int d = std::max({std::abs(src[x * 3] - ref[x * 3]),
                                    std::abs(src[x * 3 + 1] - ref[x * 3 + 1]),
                                    std::abs(src[x * 3 + 2] - ref[x * 3 + 2])});
            if (d > threshold) {
                mark[x] = 1;
                if (rowLeft < 0)
                    rowLeft = x;
                rowRight = x;
            }
        }
        if (rowLeft >= 0) {
            left = std::min(left, rowLeft);
            right = std::max(right, rowRight);
            top = std::min(top, y);
            bottom = y;
        }
    }

    if (right >= 0) {
        // Remap the changed pixels of the box; the others are transparent.
        const int boxWidth = right - left + 1, boxHeight = bottom - top + 1;
        FBox.resize(static_cast<size_t>(boxWidth) * boxHeight * 4);
        uchar* out = FBox.data();
        for (int y = top; y <= bottom; ++y) {
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
        remapper.Remap(FBox.data(), boxWidth, boxHeight, boxWidth * 4, FIndices.data(),
                       FShown.data() + corner * 3, width * 3, FOptions.KeepDistance);

        // The drawn pixels: what the viewer sees now, and the box around them.
        const int clear = FPalettes[static_cast<size_t>(palette)].TransparentIndex;
        int drawnLeft = width, drawnRight = -1, drawnTop = height, drawnBottom = -1;
        for (int y = 0; y < boxHeight; ++y) {
            const uchar* index = FIndices.data() + static_cast<qsizetype>(y) * boxWidth;
            const qsizetype row = corner + static_cast<qsizetype>(y) * width;
            const uchar* src = rgb + row * 3;
            uchar* ref = FReference.data() + row * 3;
            uchar* shown = FShown.data() + row * 3;
            int rowLeft = -1, rowRight = -1;
            for (int x = 0; x < boxWidth; ++x) {
                if (index[x] == clear)
                    continue;
                const QRgb c = remapper.Color(index[x]);
                std::memcpy(ref + x * 3, src + x * 3, 3);
                shown[x * 3] = static_cast<uchar>(qRed(c));
                shown[x * 3 + 1] = static_cast<uchar>(qGreen(c));
                shown[x * 3 + 2] = static_cast<uchar>(qBlue(c));
                if (rowLeft < 0)
                    rowLeft = x;
                rowRight = x;
            }
            if (rowLeft >= 0) {
                drawnLeft = std::min(drawnLeft, rowLeft);
                drawnRight = std::max(drawnRight, rowRight);
                drawnTop = std::min(drawnTop, y);
                drawnBottom = y;
            }
        }
        if (drawnRight >= 0) {
            const QRect drawn(QPoint(left + drawnLeft, top + drawnTop),
                              QPoint(left + drawnRight, top + drawnBottom));
            std::vector<uchar> indices(static_cast<size_t>(drawn.width()) * drawn.height());
            for (int y = 0; y < drawn.height(); ++y)
                std::memcpy(indices.data() + static_cast<qsizetype>(y) * drawn.width(),
                            FIndices.data() + static_cast<qsizetype>(drawnTop + y) * boxWidth +
                                drawnLeft,
                            static_cast<size_t>(drawn.width()));
            Submit(palette, drawn, std::move(indices), delayCs, true);
        } else {
            lengthen();
        }
    } else {
        lengthen();
    }
    // Keep a few frames in flight; the last one may still grow by unchanged frames.
    while (static_cast<int>(FJobs.size()) > FOptions.Threads * 2 + 1)
        if (!WriteFront())
            return false;
    return true;
}

bool TGifEncoder::Finish() {
    if (!FStarted)
        return false;
    while (!FJobs.empty())
        if (!WriteFront())
            return false;
    return FWriter.WriteTrailer() && Ok();
}
