// How close a GIF stays to the clip it was made from, the way a viewer watches it: at every step
// of 1/fps along the GIF's own timeline, the picture the GIF shows then is compared with the
// video frame nearest the same moment of the clip, scaled to the GIF's size. Prints the images,
// the file size and the mean SSIM (luma, 8 × 8 windows) and PSNR (RGB):
//
//   vg_bench_gif_quality <video> <gif> <clip start s> <fps> [speed]
//
// Frames taken unevenly (or shown for the wrong time) meet the wrong reference and score lower.
//
//   vg_bench_gif_quality --flicker <reference video> <gif> <fps>
//
// prints the GIF's flicker on pixels that hold still in a lossless reference of the clip made at
// the GIF's frame rate and size (frame k of the reference is step k of the GIF): the mean |Δluma|
// between consecutive steps, the share of still pixel steps, and the share of those the GIF
// changes by half a level or more.

#include "bench/engine/gif_flicker.h"
#include "decoder/FFDecoder.h"
#include "tests/support/GifDecode.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace {

std::vector<float> Luma(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<float> out(static_cast<size_t>(rgb.width()) * rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            out[static_cast<size_t>(y) * rgb.width() + x] = static_cast<float>(
                0.299 * qRed(line[x]) + 0.587 * qGreen(line[x]) + 0.114 * qBlue(line[x]));
    }
    return out;
}

// Mean SSIM over 8 × 8 windows, stepping by 4.
double Ssim(const QImage& a, const QImage& b) {
    const std::vector<float> x = Luma(a), y = Luma(b);
    const int width = a.width(), height = a.height();
    const double c1 = 6.5025, c2 = 58.5225; // (0.01 · 255)², (0.03 · 255)²
    double sum = 0;
    int windows = 0;
    for (int top = 0; top + 8 <= height; top += 4)
        for (int left = 0; left + 8 <= width; left += 4) {
            double mx = 0, my = 0, xx = 0, yy = 0, xy = 0;
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i) {
                    const size_t at = static_cast<size_t>(top + j) * width + left + i;
                    mx += x[at];
                    my += y[at];
                    xx += x[at] * x[at];
                    yy += y[at] * y[at];
                    xy += x[at] * y[at];
                }
            mx /= 64;
            my /= 64;
            const double vx = xx / 64 - mx * mx, vy = yy / 64 - my * my, cxy = xy / 64 - mx * my;
            sum +=
                ((2 * mx * my + c1) * (2 * cxy + c2)) / ((mx * mx + my * my + c1) * (vx + vy + c2));
            ++windows;
        }
    return windows ? sum / windows : 0;
}

