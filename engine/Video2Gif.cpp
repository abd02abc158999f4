#include "engine/Video2Gif.h"

#include "common/Messages.h"
#include "decoder/FFDecoder.h"
#include "engine/ConversionStage.h"
#include "engine/EncodeStage.h"
#include "engine/FrameSampler.h"
#include "engine/OutputEncode.h"
#include "engine/PalettePlanner.h"
#include "engine/PrepareStage.h"
#include "engine/SizeFitter.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <sys/stat.h>

namespace {

// What the user should know about a GIF that came out shorter or with frames left out: the
// frames ran out at `videoEnd` (a file cut short, or a header that promises more than there is)
// while the clip asked for more, or damaged frames were left out. Empty when neither happened.
// Ends a few frames short of the clip (a video stream that ends a little before its audio) pass.
QString ShortfallWarning(int64_t videoEnd, int64_t clipEnd, double step, int64_t frameDuration,
                         int damagedFrames) {
    QStringList parts;
    const double tolerance = std::max(2.0 * static_cast<double>(frameDuration), step);
    if (videoEnd != AV_NOPTS_VALUE && static_cast<double>(clipEnd - videoEnd) > tolerance)
        parts << QStringLiteral("The video ends at %1, before the end of the clip (%2): the file "
                                "may be cut short. The GIF is shorter than asked.")
                     .arg(FormatPTS(videoEnd, 3), FormatPTS(clipEnd, 3));
    if (damagedFrames > 0)
        parts << QStringLiteral("%1 damaged frame(s) of the video were left out; the frames "
                                "before them are shown in their place.")
                     .arg(damagedFrames);
    return parts.join(QLatin1Char(' '));
}

// What keeps the GIF from being written where the request says, or empty.
QString CheckTarget(const TConversionRequest& request) {
    const QFileInfo target(request.GifFile);
    if (!target.absoluteDir().exists())
        return QStringLiteral("The folder of the GIF file \"%1\" does not exist.")
            .arg(QDir::toNativeSeparators(target.absolutePath()));
    return CheckGifTarget(request.VideoFile, request.GifFile);
}

TStop StartSampling(const TConversionContext& context, TFrameSampler& sampler) {
    if (sampler.Start())
        return {};
    if (context.Cancel)
        return CancelledResult();
    return Failure(QStringLiteral("The video file \"%1\" cannot be read at the start of the clip "
                                  "(%2).")
                       .arg(QDir::toNativeSeparators(context.Request.VideoFile),
                            FormatPTS(context.Request.StartPTS, 3)));
}

TConversionResult Success(const TFittedGif& gif, TOutputFormat format, const QString& warning) {
    TConversionResult result;
    result.Ok = true;
    result.FramesWritten = static_cast<int>(gif.Sequence.Frames.size());
    result.ImagesWritten = gif.Images;
    const QSize size = EncodedSize(format, gif.Sequence.Size);
    result.Width = size.width();
    result.Height = size.height();
    result.Fps = gif.Sequence.Fps;
    for (int position = 0; position < result.FramesWritten; ++position)
        result.DurationCs += FrameDelayCs(position, gif.Sequence.PeriodCs);
    result.Warning = warning;
    result.SizeReport = gif.Report;
    return result;
}

} // namespace

QString CheckGifTarget(const QString& videoFile, const QString& gifFile) {
    const QString gifName = QDir::toNativeSeparators(gifFile);
    struct stat gifStat = {};
    // A link is followed: what would be replaced is what it points to.
    if (::stat(QFile::encodeName(gifFile).constData(), &gifStat) != 0)
        return {}; // nothing there yet (or a dangling link, which the new file replaces)
    if (!S_ISREG(gifStat.st_mode))
        return QStringLiteral("\"%1\" is not a regular file (it is a folder, a device, a FIFO or "
                              "a socket); the GIF is not written there.")
            .arg(gifName);
    struct stat videoStat = {};
    if (::stat(QFile::encodeName(videoFile).constData(), &videoStat) == 0 &&
        videoStat.st_dev == gifStat.st_dev && videoStat.st_ino == gifStat.st_ino)
        return QStringLiteral("The GIF file \"%1\" is the video file itself; writing it would "
                              "destroy the video. Choose another name for the GIF.")
            .arg(gifName);
    return {};
}

