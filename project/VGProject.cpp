#include "project/VGProject.h"

#include "app/VGApp.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "decoder/CustomDecoder.h"
#include "engine/Video2Gif.h"
#include "project/FrameWriter.h"
#include "project/VGConfig.h"

#include <QFile>
#include <algorithm>
#include <cmath>

TProjectDefaults ProjectDefaultsFromConfig() {
    TProjectDefaults d;
    if (!Config)
        return d;
    d.GifFPS = Config->GifFPS;
    d.GifSpeed = Config->GifSpeed;
    d.GifLoop = Config->GifLoop;
    d.SizeStyle = Config->SizeStyle;
    d.FontName = Config->FontName;
    d.FontSize = Config->FontSize;
    d.FontColor = Config->FontColor;
    d.FontStyles = static_cast<int>(Config->FontStyles.Bits() & 0x0F);
    d.GifMaxFrame = Config->GifMaxFrame;
    d.GifQuality = Config->GifQuality;
    d.GifMaxSize = Config->GifMaxSize;
    d.OutputFormat = Config->OutputFormat;
    return d;
}

TVGProj::TVGProj(std::function<TProjectDefaults()> defaults)
    : StartPTS(AV_NOPTS_VALUE), EndPTS(AV_NOPTS_VALUE), FDefaults(std::move(defaults)) {
    ApplyDefaults();
}

TVGProj::~TVGProj() = default;

void TVGProj::ApplyDefaults() {
    const TProjectDefaults d = FDefaults ? FDefaults() : ProjectDefaultsFromConfig();
    GifFPS = d.GifFPS;
    GifSpeed = d.GifSpeed;
    GifLoop = d.GifLoop;
    SizeStyle = d.SizeStyle;
    GifQuality = d.GifQuality;
    GifMaxSize = d.GifMaxSize;
    OutputFormat = d.OutputFormat;
    for (int i = 0; i < Texts.Count(); ++i)
        ApplyFontTo(Texts[i]);
}

void TVGProj::ApplyFontTo(TTextObj* text) const {
    if (!text)
        return;
    const TProjectDefaults d = FDefaults ? FDefaults() : ProjectDefaultsFromConfig();
    text->FontName = d.FontName;
    text->FontSize = d.FontSize;
    text->FontColor = d.FontColor;
    text->FontStyles = d.FontStyles;
}

void TVGProj::DropLogoImage() {
    QMutexLocker locker(&FLogoLock);
    LogoImage = QImage();
}

void TVGProj::ReadStreamInfo(TCustomDecoder* decoder) {
    if (!decoder)
        return;
    const int index = decoder->VideoStreamIndex();
    if (index < 0) {
        VideoWidth = VideoHeight = 0;
        FrameRate = 0;
    } else {
        const TVideoStreamInfo info = decoder->GetVideoStreamInfos(index);
        VideoWidth = info.Width;
        VideoHeight = info.Height;
        FrameRate = info.FrameRateDen > 0
                        ? static_cast<double>(info.FrameRateNum) / info.FrameRateDen
                        : 0.0;
    }
    Duration = decoder->GetFileStreamInfo().Duration;
}

bool TVGProj::IsVideoValid() const {
    return VideoWidth >= 1 && VideoHeight >= 1;
}

bool TVGProj::IsClipValid() const {
    return StartPTS != AV_NOPTS_VALUE && EndPTS != AV_NOPTS_VALUE && StartPTS < EndPTS;
}

bool TVGProj::IsInClip(int64_t pts) const {
    if (pts == StartPTS || pts == EndPTS)
        return true;
    return IsClipValid() && StartPTS <= pts && pts <= EndPTS;
}

bool TVGProj::SameShownTime(int64_t a, int64_t b) {
    if (a == b)
        return true;
    // Two times at the far ends of the range would overflow a plain subtraction.
    const bool close = (a > b ? static_cast<uint64_t>(a) - static_cast<uint64_t>(b)
                              : static_cast<uint64_t>(b) - static_cast<uint64_t>(a)) <
                       static_cast<uint64_t>(PtsTicksPerSecond / 1000);
    return close && FormatPTS(a, 3) == FormatPTS(b, 3);
}

void TVGProj::SnapClipToFrame(const TVGFrame* frame) {
    if (!frame) {
        for (int i = 0; i < Frames.Count(); ++i)
            SnapClipToFrame(Frames[i]);
        return;
    }
    if (StartPTS != AV_NOPTS_VALUE && SameShownTime(StartPTS, frame->PTS))
        StartPTS = frame->PTS;
    if (EndPTS != AV_NOPTS_VALUE && SameShownTime(EndPTS, frame->PTS))
        EndPTS = frame->PTS;
}