double SquaredError(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const QRgb* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int dr = qRed(p[col]) - qRed(q[col]), dg = qGreen(p[col]) - qGreen(q[col]),
                      db = qBlue(p[col]) - qBlue(q[col]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

struct TSourceFrame {
    int64_t Pts = 0;
    QImage Picture; // at the GIF's size
};

// The clip's frames from `start` for `seconds` (and a little more), scaled to `size`.
std::vector<TSourceFrame> ReadClip(TFFDecoder& decoder, double start, double seconds,
                                   const QSize& size) {
    std::vector<TSourceFrame> frames;
    const int64_t end = static_cast<int64_t>((start + seconds + 0.2) * 1e6);
    QImage picture;
    do {
        if (!decoder.CopyToBitmap(picture))
            break;
        frames.push_back({decoder.CurrentPTS(),
                          picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)});
    } while (decoder.CurrentPTS() <= end && decoder.Decode());
    return frames;
}

// The index of the frame nearest `t`.
size_t Nearest(const std::vector<TSourceFrame>& frames, int64_t t) {
    size_t best = 0;
    for (size_t i = 1; i < frames.size(); ++i)
        if (std::llabs(frames[i].Pts - t) < std::llabs(frames[best].Pts - t))
            best = i;
    return best;
}

int Flicker(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s --flicker <reference video> <gif> <fps>\n", argv[0]);
        return 2;
    }
    const TFlickerResult result = MeasureFlicker(
        QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), std::atof(argv[4]));
    if (!result.Ok) {
        std::fprintf(stderr, "%s\n", qPrintable(result.Error));
        return 1;
    }
    if (!result.Error.isEmpty())
        std::fprintf(stderr, "warning: %s\n", qPrintable(result.Error));
    std::printf("flicker %.4f still %.1f%% changed %.2f%% steps %d\n", result.Flicker,
                100 * result.StillShare, 100 * result.StillChangedShare, result.Steps);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--flicker") == 0)
        return Flicker(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s <video> <gif> <clip start s> <fps> [speed]\n", argv[0]);
        return 2;
    }
    const QString video = QString::fromLocal8Bit(argv[1]),
                  gifFile = QString::fromLocal8Bit(argv[2]);
    const double start = std::atof(argv[3]), fps = std::atof(argv[4]);
    const double speed = argc > 5 ? std::atof(argv[5]) : 1.0;
    const TDecodedGif gif = DecodeGifFile(gifFile);
    TFFDecoder decoder;
    decoder.SetBitmapBitsPixel(32);
    if (!gif.Ok || gif.Composed.empty() || !decoder.LoadFile(video) ||
        !decoder.LocateVideoPTS(static_cast<int64_t>(start * 1e6))) {
        std::fprintf(stderr, "cannot read %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    const TVideoStreamInfo info = decoder.GetVideoStreamInfo();
    const std::vector<TSourceFrame> frames =
        ReadClip(decoder, start, gif.TotalDelayCs() / 100.0 * speed, QSize(gif.Width, gif.Height));
    double ssim = 0, squared = 0;
    int steps = 0;
    size_t image = 0;
    int imageEndCs = gif.Images[0].DelayCs;
    // Which source frame each step looks most like (of the nearest and two either side), and how
    // far apart those are from step to step.
    std::map<long, int> stepSizes;
    long lastMatch = -1;
    for (int k = 0; !frames.empty(); ++k) {
        // The middle of the step: delays are whole hundredths, so its start may fall just before
        // the image that shows it.
        const double gifCs = (k + 0.5) * 100.0 / (fps * speed);
        if (gifCs >= gif.TotalDelayCs())
            break;
        while (image + 1 < gif.Images.size() && gifCs >= imageEndCs)
            imageEndCs += gif.Images[++image].DelayCs;
        const int64_t t = static_cast<int64_t>(std::llround((start + k / fps) * 1e6));
        const size_t nearest = Nearest(frames, t);
        const QImage& shown = gif.Composed[image];
        const double score = Ssim(shown, frames[nearest].Picture);
        ssim += score;
        squared += SquaredError(shown, frames[nearest].Picture);
        ++steps;
        size_t match = nearest;
        double best = score;
        for (size_t i = nearest > 2 ? nearest - 2 : 0; i <= nearest + 2 && i < frames.size(); ++i)
            if (i != nearest && Ssim(shown, frames[i].Picture) > best + 0.002) {
                best = Ssim(shown, frames[i].Picture);
                match = i;
            }
        if (lastMatch >= 0)
            ++stepSizes[static_cast<long>(match) - lastMatch];
        lastMatch = static_cast<long>(match);
    }
    const double mse = squared / std::max(steps, 1);
    std::printf("%s (source %d/%d fps): %zu images, %lld KB, %d steps, SSIM %.4f, PSNR %.2f dB; "
                "steps through the source:",
                qPrintable(QFileInfo(gifFile).fileName()), info.FrameRateNum, info.FrameRateDen,
                gif.Images.size(), static_cast<long long>(QFileInfo(gifFile).size() / 1024), steps,
                ssim / std::max(steps, 1), 10 * std::log10(255.0 * 255.0 / std::max(mse, 1e-9)));
    for (const auto& [size, count] : stepSizes)
        std::printf(" %ld×%d", size, count);
    std::printf("\n");
    return 0;
}
