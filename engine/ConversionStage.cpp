#include "engine/ConversionStage.h"

#include "decoder/CustomDecoder.h"

#include <QDir>
#include <algorithm>
#include <cstdio>

TConversionResult Failure(const QString& text) {
    TConversionResult result;
    result.Error = text;
    return result;
}

TConversionResult CancelledResult() {
    TConversionResult result;
    result.Cancelled = true;
    return result;
}

TStageProgress::TStageProgress(const std::function<void(int)>& report)
    : FReport(report), FTimed(qEnvironmentVariableIsSet("VG_STAGE_TIMES")) {
    if (FTimed)
        FStageTimer.start();
}

TStageProgress::~TStageProgress() {
    TellTime();
}

void TStageProgress::TellTime() {
    if (!FTimed || !FStageTimer.isValid())
        return;
    const double ms = static_cast<double>(FStageTimer.nsecsElapsed()) / 1e6;
    if (FEntered)
        std::fprintf(stderr, "stage %.0f-%.0f: %.1f ms\n", FBegin, FEnd, ms);
    else
        std::fprintf(stderr, "stage open: %.1f ms\n", ms);
    FStageTimer.restart();
}

void TStageProgress::Enter(double begin, double end) {
    if (FEntered && begin == FBegin && end == FEnd)
        return Done(0);
    TellTime();
    FEntered = true;
    FBegin = begin;
    FEnd = end;
    Done(0);
}

void TStageProgress::Done(double share) {
    const double percent = FBegin + (FEnd - FBegin) * std::clamp(share, 0.0, 1.0);
    const int value = std::clamp(static_cast<int>(percent), 0, 100);
    if (value != FLast && FReport) {
        FLast = value;
        FReport(value);
    }
}

TStop OpenSource(const TConversionRequest& request, TCustomDecoder& decoder, TStreamFacts& facts) {
    const QString videoName = QDir::toNativeSeparators(request.VideoFile);
    // Opening a video reads its stream information and first picture, which costs a tenth of a
    // second on a 4K video: a decoder that holds the video open already is not opened again.
    if (decoder.VideoStreamIndex() < 0) {
        if (!decoder.LoadFile(request.VideoFile))
            decoder.CloseFile();
    }
    if (decoder.VideoStreamIndex() < 0)
        return Failure(QStringLiteral("The video file \"%1\" cannot be opened or holds no video.")
                           .arg(videoName));
    const TVideoStreamInfo info = decoder.GetVideoStreamInfo();
    if (info.Width <= 0 || info.Height <= 0)
        return Failure(QStringLiteral("The video file \"%1\" holds no picture that can be read.")
                           .arg(videoName));
    // Pictures come as packed RGB, which is what the GIF's frames are made of.
    decoder.SetBitmapBitsPixel(24);
    // A GIF's flat colours are to be exactly the video's (a screen recording's background).
    decoder.SetExactColours(true);
    facts.VideoSize = QSize(info.Width, info.Height);
    facts.Duration = decoder.GetFileStreamInfo().Duration;
    facts.FrameDuration = NominalFrameDuration(info);
    return {};
}
