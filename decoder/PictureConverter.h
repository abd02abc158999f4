#pragma once
// The current frame of the decoder as pictures: at the size a player shows (pixels made square,
// turned upright), high-dynamic-range frames tone-mapped to standard range, in RGB; or a part of
// that picture brought to any size in one step from the decoded planes, without making the
// full-size picture first.

#include "decoder/FFmpegPtr.h"
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
    void SetStreamPeak(double peak) { ToneMapper.SetStreamPeak(peak); }
    // Whether high-dynamic-range frames are tone-mapped (the default).
    void SetToneMapping(bool on);
    // Forgets every picture and conversion kept.
    void Reset();

    // The picture of `frame` at the shown size, upright, in `format` (RGB32 or RGB888). `serial`
    // names the frame: the same serial is the same picture, so work on it is done once.
    bool Picture(const AVFrame* frame, uint64_t serial, QImage::Format format, QImage& bitmap);
    // `sourceRect` (in the upright picture's pixels) of that picture at `outSize`, RGB32, scaled
    // with a Lanczos filter straight from the frame's planes.
    bool Scaled(const AVFrame* frame, uint64_t serial, const QRect& sourceRect,
                const QSize& outSize, QImage& bitmap);

private:
    // The frame as converted: tone-mapped when it is high-dynamic-range, else itself.
    const AVFrame* Prepared(const AVFrame* frame, uint64_t serial);
    bool Convert(const AVFrame* frame, QImage& image);
    bool ConvertPart(const AVFrame* frame, const QRect& coded, QImage& image);
    QImage Upright(const QImage& unturned) const;

    QSize Shown;
    int Rotation = 0;
    bool ToneMapping = true;
    TScalerCache Scaler;
    TToneMapper ToneMapper;
    ffmpeg::TFramePtr Mapped; // the tone-mapped picture of the frame named MappedSerial
    uint64_t MappedSerial = 0;
    bool HasMapped = false;
    QImage Unturned; // turned pictures are converted here first
    QImage Output;   // the picture last handed out, kept to recognise it when it comes back
};
