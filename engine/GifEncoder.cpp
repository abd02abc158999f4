#include "engine/GifEncoder.h"

#include "engine/Quantizer.h"

#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cstdlib>

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

std::unique_ptr<TRemapper> TGifEncoder::TakeRemapper(int palette) {
    TPaletteSlot& slot = FPalettes[static_cast<size_t>(palette)];
    {
        std::lock_guard<std::mutex> lock(FRemapperLock);
        if (!slot.Remappers.empty()) {
            auto remapper = std::move(slot.Remappers.back());
            slot.Remappers.pop_back();
            return remapper;
        }
    }
    return std::make_unique<TRemapper>(slot.Colors, slot.TransparentIndex, FOptions.Dither);
}

void TGifEncoder::ReturnRemapper(int palette, std::unique_ptr<TRemapper> remapper) {
    std::lock_guard<std::mutex> lock(FRemapperLock);
    FPalettes[static_cast<size_t>(palette)].Remappers.push_back(std::move(remapper));
}

QByteArray TGifEncoder::Encode(int palette, const QRect& rect, const std::vector<uchar>& rgba) {
    const qsizetype count = static_cast<qsizetype>(rect.width()) * rect.height();
    std::vector<uchar> indices(static_cast<size_t>(count));
    auto remapper = TakeRemapper(palette);
    const bool ok = remapper->IsValid() && remapper->Remap(rgba.data(), rect.width(), rect.height(),
                                                           rect.width() * 4, indices.data());
    ReturnRemapper(palette, std::move(remapper));
    if (!ok)
        return {};
    const int colors = static_cast<int>(FPalettes[static_cast<size_t>(palette)].Colors.size());
    return GifLzwEncode(indices.data(), count, GifCodeSize(colors));
}

void TGifEncoder::Submit(int palette, const QRect& rect, std::vector<uchar> rgba, int delayCs,
                         bool transparency) {
    TJob job;
    job.Rect = rect;
    job.DelayCs = delayCs;
    job.Palette = palette;
    job.TransparentIndex =
        transparency ? FPalettes[static_cast<size_t>(palette)].TransparentIndex : -1;
    job.Data = QtConcurrent::run(&FPool, [this, palette, rect, pixels = std::move(rgba)] {
        return Encode(palette, rect, pixels);
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

    if (!FHaveReference) {
        FReference.assign(rgb, rgb + pixels * 3);
        FHaveReference = true;
        std::vector<uchar> rgba(static_cast<size_t>(pixels) * 4);
        for (qsizetype i = 0; i < pixels; ++i) {
            rgba[i * 4] = rgb[i * 3];
            rgba[i * 4 + 1] = rgb[i * 3 + 1];
            rgba[i * 4 + 2] = rgb[i * 3 + 2];
            rgba[i * 4 + 3] = 255;
        }
        Submit(palette, QRect(0, 0, width, height), std::move(rgba), delayCs, false);
        return true;
    }

    // Which pixels changed, and the box around them.
    const int threshold = FOptions.DiffThreshold;
    std::vector<uchar> changed(static_cast<size_t>(pixels), 0);
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y) {
        const uchar* src = rgb + static_cast<qsizetype>(y) * width * 3;
        uchar* ref = FReference.data() + static_cast<qsizetype>(y) * width * 3;
        uchar* mark = changed.data() + static_cast<qsizetype>(y) * width;
        int rowLeft = -1, rowRight = -1;
        for (int x = 0; x < width; ++x) {
            const int d = std::max({std::abs(src[x * 3] - ref[x * 3]),
                                    std::abs(src[x * 3 + 1] - ref[x * 3 + 1]),
                                    std::abs(src[x * 3 + 2] - ref[x * 3 + 2])});
            if (d > threshold) {
                mark[x] = 1;
                ref[x * 3] = src[x * 3];
                ref[x * 3 + 1] = src[x * 3 + 1];
                ref[x * 3 + 2] = src[x * 3 + 2];
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

    if (right < 0) {
        // Nothing changed: the frame before stays longer on screen.
        if (!FJobs.empty() && FJobs.back().DelayCs + delayCs <= maxDelayCs) {
            FJobs.back().DelayCs += delayCs;
            return true;
        }
        // The delay field is full: a one-pixel transparent frame carries the rest of the time.
        std::vector<uchar> rgba(4, 0);
        Submit(palette, QRect(0, 0, 1, 1), std::move(rgba), delayCs, true);
    } else {
        const QRect box(QPoint(left, top), QPoint(right, bottom));
        std::vector<uchar> rgba(static_cast<size_t>(box.width()) * box.height() * 4);
        uchar* out = rgba.data();
        for (int y = top; y <= bottom; ++y) {
            const uchar* src = rgb + (static_cast<qsizetype>(y) * width + left) * 3;
            const uchar* mark = changed.data() + static_cast<qsizetype>(y) * width + left;
            for (int x = 0; x < box.width(); ++x, out += 4) {
                out[0] = src[x * 3];
                out[1] = src[x * 3 + 1];
                out[2] = src[x * 3 + 2];
                out[3] = mark[x] ? 255 : 0;
            }
        }
        Submit(palette, box, std::move(rgba), delayCs, true);
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
