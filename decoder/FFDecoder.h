#pragma once
// The video decoder on the FFmpeg libraries: demuxing, threaded decoding and conversion of the
// pictures to RGB as a player shows them (rotation applied, pixels made square, any bit depth
// brought to 8 bits per channel, interlaced pictures deinterlaced, high-dynamic-range pictures
// tone-mapped).

#include "decoder/CustomDecoder.h"

#include <QSize>
#include <memory>

// The size of a picture of `coded` size whose pixels are `sampleAspect` times as wide as high,
// shown with square pixels: wide pixels widen it, tall ones heighten it, so no detail is lost.
// Aspects outside 1:16 to 16:1 (damaged headers) leave the size as it is.
QSize SquarePixelSize(const QSize& coded, double sampleAspect);

class TFFDecoder : public TCustomDecoder {
public:
    explicit TFFDecoder(QObject* owner = nullptr);
    ~TFFDecoder() override;

    bool LoadFile(const QString& fileName, const QString& formatName = QString()) override;
    void CloseFile() override;

    int VideoStreamIndex() const override;
    TVideoStreamInfo GetVideoStreamInfos(int index) const override;
    TFileStreamInfo GetFileStreamInfo() const override;

    void SetBitmapBitsPixel(int bits) override;
    int BitmapBitsPixel() const override;

    bool Decode(int count = -1) override;
    int64_t CurrentPTS() const override;
    bool CopyToBitmap(QImage& bitmap) override;
    // From the decoded frame's planes straight to `outSize` in one scaling step (Lanczos).
    bool CopyToBitmapScaled(QImage& bitmap, const QRect& sourceRect, const QSize& outSize) override;
    bool Seek(int64_t pts, TSeekFlags flags) override;
    bool LocateVideoPTS(int64_t pts) override;
    bool LocateVideoPTSCallback(int64_t pts, const TGoOnFunc& goOn) override;
    int DamagedFramesLeftOut() const override;
    void SkipUnwantedFrames(TFrameWantedFunc wanted) override;
    // How many frames SkipUnwantedFrames has left undecoded since the file was loaded.
    int FramesLeftUndecoded() const;

    // Whether the current frame is a key frame (intra picture); false when there is none.
    bool CurrentIsKeyFrame() const;
    // Whether pictures the stream marks interlaced are deinterlaced (the default); takes effect
    // for the file loaded next.
    void SetDeinterlace(bool on);
    // Whether high-dynamic-range pictures (PQ or HLG) are tone-mapped to standard range (the
    // default).
    void SetToneMapping(bool on);
    bool CopyToPlanes(TRgbPlanes& planes) override;
    // Keeps the decoded frame itself (by reference, no copy); its pictures are converted by the
    // maker's own converter.
    std::shared_ptr<const TKeptFrame> KeepCurrent() override;
    std::unique_ptr<TFramePictures> NewFramePictures() override;
    void SetExactColours(bool on) override;

private:
    struct TState;
    std::unique_ptr<TState> F;
};