int TVGProj::FrameDuration(TCustomDecoder* decoder) {
    return decoder ? static_cast<int>(NominalFrameDuration(decoder->GetVideoStreamInfo())) : 0;
}

TVGFrame* TVGProj::AddDecodedFrame(TCustomDecoder* decoder) {
    QImage bitmap;
    if (!decoder || !decoder->CopyToBitmap(bitmap))
        return nullptr;
    const QString fileName = App ? App->NewTempFileName(QStringLiteral(".bmp")) : QString();
    // A picture that cannot be written (a full disk) keeps the frame in the list without a
    // file; the strip then shows it without a thumbnail.
    if (!fileName.isEmpty() && PictureWriter) {
        PictureWriter->Enqueue(bitmap, fileName);
    } else if (!fileName.isEmpty() && !SaveBitmapFile(bitmap, fileName)) {
        MsgOut(QStringLiteral("cannot write frame picture ") + fileName);
        QFile::remove(fileName);
    }
    TVGFrame* frame = Frames.AddFrame(fileName, decoder->CurrentPTS());
    SnapClipToFrame(frame);
    return frame;
}

bool TVGProj::IsPictureGone(const TVGFrame* frame) const {
    return PictureWriter && frame && PictureWriter->IsGone(frame->FileName);
}

TVGFrame* TVGProj::NextFrame(TCustomDecoder* decoder, TVGFrame* frame, int& skip) {
    // A known neighbour is taken without decoding, unless its picture was removed from the work
    // folder: then the decoder goes on to it and the picture is made again.
    if (frame && frame->Next && !IsPictureGone(frame->Next)) {
        ++skip;
        return frame->Next;
    }
    for (int i = 0; i < skip + 1; ++i)
        if (!decoder->Decode(-1))
            return nullptr;
    skip = 0;
    return CurrentFrame(decoder);
}

TVGFrame* TVGProj::CurrentFrame(TCustomDecoder* decoder) {
    TVGFrame* frame = Frames.FindFrame(decoder->CurrentPTS());
    if (!frame)
        return AddDecodedFrame(decoder);
    QImage bitmap;
    if (IsPictureGone(frame) && decoder->CopyToBitmap(bitmap))
        PictureWriter->Enqueue(bitmap, frame->FileName);
    return frame;
}

TVGFrame* TVGProj::StartGroup(TCustomDecoder* decoder, std::vector<TVGFrame*>& result,
                              QObject* window, int count) {
    TVGFrame* frame = CurrentFrame(decoder);
    if (frame) {
        result.push_back(frame);
        SendReport(window, Report::ExtractProgress{1, count});
    }
    return frame;
}

TVGFrame* TVGProj::ExtendGroup(TCustomDecoder* decoder, TVGFrame* frame, int& skip,
                               std::vector<TVGFrame*>& result, size_t first, QObject* window,
                               int count) {
    TVGFrame* next = NextFrame(decoder, frame, skip);
    if (!next)
        return nullptr;
    TVGFrames::SetPrior(next, frame);
    TVGFrames::SetNext(frame, next);
    result.push_back(next);
    SendReport(window, Report::ExtractProgress{static_cast<qint64>(result.size() - first), count});
    return next;
}

void TVGProj::ExtractFrames(TCustomDecoder* decoder, int count, QObject* window,
                            std::vector<TVGFrame*>& result, int64_t pts) {
    SendReport(window, Report::ExtractProgress{0, count});
    if (!decoder || !LocateVideoPTS(decoder, pts))
        return;
    const size_t first = result.size();
    TVGFrame* frame = StartGroup(decoder, result, window, count);
    int skip = 0;
    while (frame && static_cast<int>(result.size() - first) < count)
        frame = ExtendGroup(decoder, frame, skip, result, first, window, count);
}

void TVGProj::ExtractFramesBefore(TCustomDecoder* decoder, int count, QObject* window,
                                  std::vector<TVGFrame*>& result, int64_t pts) {
    SendReport(window, Report::ExtractProgress{0, count});
    if (!decoder)
        return;
    const int64_t start =
        std::max<int64_t>(0, pts - static_cast<int64_t>(count) * FrameDuration(decoder));
    if (!LocateVideoPTS(decoder, start) || decoder->CurrentPTS() >= pts)
        return;
    const size_t first = result.size();
    TVGFrame* frame = StartGroup(decoder, result, window, count);
    int skip = 0;
    while (frame && frame->PTS < pts)
        frame = ExtendGroup(decoder, frame, skip, result, first, window, count);
}

