#pragma once
// The current frame of the decoder as pictures: at the size a player shows (pixels made square,
// turned upright), high-dynamic-range frames tone-mapped to standard range, in RGB; or a part of
// that picture brought to any size in one step from the decoded planes, without making the
// full-size picture first.

#include "decoder/FFmpegPtr.h"
#include "decoder/PlanarRgb.h"
#include "decoder/ScalerCache.h"
#include "decoder/ToneMapper.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <cstdint>

class TPictureConverter {
public:
    // The size a player shows before turning, and the clockwise turn (0, 90, 180, 270).
    void SetGeometry(const QSize& shown, int rotation);
    // The brightest light the stream states (relative to 100 cd/m²), for HDR pictures that state
    // none themselves.
    void SetStreamPeak(double peak);
    // Whether high-dynamic-range frames are tone-mapped (the default).
    void SetToneMapping(bool on);
    // Whole pictures converted with exact rounding and every pixel's own chroma: slower, for
    // pictures that are compared with the source (a GIF), not for playing.
    void SetExactColours(bool on) { ExactColours = on; }
    // Forgets every picture and conversion kept.
    void Reset();
    // Gives `other` the same geometry, peak, tone mapping and colour rounding (none of the
    // pictures or conversions kept), so it makes the same pictures.
    void CopySettingsTo(TPictureConverter& other) const;

    // The picture of `frame` at the shown size, upright, in `format` (RGB32 or RGB888). `serial`
    // names the frame: the same serial is the same picture, so work on it is done once.
    bool Picture(const AVFrame* frame, uint64_t serial, QImage::Format format, QImage& bitmap);
    // The same picture as planes (straight, so faster, for exact colours of unturned pictures of
    // square pixels).
    bool Planes(const AVFrame* frame, uint64_t serial, TRgbPlanes& planes);
    // `sourceRect` (in the upright picture's pixels) of that picture at `outSize`, RGB32, scaled
    // with a Lanczos filter straight from the frame's planes; HDR pictures are tone-mapped at the
    // output size.
    bool Scaled(const AVFrame* frame, const QRect& sourceRect, const QSize& outSize,
                QImage& bitmap);

private:
    // The frame as converted: tone-mapped when it is high-dynamic-range, else itself.
    const AVFrame* Prepared(const AVFrame* frame, uint64_t serial);
    // How the whole frame becomes a picture of the shown size in `target`.
    TScalerKey WholeKey(const AVFrame* frame, AVPixelFormat target) const;
    bool Convert(const AVFrame* frame, QImage& image);
    bool ConvertPart(const AVFrame* frame, const QRect& coded, QImage& image);
    bool SmallFrame(const QSize& size);
    bool SmallToRgb(const AVFrame* small, int codedHeight, QImage& image);
    QImage Upright(const QImage& unturned) const;

    QSize Shown;
    int Rotation = 0;
    bool ToneMapping = true;
    bool ExactColours = false;
    double StreamPeak = 0;
    TScalerCache Scaler;     // whole pictures
    TScalerCache PartScaler; // parts to the output size
    TScalerCache OutScaler;  // small 4:4:4 pictures to RGB
    TPlanarRgb Planar;       // exact conversions go through planes
    TToneMapper ToneMapper;
    TToneMapper PartToneMapper;
    ffmpeg::TFramePtr Small;       // a part at the output size, 16-bit 4:4:4
    ffmpeg::TFramePtr SmallMapped; // and tone-mapped
    ffmpeg::TFramePtr Mapped;      // the tone-mapped picture of the frame named MappedSerial
    uint64_t MappedSerial = 0;
    bool HasMapped = false;
    QImage Unturned; // turned pictures are converted here first
    QImage Output;   // the picture last handed out, kept to recognise it when it comes back
};