TConversionResult RunConversion(const TConversionRequest& request,
                                const std::function<void(int)>& progressReport,
                                const std::atomic<bool>& cancel,
                                const TDecoderFactory& decoderFactory) {
    TStageProgress progress(progressReport);
    QString problem = CheckRequestValues(request);
    if (problem.isEmpty())
        problem = CheckTarget(request);
    if (!problem.isEmpty())
        return Failure(problem);
    std::unique_ptr<TCustomDecoder> decoder =
        decoderFactory ? decoderFactory() : std::make_unique<TFFDecoder>();
    TStreamFacts facts;
    if (TStop stop = OpenSource(request, *decoder, facts))
        return *stop;
    const TConversionPlan plan = PlanConversion(request, facts);
    if (!plan.Ok())
        return Failure(plan.Error);
    if (const QString limit = CheckFormatSize(request.Format, plan.FinalSize); !limit.isEmpty())
        return Failure(limit);
    const QString folder = QFileInfo(request.GifFile).absolutePath();
    TFrameSpill spill(folder, plan.FrameBytes, plan.SpillSlots);
    if (!spill.Open())
        return Failure(QStringLiteral("The GIF file cannot be written in \"%1\": %2")
                           .arg(QDir::toNativeSeparators(folder), spill.ErrorString()));
    const TConversionContext context{request, plan, spill, cancel, progress};

    // Sampling and preparing: decode, sample, leave out deleted frames, crop, scale, draw
    // overlays, turn, track scenes; the frames wait in the spill.
    progress.Enter(0, 60);
    TPreparedFrames frames;
    {
        TFrameSampler sampler(*decoder, plan, cancel);
        if (TStop stop = StartSampling(context, sampler))
            return *stop;
        if (TStop stop = PrepareFrames(context, sampler, frames))
            return *stop;
    }
    if (frames.Count == 0)
        return Failure(QStringLiteral("Every frame of the clip is marked deleted: there is "
                                      "nothing to convert."));
    const QString warning = ShortfallWarning(frames.VideoEnd, plan.ClipEnd, plan.StepUs,
                                             facts.FrameDuration, decoder->DamagedFramesLeftOut());
    // Everything else reads the spill: the decoder's frames and threads (a few hundred MB for a
    // 4K video) go before the encoder's buffers come.
    decoder.reset();
    // The GIF: the frames in its order, their palettes, the file; with a size limit, the
    // settings that meet it.
    progress.Enter(60, 100);
    TFittedGif gif;
    gif.Sequence = PlannedSequence(plan, frames, request.GifSpeed);
    gif.Quality = request.GifQuality;
    if (request.GifMaxSize > 0) {
        if (TStop stop = FitToSize(context, frames, gif))
            return *stop;
    }
    const auto write = [&](QIODevice& device) -> TStop {
        if (!gif.Bytes.isEmpty()) {
            if (device.write(gif.Bytes) != gif.Bytes.size())
                return WriteFailure(context, device);
            return {};
        }
        TEncoded encoded;
        TStop stop = MakeOutput(context, frames, gif.Sequence, gif.Quality, device, encoded);
        gif.Images = encoded.Images;
        return stop;
    };
    if (TStop stop = WriteOutputFile(context, write))
        return *stop;
    progress.Enter(100, 100);
    return Success(gif, request.Format, warning);
}

TVideo2GifThread::TVideo2GifThread(const TConversionRequest& request,
                                   TDecoderFactory decoderFactory)
    : FRequest(request), FDecoderFactory(std::move(decoderFactory)) {}

TVideo2GifThread::~TVideo2GifThread() {
    Terminate();
    wait();
}

void TVideo2GifThread::run() {
    const QPointer<QObject> window = FRequest.Window;
    FResult = RunConversion(
        FRequest, [&](int percent) { PostReport(window, Report::ConvertProgress{percent}); },
        FTerminated, FDecoderFactory);
    if (FResult.Cancelled || FTerminated)
        return;
    if (FResult.Ok)
        // A warning (the GIF is shorter than asked, damaged frames left out) travels along.
        PostReport(window, Report::ConvertFinished{FResult.FramesWritten, FRequest.GifMaxFrame,
                                                   FResult.Warning});
    else
        PostReport(window, Report::ConvertFailed{FResult.Error});
}
