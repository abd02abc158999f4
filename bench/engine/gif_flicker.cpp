#include "bench/engine/gif_flicker.h"

#include "decoder/FFDecoder.h"
#include "tests/support/GifDecode.h"

#include <QImage>
#include <cmath>
#include <cstdint>
#include <deque>
#include <vector>

namespace {

// Below half a level the reference counts as unchanged.
constexpr float StillLimit = 0.5F;

// Luma (BT.601 weights) of every pixel, unrounded.
std::vector<float> LumaPlane(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<float> out(static_cast<size_t>(rgb.width()) * rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            out[static_cast<size_t>(y) * rgb.width() + x] =
                0.299F * qRed(line[x]) + 0.587F * qGreen(line[x]) + 0.114F * qBlue(line[x]);
    }
    return out;
}

// The reference's frames in order, one per call, at the GIF's size.
class TReferenceReader {
public:
    bool Open(const QString& file, const QSize& size) {
        Size = size;
        Decoder.SetBitmapBitsPixel(32);
        return Decoder.LoadFile(file) && Decoder.LocateVideoPTS(0);
    }
    // False when the reference has no more frames.
    bool Next(std::vector<float>& luma) {
        if (Started && !Decoder.Decode())
            return false;
        Started = true;
        if (!Decoder.CopyToBitmap(Picture))
            return false;
        // A reference of another size is a setup mistake; scaling keeps the numbers comparable.
        luma = LumaPlane(Picture.size() == Size ? Picture
                                                : Picture.scaled(Size, Qt::IgnoreAspectRatio,
                                                                 Qt::SmoothTransformation));
        return true;
    }
    bool Resized() const { return Picture.size() != Size; }

private:
    TFFDecoder Decoder;
    QSize Size;
    QImage Picture;
    bool Started = false;
};

// One frame step: the picture the GIF shows and where the reference moved since the step before.
struct TStep {
    std::vector<float> Gif;
    std::vector<uint8_t> Moved; // empty for the first step
};

std::vector<uint8_t> MovedPixels(const std::vector<float>& before, const std::vector<float>& now) {
    std::vector<uint8_t> moved(now.size());
    for (size_t i = 0; i < now.size(); ++i)
        moved[i] = std::fabs(now[i] - before[i]) >= StillLimit ? 1 : 0;
    return moved;
}

struct TTally {
    double Sum = 0;
    long long Still = 0, StillChanged = 0, Pixels = 0;

    // The change from `before` to `step` on pixels the reference holds still from the step
    // before `before` to `after` (none after the last step).
    void Add(const TStep& before, const TStep& step, const TStep* after) {
        Pixels += static_cast<long long>(step.Gif.size());
        for (size_t i = 0; i < step.Gif.size(); ++i) {
            if (step.Moved[i] || (!before.Moved.empty() && before.Moved[i]) ||
                (after && after->Moved[i]))
                continue;
            const float change = std::fabs(step.Gif[i] - before.Gif[i]);
            Sum += change;
            ++Still;
            if (change >= StillLimit)
                ++StillChanged;
        }
    }
};

} // namespace

TFlickerResult MeasureFlicker(const QString& reference, const QString& gifFile, double fps) {
    TFlickerResult result;
    const TDecodedGif gif = DecodeGifFile(gifFile);
    if (!gif.Ok || gif.Composed.empty()) {
        result.Error = QStringLiteral("cannot read %1: %2").arg(gifFile, gif.Error);
        return result;
    }
    TReferenceReader reader;
    if (!reader.Open(reference, QSize(gif.Width, gif.Height))) {
        result.Error = QStringLiteral("cannot read %1").arg(reference);
        return result;
    }
    std::vector<float> ref, refBefore;
    std::deque<TStep> window; // the last three steps
    size_t image = 0, shownImage = 0;
    int imageEndCs = gif.Images[0].DelayCs;
    TTally tally;
    for (int k = 0;; ++k) {
        // The middle of step k on the GIF's timeline: delays are whole hundredths, so a step's
        // start may fall just before the image that shows it.
        const double gifCs = (k + 0.5) * 100.0 / fps;
        if (gifCs >= gif.TotalDelayCs() || !reader.Next(ref))
            break;
        while (image + 1 < gif.Images.size() && gifCs >= imageEndCs)
            imageEndCs += gif.Images[++image].DelayCs;
        TStep step;
        step.Gif = window.empty() || image != shownImage ? LumaPlane(gif.Composed[image])
                                                         : window.back().Gif;
        if (k > 0)
            step.Moved = MovedPixels(refBefore, ref);
        shownImage = image;
        refBefore.swap(ref);
        window.push_back(std::move(step));
        if (window.size() == 3) {
            tally.Add(window[0], window[1], &window[2]);
            window.pop_front();
            ++result.Steps;
        }
    }
    if (window.size() == 2) {
        tally.Add(window[0], window[1], nullptr);
        ++result.Steps;
    }
    if (reader.Resized())
        result.Error = QStringLiteral("the reference was scaled to the GIF's size");
    result.Ok = true;
    result.Flicker = tally.Still ? tally.Sum / static_cast<double>(tally.Still) : 0;
    result.StillShare =
        tally.Pixels ? static_cast<double>(tally.Still) / static_cast<double>(tally.Pixels) : 0;
    result.StillChangedShare =
        tally.Still ? static_cast<double>(tally.StillChanged) / static_cast<double>(tally.Still)
                    : 0;
    return result;
}
