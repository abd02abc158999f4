#include "engine/ConversionPlan.h"

#include "common/Bitmaps.h"
#include "decoder/CustomDecoder.h"
#include "engine/Video2Gif.h"

#include <cmath>
#include <limits>

namespace {

TConversionPlan Refused(const QString& text) {
    TConversionPlan plan;
    plan.Error = text;
    return plan;
}

QString SizeProblem(const QSize& size) {
    if (size.width() < 1 || size.height() < 1)
        return QStringLiteral("The output size must be at least 1 × 1 pixel (it is %1 × %2).")
            .arg(size.width())
            .arg(size.height());
    if (size.width() > MaxGifSide || size.height() > MaxGifSide)
        return QStringLiteral("The output size %1 × %2 is too large; at most %3 pixels a side can "
                              "be written.")
            .arg(size.width())
            .arg(size.height())
            .arg(MaxGifSide);
    return {};
}

} // namespace

std::vector<int64_t> TConversionPlan::SampleTimes() const {
    const double span = static_cast<double>(ClipEnd - ClipStart) * Rate / 1e6;
    const double limit = std::min(span + 2.0, static_cast<double>(std::numeric_limits<int>::max()));
    return ::SampleTimes(ClipStart, ClipEnd, Rate, static_cast<int64_t>(limit));
}

QString CheckRequestValues(const TConversionRequest& r) {
    if (r.VideoFile.isEmpty())
        return QStringLiteral("No video file was given.");
    if (r.GifFile.isEmpty())
        return QStringLiteral("No GIF file name was given.");
    if (r.GifFPS <= 0)
        return QStringLiteral("The frame rate must be at least 1 frame per second (it is %1).")
            .arg(r.GifFPS);
    if (!(r.GifSpeed > 0) || !std::isfinite(r.GifSpeed))
        return QStringLiteral("The speed must be greater than 0 (it is %1).").arg(r.GifSpeed);
    if (r.GifMaxFrame <= 0)
        return QStringLiteral("The maximum frame count must be at least 1 (it is %1).")
            .arg(r.GifMaxFrame);
    if (r.StartPTS >= r.EndPTS)
        return QStringLiteral("The clip holds no frames: its end must come after its start.");
    if (IsCustomScale(r.SizeScale) && (r.CustomWidth <= 0 || r.CustomHeight <= 0))
        return QStringLiteral("The output size must be at least 1 × 1 pixel (it is %1 × %2).")
            .arg(r.CustomWidth)
            .arg(r.CustomHeight);
    if (!IsCustomScale(r.SizeScale) && !(r.SizeScale > 0 && r.SizeScale <= 1))
        return QStringLiteral("The size factor %1 is not valid.").arg(r.SizeScale);
    if (r.CropEnabled && r.CropRect.IsEmpty())
        return QStringLiteral("The crop rectangle is empty.");
    if (r.GifQuality < 1 || r.GifQuality > 100)
        return QStringLiteral("The quality must be from 1 to 100 (it is %1).").arg(r.GifQuality);
    if (r.GifMaxSize < 0 || (r.GifMaxSize > 0 && r.GifMaxSize < MinGifBytes))
        return QStringLiteral("The size limit must be at least %1 bytes, what the smallest GIF "
                              "takes (it is %2).")
            .arg(MinGifBytes)
            .arg(r.GifMaxSize);
    return {};
}

TConversionPlan PlanConversion(const TConversionRequest& request, const TStreamFacts& facts) {
    if (const QString problem = CheckRequestValues(request); !problem.isEmpty())
        return Refused(problem);
    TConversionPlan plan;
    const QRect videoRect(QPoint(0, 0), facts.VideoSize);
    plan.SourceRect = videoRect;
    if (request.CropEnabled) {
        plan.SourceRect = request.CropRect.ToQRect().intersected(videoRect);
        if (plan.SourceRect.isEmpty())
            return Refused(QStringLiteral("The crop rectangle lies outside the %1 × %2 video.")
                               .arg(facts.VideoSize.width())
                               .arg(facts.VideoSize.height()));
    }
    plan.Crop = plan.SourceRect != videoRect;
    plan.OutSize = ComputeOutputSize(plan.SourceRect.size(), request.SizeScale, request.CustomWidth,
                                     request.CustomHeight);
    if (const QString problem = SizeProblem(plan.OutSize); !problem.isEmpty())
        return Refused(problem);
    plan.FinalSize = RotatedSize(plan.OutSize, request.Rotate);
    plan.FrameBytes = static_cast<qint64>(plan.FinalSize.width()) * plan.FinalSize.height() * 3;

    // A clip that runs past the end of the video ends with it.
    plan.ClipStart = request.StartPTS;
    plan.ClipEnd = facts.Duration > 0 ? std::min(request.EndPTS, facts.Duration) : request.EndPTS;
    if (plan.ClipEnd < plan.ClipStart)
        return Refused(QStringLiteral("The clip starts at %1, after the end of the video (%2).")
                           .arg(FormatPTS(request.StartPTS, 3), FormatPTS(facts.Duration, 3)));
    plan.Rate = EffectiveFrameRate(request.GifFPS, request.GifSpeed);
    plan.StepUs = 1e6 / plan.Rate;
    plan.PeriodCs = 100.0 / (plan.Rate * request.GifSpeed);

    plan.Order = request.Sequence;
    plan.MaxFrames = request.GifMaxFrame;
    // A ping-pong order shows most frames twice: it needs fewer of them.
    plan.FramesNeeded = FramesNeeded(request.Sequence, request.GifMaxFrame);
    // A reverse order shows the clip's last frames: they are kept in a ring.
    plan.SpillSlots = request.Sequence == foReverse ? request.GifMaxFrame : 0;
    if (request.GifLoop < 0)
        plan.LoopCount = 0;
    else if (request.GifLoop > 0)
        plan.LoopCount = request.GifLoop;
    return plan;
}