bool TVGProj::HasDeletedFrameInClip() const {
    for (int i = 0; i < Frames.Count(); ++i)
        if (Frames[i]->Deleted && IsInClip(Frames[i]->PTS))
            return true;
    return false;
}

bool TVGProj::IsFrameDeleted(int64_t pts) const {
    const TVGFrame* frame = Frames.FindFrame(pts);
    return frame && frame->Deleted;
}

std::unique_ptr<TVideo2GifThread> TVGProj::StartConversion(QObject* window) {
    DropLogoImage();
    auto thread = std::make_unique<TVideo2GifThread>(ConversionRequest(window));
    thread->start();
    return thread;
}

TConversionRequest TVGProj::DetachedRequest() const {
    auto copy = std::make_shared<TVGProj>(FDefaults);
    copy->VideoFile = VideoFile;
    copy->GifFile = GifFile;
    copy->StartPTS = StartPTS;
    copy->EndPTS = EndPTS;
    copy->CropRect = CropRect;
    copy->CropEnabled = CropEnabled;
    copy->SizeStyle = SizeStyle;
    copy->CustomWidth = CustomWidth;
    copy->CustomHeight = CustomHeight;
    copy->GifFPS = GifFPS;
    copy->GifSpeed = GifSpeed;
    copy->GifLoop = GifLoop;
    copy->VideoWidth = VideoWidth;
    copy->VideoHeight = VideoHeight;
    copy->Duration = Duration;
    copy->FrameRate = FrameRate;
    for (int i = 0; i < Texts.Count(); ++i)
        *copy->Texts.Add() = *Texts[i];
    copy->Logo = Logo;
    copy->Flip = Flip;
    copy->Rotate = Rotate;
    copy->Sequence = Sequence;
    copy->GifQuality = GifQuality;
    copy->GifMaxSize = GifMaxSize;
    copy->OutputFormat = OutputFormat;
    TConversionRequest request = copy->ConversionRequest(nullptr);
    if (request.DrawOverlays)
        request.DrawOverlays = [copy](QPainter& painter, int width, int height,
                                      const QTransform& turn) {
            copy->DrawOutputOverlays(painter, width, height, turn);
        };
    std::vector<int64_t> deleted;
    for (int i = 0; i < Frames.Count(); ++i)
        if (Frames[i]->Deleted && IsInClip(Frames[i]->PTS))
            deleted.push_back(Frames[i]->PTS); // in time order, as the list keeps them
    if (!deleted.empty())
        request.FrameFilter = [deleted = std::move(deleted)](int64_t pts) {
            return std::binary_search(deleted.begin(), deleted.end(), pts);
        };
    return request;
}

TConversionRequest TVGProj::ConversionRequest(QObject* window) {
    const TProjectDefaults defaults = FDefaults ? FDefaults() : ProjectDefaultsFromConfig();
    TConversionRequest request;
    request.VideoFile = VideoFile;
    request.GifFile = GifFile;
    request.StartPTS = StartPTS;
    request.EndPTS = EndPTS;
    request.CropRect = CropRect;
    request.CropEnabled = CropEnabled;
    request.SizeScale = SizeScale();
    request.CustomWidth = CustomWidth;
    request.CustomHeight = CustomHeight;
    request.GifMaxFrame = defaults.GifMaxFrame;
    request.GifFPS = GifFPS;
    request.GifSpeed = GifSpeed;
    request.GifLoop = GifLoop;
    request.Flip = Flip;
    request.Rotate = Rotate;
    request.Sequence = Sequence;
    request.GifQuality = GifQuality;
    request.GifMaxSize = GifMaxSize;
    request.Format = OutputFormat;
    // Without captions or a logo frames go to the GIF untouched (no painting pass per frame).
    if (Texts.Count() > 0 || Logo.Enabled)
        request.DrawOverlays = [this](QPainter& painter, int width, int height,
                                      const QTransform& turn) {
            DrawOutputOverlays(painter, width, height, turn);
        };
    if (HasDeletedFrameInClip())
        request.FrameFilter = [this](int64_t pts) { return IsFrameDeleted(pts); };
    request.Window = window;
    return request;
}
