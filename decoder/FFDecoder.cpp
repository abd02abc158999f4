// The public face of the FFmpeg decoder; the work is done in DecoderOpen.cpp, DecoderRead.cpp and
// PictureConverter.cpp.

#include "decoder/FFDecoder.h"

#include "decoder/DecoderState.h"
#include "decoder/KeptFrame.h"

#include <QImage>
#include <QScopedValueRollback>
#include <cmath>
#include <mutex>
#include <utility>

extern "C" {
#include <libavutil/log.h>
}

QSize SquarePixelSize(const QSize& coded, double sampleAspect) {
    // Aspects beyond 1:16 and 16:1 are damaged headers, not pixels.
    if (!(sampleAspect >= 1.0 / 16 && sampleAspect <= 16) || sampleAspect == 1.0)
        return coded;
    // Widen for wide pixels, heighten for tall ones: no detail is thrown away. A side that would
    // change by a pixel at most (an odd size whose aspect was kept by a nearly square pixel) stays:
    // resampling every line for it would only blur the picture.
    const QSize shown =
        sampleAspect > 1
            ? QSize(std::max(1, int(std::lround(coded.width() * sampleAspect))), coded.height())
            : QSize(coded.width(), std::max(1, int(std::lround(coded.height() / sampleAspect))));
    const bool nearlySquare = std::abs(shown.width() - coded.width()) <= 1 &&
                              std::abs(shown.height() - coded.height()) <= 1;
    return nearlySquare ? coded : shown;
}

TFFDecoder::TFFDecoder(QObject* owner) : TCustomDecoder(owner), F(std::make_unique<TState>()) {
    // The libraries' own console messages would only repeat what the results say.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_FATAL); });
}

TFFDecoder::~TFFDecoder() = default;

bool TFFDecoder::LoadFile(const QString& fileName, const QString& formatName) {
    if (!F->Open(fileName, formatName)) {
        F->FileName.clear();
        F->FormatName.clear();
        return false;
    }
    F->FileName = fileName;
    F->FormatName = formatName;
    return true;
}

void TFFDecoder::CloseFile() {
    F->Close();
    F->FileName.clear();
    F->FormatName.clear();
}

int TFFDecoder::VideoStreamIndex() const {
    return F->StreamIndex;
}

TVideoStreamInfo TFFDecoder::GetVideoStreamInfos(int index) const {
    if (index < 0 || index != F->StreamIndex)
        return TVideoStreamInfo();
    return F->Info;
}

TFileStreamInfo TFFDecoder::GetFileStreamInfo() const {
    return F->FileInfo;
}

void TFFDecoder::SetBitmapBitsPixel(int bits) {
    if (bits == 24 || bits == 32)
        F->BitsPixel = bits;
}

void TFFDecoder::SetDeinterlace(bool on) {
    F->Deinterlace = on;
}

void TFFDecoder::SetExactColours(bool on) {
    F->Pictures.SetExactColours(on);
}

void TFFDecoder::SetToneMapping(bool on) {
    F->Pictures.SetToneMapping(on);
}

int TFFDecoder::BitmapBitsPixel() const {
    return F->BitsPixel;
}

bool TFFDecoder::Decode(int count) {
    if (!F->IsOpen())
        return false;
    const int steps = count > 1 ? count : 1;
    for (int i = 0; i < steps; ++i) {
        if (F->HasPending) {
            F->TakePending();
            continue;
        }
        int64_t pts = 0;
        if (!F->ReceiveFrame(F->Spare, pts))
            return false;
        std::swap(F->Current, F->Spare);
        F->CurrentPts = pts;
        F->HasCurrent = true;
        ++F->CurrentSerial;
    }
    return true;
}

int64_t TFFDecoder::CurrentPTS() const {
    return F->HasCurrent ? F->CurrentPts : AV_NOPTS_VALUE;
}

bool TFFDecoder::CurrentIsKeyFrame() const {
    return F->HasCurrent &&
           (F->Current->key_frame != 0 || F->Current->pict_type == AV_PICTURE_TYPE_I);
}

namespace {

// The depth of the pictures the decoder hands out.
QImage::Format PictureFormat(int bitsPixel) {
    return bitsPixel == 32 ? QImage::Format_RGB32 : QImage::Format_RGB888;
}

// `sourceRect` of the frame's picture at `outSize`: straight from its planes, or, for pictures
// whose planes cannot be cut (packed 4:2:2), through the whole picture in `wholeFormat`.
bool ScaledPicture(TPictureConverter& converter, const AVFrame* frame, uint64_t serial,
                   const QRect& sourceRect, const QSize& outSize, QImage::Format wholeFormat,
                   QImage& bitmap) {
    if (outSize.isEmpty())
        return false;
    if (converter.Scaled(frame, sourceRect, outSize, bitmap))
        return true;
    QImage picture;
    return converter.Picture(frame, serial, wholeFormat, picture) &&
           CutAndScale(picture, sourceRect, outSize, bitmap);
}

} // namespace

