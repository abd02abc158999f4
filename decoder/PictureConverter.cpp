#include "decoder/PictureConverter.h"

#include <QRectF>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <functional>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

// swscale writes whole blocks of pixels and so may run a little past the end of a line, and past
// the end of the last one. The pictures it writes into are therefore made here, with a spare line
// and some bytes more; the picture frees its memory itself.
QImage PaddedImage(const QSize& size, QImage::Format format) {
    const qsizetype bytesPerPixel = format == QImage::Format_RGB32 ? 4 : 3;
    const qsizetype stride = (qsizetype(size.width()) * bytesPerPixel + 63) & ~qsizetype(63);
    const size_t bytes = size_t(stride) * size_t(size.height() + 1) + 256;
    auto* data = static_cast<uchar*>(av_malloc(bytes));
    if (data == nullptr)
        return QImage();
    return QImage(
        data, size.width(), size.height(), stride, format, [](void* memory) { av_free(memory); },
        data);
}

// Sharp shrinking without visible ringing; chroma brought to full resolution before the RGB
// conversion and rounded accurately, so the one-step picture loses nothing to the two-step one.
constexpr int PartFlags = SWS_LANCZOS | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;

// Where the library puts the first chroma sample of a plane subsampled by 2^shift when told
// nothing, in 1/256 of a luma pixel.
int DefaultChromaPosition(int shift) {
    return (128 << shift) - 128;
}

} // namespace

void TPictureConverter::SetGeometry(const QSize& shown, int rotation) {
    Shown = shown;
    Rotation = rotation;
}

void TPictureConverter::SetToneMapping(bool on) {
    ToneMapping = on;
    HasMapped = false;
}

void TPictureConverter::Reset() {
    Scaler.Reset();
    ToneMapper.Reset();
    ToneMapper.SetStreamPeak(0);
    Mapped.reset();
    HasMapped = false;
    Unturned = QImage();
    Output = QImage();
    Shown = QSize();
    Rotation = 0;
}

const AVFrame* TPictureConverter::Prepared(const AVFrame* frame, uint64_t serial) {
    if (!ToneMapping || HdrTransfer(frame) == THdrTransfer::None)
        return frame;
    if (HasMapped && MappedSerial == serial)
        return Mapped.get();
    HasMapped = false;
    if (!Mapped)
        Mapped.reset(av_frame_alloc());
    if (Mapped && ToneMapper.Map(frame, Mapped.get())) {
        HasMapped = true;
        MappedSerial = serial;
        return Mapped.get();
    }
    // No filter for this picture: shown as decoded rather than not at all.
    return frame;
}

QImage TPictureConverter::Upright(const QImage& unturned) const {
    return unturned.transformed(QTransform().rotate(Rotation));
}

bool TPictureConverter::Convert(const AVFrame* frame, QImage& image) {
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat source = PlainFormat(AVPixelFormat(frame->format), fullRange);
    const bool scaled = frame->width != Shown.width() || frame->height != Shown.height();
    TScalerKey key;
    key.SrcWidth = frame->width;
    key.SrcHeight = frame->height;
    key.SrcFormat = source;
    key.DstWidth = Shown.width();
    key.DstHeight = Shown.height();
    key.DstFormat = image.format() == QImage::Format_RGB32 ? AV_PIX_FMT_RGB32 : AV_PIX_FMT_RGB24;
    key.Flags = scaled ? SWS_BICUBIC : SWS_POINT;
    key.Colorspace = SwsColorspace(frame->colorspace, frame->height);
    key.FullRange = fullRange;
    SwsContext* context = Scaler.Get(key);
    if (!context)
        return false;
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    return sws_scale(context, frame->data, frame->linesize, 0, frame->height, planes, strides) > 0;
}

bool TPictureConverter::Picture(const AVFrame* frame, uint64_t serial, QImage::Format format,
                                QImage& bitmap) {
    if (Shown.isEmpty())
        return false;
    const AVFrame* source = Prepared(frame, serial);
    if (Rotation != 0) {
        if (Unturned.size() != Shown || Unturned.format() != format)
            Unturned = PaddedImage(Shown, format);
        if (Unturned.isNull() || !Convert(source, Unturned))
            return false;
        bitmap = Upright(Unturned);
        return !bitmap.isNull();
    }
    // The picture handed out last time comes back: when no one else shares it, it is written in
    // place, without allocating or copying.
    if (!Output.isNull() && bitmap.constBits() == Output.constBits() && bitmap.format() == format &&
        bitmap.size() == Shown) {
        Output = QImage();
        if (bitmap.isDetached()) {
            const bool converted = Convert(source, bitmap);
            Output = bitmap;
            return converted;
        }
    }
    QImage fresh = PaddedImage(Shown, format);
    if (fresh.isNull() || !Convert(source, fresh))
        return false;
    bitmap = fresh;
    Output = std::move(fresh);
    return true;
}

