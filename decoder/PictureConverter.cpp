#include "decoder/PictureConverter.h"

#include <QRectF>
#include <QTransform>
#include <algorithm>
#include <cmath>

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

// Where the library puts the first chroma sample of a plane subsampled by 2^shift when told
// nothing, in 1/256 of a luma pixel.
int DefaultChromaPosition(int shift) {
    return (128 << shift) - 128;
}

// The frame's planes from `coded` (in the frame's own pixels) on, and what the scaler needs to
// know of them. A part starting at an odd pixel of a subsampled plane begins between chroma
// samples: the scaler is told where the first one lies, so colours stay where they belong.
// False for pictures whose planes cannot be cut.
bool CutPlanes(const AVFrame* frame, const QRect& coded, const uint8_t* planes[4], TScalerKey& key,
               bool& yuv) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    if (desc == nullptr || (desc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM |
                                           AV_PIX_FMT_FLAG_HWACCEL)) != 0)
        return false;
    const bool rgb = (desc->flags & AV_PIX_FMT_FLAG_RGB) != 0;
    yuv = !rgb && desc->nb_components >= 3;
    const bool subsampled = yuv && (desc->log2_chroma_w > 0 || desc->log2_chroma_h > 0);
    // Packed 4:2:2 pixels cannot be cut between the two lumas that share a chroma pair.
    if (subsampled && desc->comp[0].plane == desc->comp[1].plane)
        return false;
    bool placed[4] = {};
    for (int p = 0; p < 4; ++p)
        planes[p] = frame->data[p];
    for (int c = 0; c < desc->nb_components; ++c) {
        const AVComponentDescriptor& component = desc->comp[c];
        if (placed[component.plane])
            continue;
        placed[component.plane] = true;
        const bool chroma = yuv && (c == 1 || c == 2);
        const int x = chroma ? coded.x() >> desc->log2_chroma_w : coded.x();
        const int y = chroma ? coded.y() >> desc->log2_chroma_h : coded.y();
        planes[component.plane] +=
            ptrdiff_t(y) * frame->linesize[component.plane] + ptrdiff_t(x) * component.step;
    }
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    key.SrcWidth = coded.width();
    key.SrcHeight = coded.height();
    key.SrcFormat = PlainFormat(AVPixelFormat(frame->format), fullRange);
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
    return true;
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

void TPictureConverter::SetStreamPeak(double peak) {
    StreamPeak = peak;
    ToneMapper.SetStreamPeak(peak);
    PartToneMapper.SetStreamPeak(peak);
}

void TPictureConverter::CopySettingsTo(TPictureConverter& other) const {
    other.SetGeometry(Shown, Rotation);
    other.SetStreamPeak(StreamPeak);
    other.SetToneMapping(ToneMapping);
    other.SetExactColours(ExactColours);
}

