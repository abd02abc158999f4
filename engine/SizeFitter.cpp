#include "engine/SizeFitter.h"

#include "engine/OutputEncode.h"

#include <QBuffer>
#include <cmath>
#include <limits>

namespace {

// Sizes within this share below the limit are close enough to stop searching.
constexpr double closeEnough = 0.97;
// Estimates this far above the limit may still turn out to fit as a whole GIF.
constexpr double slack = 1.05;

// One setting a size limit lowers: the GIF's frames and quality at each of its values.
struct TAxis {
    std::function<TGifSequence(int)> Sequence;
    std::function<int(int)> Quality;
    bool Power = false; // sizes grow as a power of the value (frame rate, width)
};

class TSizeFitter {
public:
    TSizeFitter(const TConversionContext& context, const TPreparedFrames& frames,
                TFittedGif& fitted)
        : FContext(context), FFrames(frames), FFitted(fitted), FLimit(context.Request.GifMaxSize),
          FSpeed(context.Request.GifSpeed) {}
    TStop Run();

private:
    // Encodes the whole GIF in memory; it is kept when it fits and is the largest that fits so far
    // (the one that gave up least).
    TStop Try(const TGifSequence& sequence, int quality, qint64& size);
    // The size of the whole GIF guessed from a sample of it: stretches of a few frames spread
    // over the sequence, scaled by how the sample and the whole compared so far.
    TStop Estimate(const TGifSequence& sequence, int quality, qint64& size);
    TStop Encode(const TGifSequence& sequence, int quality, QByteArray& bytes, int& images);
    // The largest value in [lo, hi] whose GIF fits: found on estimates, then made whole (and
    // lowered while it does not fit). `found` false when not even lo fits.
    TStop Search(const TAxis& axis, int lo, int hi, bool& found, int& best, qint64 loWhole = 0);
    // Narrows [lo, hi] on estimates until lo comes close to the limit or meets hi.
    TStop Narrow(const TAxis& axis, int& lo, qint64& sizeLo, int& hi, qint64& sizeHi);
    // The estimate at hi; lo moves there when it fits.

    TGifSequence AtFps(int fps) const;
    TGifSequence AtWidth(const TGifSequence& base, int width) const;
    bool Fits(qint64 size) const { return size <= FLimit; }
    TConversionResult TooLarge() const;