bool TFFDecoder::CopyToBitmap(QImage& bitmap) {
    if (!F->IsOpen() || !F->HasCurrent)
        return false;
    return F->Pictures.Picture(F->Current.get(), F->CurrentSerial, PictureFormat(F->BitsPixel),
                               bitmap);
}

bool TFFDecoder::CopyToPlanes(TRgbPlanes& planes) {
    return F->IsOpen() && F->HasCurrent &&
           F->Pictures.Planes(F->Current.get(), F->CurrentSerial, planes);
}

bool TFFDecoder::CopyToBitmapScaled(QImage& bitmap, const QRect& sourceRect, const QSize& outSize) {
    if (!F->IsOpen() || !F->HasCurrent)
        return false;
    return ScaledPicture(F->Pictures, F->Current.get(), F->CurrentSerial, sourceRect, outSize,
                         PictureFormat(F->BitsPixel), bitmap);
}

namespace {

// A decoded frame held by reference: its buffers stay as they are while the decoder goes on.
class TFFKeptFrame : public TKeptFrame {
public:
    TFFKeptFrame(ffmpeg::TFramePtr frame, uint64_t serial)
        : Frame(std::move(frame)), Serial(serial) {}
    const ffmpeg::TFramePtr Frame;
    const uint64_t Serial; // the decoder's name of the frame, so work on it is done once
};

class TFFFramePictures : public TFramePictures {
public:
    bool Planes(const TKeptFrame& frame, TRgbPlanes& planes) override {
        const auto* kept = dynamic_cast<const TFFKeptFrame*>(&frame);
        return kept && Converter.Planes(kept->Frame.get(), kept->Serial, planes);
    }
    bool Scaled(const TKeptFrame& frame, const QRect& sourceRect, const QSize& outSize,
                QImage& bitmap) override {
        const auto* kept = dynamic_cast<const TFFKeptFrame*>(&frame);
        return kept && ScaledPicture(Converter, kept->Frame.get(), kept->Serial, sourceRect,
                                     outSize, QImage::Format_RGB32, bitmap);
    }
    TPictureConverter Converter;
};

} // namespace

std::shared_ptr<const TKeptFrame> TFFDecoder::KeepCurrent() {
    if (!F->IsOpen() || !F->HasCurrent)
        return nullptr;
    ffmpeg::TFramePtr frame(av_frame_clone(F->Current.get()));
    if (!frame)
        return nullptr;
    return std::make_shared<const TFFKeptFrame>(std::move(frame), F->CurrentSerial);
}

std::unique_ptr<TFramePictures> TFFDecoder::NewFramePictures() {
    auto pictures = std::make_unique<TFFFramePictures>();
    F->Pictures.CopySettingsTo(pictures->Converter);
    return pictures;
}

bool TFFDecoder::Seek(int64_t pts, TSeekFlags flags) {
    if (!F->IsOpen() || pts == AV_NOPTS_VALUE)
        return false;
    // Landing backward is checked by decoding the frame there: containers without an index land
    // only near the time, and on no key frame.
    if (flags.testFlag(TSeekFlag::Backward) && !flags.testFlag(TSeekFlag::Any))
        return F->LandBefore(pts);
    int avFlags = 0;
    if (flags.testFlag(TSeekFlag::Backward))
        avFlags |= AVSEEK_FLAG_BACKWARD;
    if (flags.testFlag(TSeekFlag::Any))
        avFlags |= AVSEEK_FLAG_ANY;
    if (!F->SeekStream(F->ToStreamTs(pts), avFlags))
        return false;
    int64_t first = 0;
    if (!F->ReceiveFrame(F->Pending, first))
        return false;
    F->HasPending = true;
    F->PendingPts = first;
    return true;
}

bool TFFDecoder::LocateVideoPTS(int64_t pts) {
    if (pts == AV_NOPTS_VALUE)
        return false;
    const QScopedValueRollback locating(F->Locating, true);
    return F->LocateAt(pts, nullptr);
}

bool TFFDecoder::LocateVideoPTSCallback(int64_t pts, const TGoOnFunc& goOn) {
    if (pts == AV_NOPTS_VALUE)
        return false;
    const QScopedValueRollback locating(F->Locating, true);
    return F->LocateAt(pts, goOn ? &goOn : nullptr);
}

void TFFDecoder::SkipUnwantedFrames(TFrameWantedFunc wanted) {
    F->Wanted = std::move(wanted);
}

int TFFDecoder::FramesLeftUndecoded() const {
    return F->LeftUndecoded;
}

int TFFDecoder::DamagedFramesLeftOut() const {
    return F->Damage.LeftOut();
}
