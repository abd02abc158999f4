#include "engine/PrepareStage.h"

#include "decoder/CustomDecoder.h"
#include "engine/FramePreparer.h"
#include "engine/FrameSampler.h"
#include "engine/SceneTracker.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The sample is the end of the samples: how it ended, or nothing when it is a picture.
TStop EndOfSamples(const TConversionContext& context, const TSample& sample) {
    if (sample.Kind == TSample::Cancelled || context.Cancel)
        return CancelledResult();
    if (sample.Kind == TSample::Failed)
        return Failure(QStringLiteral("The video file \"%1\" cannot be read at %2.")
                           .arg(QDir::toNativeSeparators(context.Request.VideoFile),
                                FormatPTS(sample.Pts, 3)));
    return {};
}

} // namespace

TStop PrepareFrames(const TConversionContext& context, TFrameSampler& sampler,
                    TPreparedFrames& frames) {
    const TConversionPlan& plan = context.Plan;
    const TFramePreparer preparer(context.Request);
    TSceneTracker scenes;
    std::vector<uchar> prepared(static_cast<size_t>(plan.FrameBytes));
    const qsizetype pixels = plan.FrameBytes / 3;
    int64_t preparedPts = AV_NOPTS_VALUE;
    frames.VideoEnd = AV_NOPTS_VALUE;
    const double span =
        static_cast<double>(std::max<int64_t>(1, plan.ClipEnd - plan.ClipStart + 1));
    for (;;) {
        TSample sample = sampler.Next();
        if (sample.Kind == TSample::End) {
            frames.VideoEnd = sample.Pts;
            break;
        }
        if (TStop stop = EndOfSamples(context, sample))
            return stop;
        if (context.Request.FrameFilter && context.Request.FrameFilter(sample.Pts))
            continue;
        const bool samePicture = sample.Pts == preparedPts;
        if (!samePicture) {
            preparer.Prepare(std::move(sample.Picture), prepared.data());
            preparedPts = sample.Pts;
        }
        frames.SceneOf.push_back(scenes.Add(prepared.data(), pixels, samePicture));
        frames.PtsOf.push_back(sample.Pts);
        frames.TimeOf.push_back(sample.Time);
        if (!context.Spill.Write(frames.Count, prepared.data()))
            return Failure(
                QStringLiteral("Writing the frames in \"%1\" failed: %2. Is the disk full?")
                    .arg(
                        QDir::toNativeSeparators(QFileInfo(context.Request.GifFile).absolutePath()),
                        context.Spill.ErrorString()));
        ++frames.Count;
        context.Progress.Done(static_cast<double>(sample.Time - plan.ClipStart + 1) / span);
        // A forward order never needs more than it can show; a reverse one keeps the last frames.
        if (plan.SpillSlots == 0 && frames.Count >= plan.FramesNeeded)
            break;
    }
    sampler.Stop();
    return {};
}