    const TConversionContext& FContext;
    const TPreparedFrames& FFrames;
    TFittedGif& FFitted;
    const qint64 FLimit;
    const double FSpeed;
    int FTries = 0;
    double FRatio = 0; // whole GIF to sample, as last measured
    // The last whole GIF, to measure the ratio on when first needed.
    TGifSequence FLastSequence;
    int FLastQuality = 0;
    qint64 FLastSize = 0;
    // The palettes of each number of colours, planned once: fewer frames or smaller pictures of
    // the same clip have the same colours.
    std::map<int, TPalettePlan> FPalettes;
    qint64 FSmallest = std::numeric_limits<qint64>::max();
    QString FSmallestWhat;
};

QString Describe(const TGifSequence& sequence, int quality) {
    return QStringLiteral("quality %1, %2 fps, %3 × %4")
        .arg(quality)
        .arg(QString::number(sequence.Fps, 'g', 3))
        .arg(sequence.Size.width())
        .arg(sequence.Size.height());
}

// Stretches of 12 frames of every 48: a quarter of the GIF, each stretch long enough for the
// frames after its first (drawn almost whole) to be the usual differences.
TGifSequence Sampled(const TGifSequence& sequence) {
    TGifSequence sample = sequence;
    sample.Frames.clear();
    for (size_t i = 0; i < sequence.Frames.size(); ++i)
        if (i % 48 < 12)
            sample.Frames.push_back(sequence.Frames[i]);
    return sample;
}

bool WorthSampling(const TGifSequence& sequence) {
    return sequence.Frames.size() >= 144;
}

TStop TSizeFitter::Encode(const TGifSequence& sequence, int quality, QByteArray& bytes,
                          int& images) {
    // Each encoding owns a shrinking share of what is left of the progress bar.
    FContext.Progress.Enter(100.0 - 40.0 * std::pow(0.8, FTries),
                            100.0 - 40.0 * std::pow(0.8, FTries + 1));
    ++FTries;
    bytes.clear(); // a buffer opened for writing keeps what is past the new end
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TEncoded encoded;
    TStop stop = MakeOutput(FContext, FFrames, sequence, quality, buffer, encoded, &FPalettes);
    images = encoded.Images;
    return stop;
}

TStop TSizeFitter::Try(const TGifSequence& sequence, int quality, qint64& size) {
    QByteArray bytes;
    int images = 0;
    if (TStop stop = Encode(sequence, quality, bytes, images))
        return stop;
    size = bytes.size();
    if (size < FSmallest) {
        FSmallest = size;
        FSmallestWhat = Describe(sequence, quality);
    }
    FLastSequence = sequence;
    FLastQuality = quality;
    FLastSize = size;
    FRatio = 0;
    if (Fits(size) && size > FFitted.Bytes.size()) {
        FFitted.Bytes = std::move(bytes);
        FFitted.Sequence = sequence;
        FFitted.Quality = quality;
        FFitted.Images = images;
    }
    return {};
}

TStop TSizeFitter::Estimate(const TGifSequence& sequence, int quality, qint64& size) {
    if (!WorthSampling(sequence))
        return Try(sequence, quality, size);
    QByteArray sample;
    int images = 0;
    const TGifSequence sampled = Sampled(sequence);
    if (FRatio <= 0 && WorthSampling(FLastSequence)) {
        if (TStop stop = Encode(Sampled(FLastSequence), FLastQuality, sample, images))
            return stop;
        FRatio = static_cast<double>(FLastSize) / std::max<qsizetype>(sample.size(), 1);
    }
    if (TStop stop = Encode(sampled, quality, sample, images))
        return stop;
    // Before any whole GIF was made, the sample stands for its share of the frames.
    const double ratio = FRatio > 0 ? FRatio
                                    : static_cast<double>(sequence.Frames.size()) /
                                          static_cast<double>(sampled.Frames.size());
    size = static_cast<qint64>(static_cast<double>(sample.size()) * ratio);
    return {};
}

TStop TSizeFitter::Narrow(const TAxis& axis, int& lo, qint64& sizeLo, int& hi, qint64& sizeHi) {
    // Sizes grow about exponentially with quality and as a power of the frame rate or width: the
    // next guess interpolates their logs (and the values' logs for a power), aiming just below
    // the limit.
    const double goal = std::log(static_cast<double>(FLimit) * (1 + closeEnough) / 2);
    const auto scale = [&](int value) {
        return axis.Power ? std::log(static_cast<double>(value)) : static_cast<double>(value);
    };
    while (hi - lo > 1 && Fits(sizeLo) &&
           static_cast<double>(sizeLo) < closeEnough * static_cast<double>(FLimit)) {
        const double low = std::log(static_cast<double>(sizeLo));
        const double high = std::log(static_cast<double>(sizeHi));
        const double at = high > low
                              ? scale(lo) + (scale(hi) - scale(lo)) * (goal - low) / (high - low)
                              : (scale(lo) + scale(hi)) / 2;
        const double guess = axis.Power ? std::exp(at) : at;
        const int value = std::clamp(static_cast<int>(std::lround(guess)), lo + 1, hi - 1);
        qint64 size = 0;
        if (TStop stop = Estimate(axis.Sequence(value), axis.Quality(value), size))
            return stop;
        (Fits(size) ? lo : hi) = value;
        (Fits(size) ? sizeLo : sizeHi) = size;
    }
    return {};
}

TStop TSizeFitter::Search(const TAxis& axis, int lo, int hi, bool& found, int& best,
                          qint64 loWhole) {
    found = false;
    int lowest = lo;
    const int top = hi;
    qint64 sizeLo = loWhole, sizeHi = 0, lowestWhole = loWhole;
    if (loWhole == 0) {
        if (TStop stop = Estimate(axis.Sequence(lo), axis.Quality(lo), sizeLo))
            return stop;
    }
    if (static_cast<double>(sizeLo) > slack * static_cast<double>(FLimit))
        return {}; // not even the lowest value comes near
    bool estimateTop = Fits(sizeLo);
    for (int round = 0; round < 5; ++round) {
        if (estimateTop && lo < hi) {
            if (TStop stop = Estimate(axis.Sequence(hi), axis.Quality(hi), sizeHi))
                return stop;
            if (Fits(sizeHi)) {
                lo = hi;
                sizeLo = sizeHi;
            }
        }
        if (TStop stop = Narrow(axis, lo, sizeLo, hi, sizeHi))
            return stop;
        // The whole GIF decides; the next estimates are measured against it.
        qint64 whole = lo == lowest && lowestWhole > 0 ? lowestWhole : 0;
        if (whole == 0) {
            if (TStop stop = Try(axis.Sequence(lo), axis.Quality(lo), whole))
                return stop;
        }
        if (Fits(whole)) {
            found = true;
            best = lowest = lo;
            lowestWhole = sizeLo = whole;
            if (static_cast<double>(whole) >= closeEnough * static_cast<double>(FLimit) ||
                lo >= top)
                return {};
            hi = top; // room is left: search above it again
            estimateTop = true;
            continue;
        }
        if (lo == lowest)
            return {}; // not even the lowest value fits
        hi = lo;
        sizeHi = whole;
        lo = lowest;
        if (lowestWhole > 0) {
            sizeLo = lowestWhole;
        } else if (TStop stop = Estimate(axis.Sequence(lo), axis.Quality(lo), sizeLo)) {
            return stop;
        }
        estimateTop = false;
    }
    return {};
}

TGifSequence TSizeFitter::AtFps(int fps) const {
    return ResampledSequence(FContext.Plan, FFrames, FSpeed, fps / FSpeed);
}

TGifSequence TSizeFitter::AtWidth(const TGifSequence& base, int width) const {
    TGifSequence sequence = base;
    const QSize full = FContext.Plan.FinalSize;
    sequence.Size =
        QSize(width, std::max(SizeLimitSmallestSide,
                              static_cast<int>(std::lround(static_cast<double>(width) *
                                                           full.height() / full.width()))));
    return sequence;
}

TConversionResult TSizeFitter::TooLarge() const {
    return Failure(QStringLiteral("The GIF cannot be made to fit in %1: the smallest it gets is %2 "
                                  "(%3). Choose a shorter clip, a smaller size or a larger limit.")
                       .arg(FormatFileSize(FLimit), FormatFileSize(FSmallest), FSmallestWhat));
}

TStop TSizeFitter::Run() {
    const TGifSequence planned = PlannedSequence(FContext.Plan, FFrames, FSpeed);
    const int wanted = FContext.Request.GifQuality;
    const int floor = std::min(wanted, SizeLimitQualityFloor);
    const auto quality = [](int value) { return value; };
    const auto fixedQuality = [floor](int) { return floor; };
    bool found = false;
    int best = 0;
    // As asked, when it fits (the estimates of the other tries are measured against it); else
    // lower quality first.
    qint64 size = 0;
    if (TStop stop = Try(planned, wanted, size); stop || Fits(size))
        return stop;
    TAxis axis{[&](int) { return planned; }, quality};
    if (floor < wanted) {
        if (TStop stop = Search(axis, floor, wanted - 1, found, best); stop || found)
            return stop;
    }
    // Then fewer frames per second.
    const int top = static_cast<int>(std::ceil(planned.Fps - 1e-9)) - 1; // below the planned
    const int slowest = std::min(SizeLimitFpsFloor, top);
    TGifSequence base = planned;
    if (slowest >= 1) {
        axis = {[&](int fps) { return AtFps(fps); }, fixedQuality, true};
        if (TStop stop = Search(axis, slowest, top, found, best))
            return stop;
        base = AtFps(found ? best : slowest);
    }
    // Then smaller pictures.
    if (!found) {
        const QSize full = FContext.Plan.FinalSize;
        const int narrowest = std::max(
            SizeLimitSmallestSide,
            static_cast<int>(std::ceil(static_cast<double>(SizeLimitSmallestSide * full.width()) /
                                       full.height())));
        const TGifSequence slowestBase = base;
        axis = {[&](int width) { return AtWidth(slowestBase, width); }, fixedQuality, true};
        if (narrowest < full.width()) {
            if (TStop stop = Search(axis, narrowest, full.width() - 1, found, best))
                return stop;
        }
        if (!found) {
            // The smallest GIF there is, made whole for the message.
            if (TStop stop =
                    Try(AtWidth(slowestBase, std::min(narrowest, full.width())), floor, size))
                return stop;
            return Fits(size) ? TStop{} : TStop{TooLarge()};
        }
        base = AtWidth(slowestBase, best);
    }
    // What room is left goes to quality again.
    if (floor == wanted)
        return {};
    axis = {[&](int) { return base; }, quality};
    return Search(axis, floor, wanted, found, best, FFitted.Bytes.size());
}

} // namespace

QString FormatFileSize(qint64 bytes) {
    if (bytes >= 1000000)
        return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / 1e6, 0, 'f', 1);
    if (bytes >= 1000)
        return QStringLiteral("%1 KB").arg(static_cast<double>(bytes) / 1e3, 0, 'f', 0);
    return QStringLiteral("%1 bytes").arg(bytes);
}

TStop FitToSize(const TConversionContext& context, const TPreparedFrames& frames,
                TFittedGif& fitted) {
    TSizeFitter fitter(context, frames, fitted);
    if (TStop stop = fitter.Run())
        return stop;
    if (fitted.Bytes.isEmpty())
        return Failure(QStringLiteral("The GIF cannot be made to fit in %1.")
                           .arg(FormatFileSize(context.Request.GifMaxSize)));
    fitted.Report =
        QStringLiteral("target %1: %2 at %3")
            .arg(FormatFileSize(context.Request.GifMaxSize), FormatFileSize(fitted.Bytes.size()),
                 Describe(fitted.Sequence, fitted.Quality));
    return {};
}
