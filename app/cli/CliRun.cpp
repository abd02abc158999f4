#include "app/cli/CliRun.h"

#include "decoder/CustomDecoder.h"
#include "engine/ClipFinder.h"
#include "engine/GifEstimate.h"
#include "engine/Video2Gif.h"
#include "project/VGProject.h"

#include <QFile>
#include <csignal>
#include <string>

namespace {

void DrawProgress(FILE* stream, int percent) {
    const int width = 40;
    const int filled = percent * width / 100;
    std::fprintf(stream, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(width - filled), ' ').c_str(), percent);
    std::fflush(stream);
}

bool CopyToStream(const QString& fileName, FILE* stream) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    while (!file.atEnd()) {
        const QByteArray block = file.read(1 << 16);
        if (block.isEmpty() || std::fwrite(block.constData(), 1, static_cast<size_t>(block.size()),
                                           stream) != static_cast<size_t>(block.size()))
            return false;
    }
    return std::fflush(stream) == 0;
}

// "out.gif: GIF 320 × 180, 24 frames (20 images), 2.00 s at 12 frames per second" (a WebP or
// MP4 without the images, which only a GIF counts), then, with a size limit, what was given up
// to meet it. The rate and length are the file's own: a size limit may have lowered the rate
// asked for.
void PrintSummary(const TCliOptions& options, const TVGProj& project,
                  const TConversionResult& result, const TCliStreams& streams) {
    const QString where = options.ToStdout ? QStringLiteral("standard output") : project.GifFile;
    FILE* stream = options.ToStdout ? streams.Messages : streams.Output;
    const QString images = options.Format == TOutputFormat::Gif
                               ? QStringLiteral(" (%1 images)").arg(result.ImagesWritten)
                               : QString();
    std::fprintf(
        stream, "%s: %s %d × %d, %d frames%s, %.2f s at %s frames per second%s\n",
        qUtf8Printable(where), qUtf8Printable(FormatName(options.Format)), result.Width,
        result.Height, result.FramesWritten, qUtf8Printable(images), result.DurationCs / 100.0,
        qUtf8Printable(QString::number(result.Fps, 'g', 4)),
        result.FramesWritten >= options.MaxFrames ? " - the maximum frame count was reached" : "");
    if (!result.SizeReport.isEmpty())
        std::fprintf(stream, "%s\n", qUtf8Printable(result.SizeReport));
}

TCliExitCode StoppedCode(const TCliStop& stop) {
    return stop.Signal == SIGTERM ? ecTerminated : ecInterrupted;
}

} // namespace

TCliExitCode ChooseCliBounds(TVGProj& project, const TCliOptions& options, TCustomDecoder& decoder,
                             const TCliStop& stop, const TCliStreams& streams) {
    // Where the bounds are said: standard output, unless the GIF goes there.
    FILE* said = options.ToStdout ? streams.Messages : streams.Output;
    const auto fail = [&](const QString& error) {
        if (stop.Requested)
            return StoppedCode(stop);
        std::fprintf(streams.Messages, "gifclipmaker-cli: %s\n", qUtf8Printable(error));
        return ecFailed;
    };
    if (options.TrimStill) {
        const TStillTrim trim =
            TrimStillEnds(decoder, project.StartPTS, project.EndPTS, stop.Requested);
        if (!trim.Ok)
            return fail(trim.Error);
        std::fprintf(said, "trimmed: start %s, end %s\n", qUtf8Printable(FormatPTS(trim.Start, 3)),
                     qUtf8Printable(FormatPTS(trim.End, 3)));
        project.StartPTS = trim.Start;
        project.EndPTS = trim.End;
    }
    for (const bool end : {true, false}) {
        if (end ? !options.LoopEnd : !options.LoopStart)
            continue;
        const TLoopBound bound =
            end ? FindLoopEnd(decoder, project.StartPTS, project.EndPTS, stop.Requested)
                : FindLoopStart(decoder, project.StartPTS, project.EndPTS, stop.Requested);
        if (!bound.Found)
            return fail(bound.Error);
        (end ? project.EndPTS : project.StartPTS) = bound.Pts;
        std::fprintf(said, "loop %s: %s (%s)\n", end ? "end" : "start",
                     qUtf8Printable(FormatPTS(bound.Pts, 3)),
                     qUtf8Printable(DescribeLoopBound(bound)));
    }
    return ecDone;
}

TCliExitCode RunCliEstimate(TVGProj& project, const TCliStop& stop, const TCliStreams& streams,
                            std::unique_ptr<TCustomDecoder> opened) {
    project.DropLogoImage();
    TDecoderFactory decoder;
    if (opened)
        decoder = [&opened] { return std::move(opened); };
    const TGifEstimate estimate =
        EstimateGif(project.ConversionRequest(nullptr), stop.Requested, decoder);
    if (estimate.Cancelled) {
        std::fprintf(streams.Messages, "gifclipmaker-cli: stopped.\n");
        return StoppedCode(stop);
    }
    if (!estimate.Ok()) {
        std::fprintf(streams.Messages, "gifclipmaker-cli: %s\n", qUtf8Printable(estimate.Error));
        return ecFailed;
    }
    std::fprintf(streams.Output, "%s\n", qUtf8Printable(DescribeEstimate(estimate)));
    // For scripts: the figures in bytes, and how much of the GIF was made to know them.
    std::fprintf(streams.Output, "bytes: %lld%s; made %d of %d frames\n",
                 static_cast<long long>(estimate.Bytes), estimate.Exact ? " (exact)" : "",
                 estimate.SampledFrames, estimate.Frames);
    if (estimate.Limited && estimate.Fits)
        std::fprintf(streams.Output, "bytes within the size limit: %lld\n",
                     static_cast<long long>(estimate.FittedBytes));
    return ecDone;
}

TCliExitCode RunCliConversion(TVGProj& project, const TCliOptions& options, const TCliStop& stop,
                              const TCliStreams& streams, std::unique_ptr<TCustomDecoder> opened) {
    project.DropLogoImage();
    const TConversionRequest request = project.ConversionRequest(nullptr);
    const auto progress = [&streams](int percent) {
        if (streams.ShowProgress)
            DrawProgress(streams.Messages, percent);
    };
    TDecoderFactory decoder;
    if (opened)
        decoder = [&opened] { return std::move(opened); };
    const TConversionResult result = RunConversion(request, progress, stop.Requested, decoder);
    if (streams.ShowProgress)
        std::fprintf(streams.Messages, "\n");
    // The result says what is on disk: a stop that came after the GIF was put in place changed
    // nothing.
    if (result.Cancelled) {
        std::fprintf(streams.Messages, "gifclipmaker-cli: stopped; nothing was written.\n");
        return StoppedCode(stop);
    }
    if (!result.Ok) {
        std::fprintf(streams.Messages, "gifclipmaker-cli: %s\n", qUtf8Printable(result.Error));
        return ecFailed;
    }
    if (options.ToStdout && !CopyToStream(project.GifFile, streams.Output)) {
        std::fprintf(streams.Messages,
                     "gifclipmaker-cli: the GIF could not be written to standard output.\n");
        return ecFailed;
    }
    PrintSummary(options, project, result, streams);
    // A GIF shorter than asked (a file cut short) or with damaged frames left out still counts as
    // done, but the user hears about it.
    if (!result.Warning.isEmpty())
        std::fprintf(streams.Messages, "gifclipmaker-cli: warning: %s\n",
                     qUtf8Printable(result.Warning));
    return ecDone;
}