void TPictureConverter::Reset() {
    Scaler.Reset();
    PartScaler.Reset();
    OutScaler.Reset();
    ToneMapper.Reset();
    PartToneMapper.Reset();
    SetStreamPeak(0);
    Mapped.reset();
    Small.reset();
    SmallMapped.reset();
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

namespace {

// The YUV matrix our exact converter uses for `frame`, as the scaling library would.
TYuvMatrix MatrixOf(const AVFrame* frame) {
    TYuvMatrix matrix;
    matrix.FullRange = frame->color_range == AVCOL_RANGE_JPEG;
    PlainFormat(AVPixelFormat(frame->format), matrix.FullRange);
    matrix.SwsColorspace = SwsColorspace(frame->colorspace, frame->height);
    return matrix;
}

} // namespace

TScalerKey TPictureConverter::WholeKey(const AVFrame* frame, AVPixelFormat target) const {
    const TYuvMatrix matrix = MatrixOf(frame);
    bool fullRange = matrix.FullRange;
    const bool scaled = frame->width != Shown.width() || frame->height != Shown.height();
    TScalerKey key;
    key.SrcWidth = frame->width;
    key.SrcHeight = frame->height;
    key.SrcFormat = PlainFormat(AVPixelFormat(frame->format), fullRange);
    key.DstWidth = Shown.width();
    key.DstHeight = Shown.height();
    key.DstFormat = target;
    key.Flags = scaled ? SWS_BICUBIC : SWS_POINT;
    // Exact pictures: every pixel's chroma interpolated (cubic) between the samples around it, as
    // players reconstruct it, and exact rounding. Taking the nearest chroma sample instead made
    // colour edges blocky: 0.0004 to 0.004 less SSIM against the source on filmed clips.
    if (ExactColours)
        key.Flags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;
    key.Colorspace = matrix.SwsColorspace;
    key.FullRange = matrix.FullRange;
    return key;
}

bool TPictureConverter::Convert(const AVFrame* frame, QImage& image) {
    const bool scaled = frame->width != Shown.width() || frame->height != Shown.height();
    const bool planar = ExactColours && !scaled;
    // 8-bit YUV of even sizes, by far the most common, by our own exact converter.
    if (planar && Planar.ConvertExact(frame, MatrixOf(frame), image))
        return true;
    const AVPixelFormat target = planar                                   ? AV_PIX_FMT_GBRP
                                 : image.format() == QImage::Format_RGB32 ? AV_PIX_FMT_RGB32
                                                                          : AV_PIX_FMT_RGB24;
    SwsContext* context = Scaler.Get(WholeKey(frame, target));
    if (!context)
        return false;
    if (planar)
        return Planar.Convert(context, frame->data, frame->linesize, frame->height, image);
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    return sws_scale(context, frame->data, frame->linesize, 0, frame->height, planes, strides) > 0;
}

bool TPictureConverter::Planes(const AVFrame* frame, uint64_t serial, TRgbPlanes& planes) {
    if (Shown.isEmpty())
        return false;
    // Straight into planes only where that gives the picture's very bytes (the exact conversion
    // of an unturned picture of square pixels); else through the picture.
    if (!ExactColours || Rotation != 0 || frame->width != Shown.width() ||
        frame->height != Shown.height()) {
        QImage picture;
        return Picture(frame, serial, QImage::Format_RGB888, picture) &&
               SplitPicture(picture, planes);
    }
    const AVFrame* source = Prepared(frame, serial);
    if (!planes.Resize(Shown))
        return false;
    // 8-bit YUV of even sizes by our own exact converter, the rest by the library.
    if (ExactYuvToPlanes(source, MatrixOf(source), planes.Planes(), planes.Strides()))
        return true;
    SwsContext* context = Scaler.Get(WholeKey(source, AV_PIX_FMT_GBRP));
    return context != nullptr && sws_scale(context, source->data, source->linesize, 0,
                                           source->height, planes.Planes(), planes.Strides()) > 0;
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

// RGB pictures are scaled straight into the picture. YUV pictures are scaled to the picture's
// size as 16-bit 4:4:4 first (every output pixel gets its own chroma, and the colour conversion,
// the costly part with full chroma, works on the small picture), tone-mapped there when they are
// high-dynamic-range, and only then turned into RGB.
bool TPictureConverter::ConvertPart(const AVFrame* frame, const QRect& coded, QImage& image) {
    const uint8_t* planes[4] = {};
    TScalerKey key;
    bool yuv = false;
    if (!CutPlanes(frame, coded, planes, key, yuv))
        return false;
    key.DstWidth = image.width();
    key.DstHeight = image.height();
    key.DstFormat = yuv ? AV_PIX_FMT_YUV444P16 : AV_PIX_FMT_RGB32;
    key.Flags = SWS_LANCZOS | SWS_ACCURATE_RND;
    SwsContext* context = PartScaler.Get(key);
    if (!context)
        return false;
    if (!yuv) {
        uint8_t* out[4] = {image.bits(), nullptr, nullptr, nullptr};
        int outStrides[4] = {int(image.bytesPerLine()), 0, 0, 0};
        return sws_scale(context, planes, frame->linesize, 0, coded.height(), out, outStrides) > 0;
    }
    if (!SmallFrame(image.size()) ||
        sws_scale(context, planes, frame->linesize, 0, coded.height(), Small->data,
                  Small->linesize) <= 0 ||
        av_frame_copy_props(Small.get(), frame) < 0)
        return false;
    // The scaler brought the samples to full range.
    Small->color_range = AVCOL_RANGE_JPEG;
    const AVFrame* small = Small.get();
    if (ToneMapping && HdrTransfer(small) != THdrTransfer::None) {
        if (!SmallMapped)
            SmallMapped.reset(av_frame_alloc());
        if (SmallMapped && PartToneMapper.Map(small, SmallMapped.get()))
            small = SmallMapped.get();
    }
    return SmallToRgb(small, frame->height, image);
}

bool TPictureConverter::SmallFrame(const QSize& size) {
    return WritableFrame(Small, AV_PIX_FMT_YUV444P16, size);
}

// A 4:4:4 or RGB picture of the output size into the RGB picture; `codedHeight` of the frame
// it came from decides the YUV matrix of untagged pictures.
bool TPictureConverter::SmallToRgb(const AVFrame* small, int codedHeight, QImage& image) {
    bool fullRange = small->color_range == AVCOL_RANGE_JPEG;
    TScalerKey key;
    key.SrcWidth = small->width;
    key.SrcHeight = small->height;
    key.SrcFormat = PlainFormat(AVPixelFormat(small->format), fullRange);
    key.DstWidth = image.width();
    key.DstHeight = image.height();
    key.DstFormat = AV_PIX_FMT_GBRP;
    key.Flags = SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;
    key.Colorspace = SwsColorspace(small->colorspace, codedHeight);
    key.FullRange = fullRange;
    return Planar.Convert(OutScaler.Get(key), small->data, small->linesize, small->height, image);
}

bool TPictureConverter::Scaled(const AVFrame* frame, const QRect& sourceRect, const QSize& outSize,
                               QImage& bitmap) {
    if (Shown.isEmpty() || outSize.isEmpty())
        return false;
    const bool across = Rotation == 90 || Rotation == 270;
    const QRect rect =
        sourceRect.intersected(QRect(QPoint(0, 0), across ? Shown.transposed() : Shown));
    if (rect.isEmpty())
        return false;
    // Tone mapping, if any, happens on the small picture.
    const AVFrame* source = frame;
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