// The frame's planes from `coded` (in the frame's own pixels) on, scaled to the picture's size.
// A part starting at an odd pixel of a subsampled plane begins between chroma samples: the
// scaler is told where the first one lies, so colours stay where they belong.
bool TPictureConverter::ConvertPart(const AVFrame* frame, const QRect& coded, QImage& image) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    if (desc == nullptr || (desc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM |
                                           AV_PIX_FMT_FLAG_HWACCEL)) != 0)
        return false;
    const bool rgb = (desc->flags & AV_PIX_FMT_FLAG_RGB) != 0;
    const bool subsampled = !rgb && (desc->log2_chroma_w > 0 || desc->log2_chroma_h > 0);
    // Packed 4:2:2 pixels cannot be cut between the two lumas that share a chroma pair.
    if (subsampled && (desc->flags & AV_PIX_FMT_FLAG_PLANAR) == 0 && desc->nb_components > 1 &&
        desc->comp[0].plane == desc->comp[1].plane)
        return false;
    const uint8_t* planes[4] = {frame->data[0], frame->data[1], frame->data[2], frame->data[3]};
    bool placed[4] = {};
    for (int c = 0; c < desc->nb_components; ++c) {
        const AVComponentDescriptor& component = desc->comp[c];
        if (placed[component.plane])
            continue;
        placed[component.plane] = true;
        const bool chroma = !rgb && (c == 1 || c == 2);
        const int x = chroma ? coded.x() >> desc->log2_chroma_w : coded.x();
        const int y = chroma ? coded.y() >> desc->log2_chroma_h : coded.y();
        planes[component.plane] +=
            ptrdiff_t(y) * frame->linesize[component.plane] + ptrdiff_t(x) * component.step;
    }
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    TScalerKey key;
    key.SrcWidth = coded.width();
    key.SrcHeight = coded.height();
    key.SrcFormat = PlainFormat(AVPixelFormat(frame->format), fullRange);
    key.DstWidth = image.width();
    key.DstHeight = image.height();
    key.DstFormat = AV_PIX_FMT_RGB32;
    key.Flags = PartFlags;
    key.Colorspace = SwsColorspace(frame->colorspace, frame->height);
    key.FullRange = fullRange;
    if (subsampled) {
        const int restX = coded.x() & ((1 << desc->log2_chroma_w) - 1);
        const int restY = coded.y() & ((1 << desc->log2_chroma_h) - 1);
        if (restX != 0)
            key.SrcChromaX = DefaultChromaPosition(desc->log2_chroma_w) - restX * 256;
        if (restY != 0)
            key.SrcChromaY = DefaultChromaPosition(desc->log2_chroma_h) - restY * 256;
    }
    SwsContext* context = Scaler.Get(key);
    if (!context)
        return false;
    uint8_t* out[4] = {image.bits(), nullptr, nullptr, nullptr};
    int outStrides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    return sws_scale(context, planes, frame->linesize, 0, coded.height(), out, outStrides) > 0;
}

bool TPictureConverter::Scaled(const AVFrame* frame, uint64_t serial, const QRect& sourceRect,
                               const QSize& outSize, QImage& bitmap) {
    if (Shown.isEmpty() || outSize.isEmpty())
        return false;
    const bool across = Rotation == 90 || Rotation == 270;
    const QRect rect =
        sourceRect.intersected(QRect(QPoint(0, 0), across ? Shown.transposed() : Shown));
    if (rect.isEmpty())
        return false;
    const AVFrame* source = Prepared(frame, serial);
    // The part in the picture before turning, then in the frame's own (perhaps not square)
    // pixels; the turn is applied to the small picture at the end.
    const QTransform turn =
        QImage::trueMatrix(QTransform().rotate(Rotation), Shown.width(), Shown.height());
    const QRectF unturned = turn.inverted().mapRect(QRectF(rect));
    const double scaleX = double(source->width) / Shown.width();
    const double scaleY = double(source->height) / Shown.height();
    const int left = std::clamp(int(std::lround(unturned.left() * scaleX)), 0, source->width - 1);
    const int top = std::clamp(int(std::lround(unturned.top() * scaleY)), 0, source->height - 1);
    const int right =
        std::clamp(int(std::lround(unturned.right() * scaleX)), left + 1, source->width);
    const int bottom =
        std::clamp(int(std::lround(unturned.bottom() * scaleY)), top + 1, source->height);
    const QRect coded(left, top, right - left, bottom - top);
    const QSize size = across ? outSize.transposed() : outSize;
    if (Rotation != 0) {
        if (Unturned.size() != size || Unturned.format() != QImage::Format_RGB32)
            Unturned = PaddedImage(size, QImage::Format_RGB32);
        if (Unturned.isNull() || !ConvertPart(source, coded, Unturned))
            return false;
        bitmap = Upright(Unturned);
        return !bitmap.isNull();
    }
    QImage fresh = PaddedImage(size, QImage::Format_RGB32);
    if (fresh.isNull() || !ConvertPart(source, coded, fresh))
        return false;
    bitmap = std::move(fresh);
    return true;
}
