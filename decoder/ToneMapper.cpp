#include "decoder/ToneMapper.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

#include <zimg.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <immintrin.h>

namespace {

// Light levels are stated in cd/m²; the filters count 100 cd/m² as 1.
constexpr double ReferenceWhite = 100.0;

double LightLevelPeak(const AVContentLightMetadata* light) {
    return light != nullptr && light->MaxCLL > 0 ? light->MaxCLL / ReferenceWhite : 0;
}

double MasteringPeak(const AVMasteringDisplayMetadata* mastering) {
    if (mastering == nullptr || !mastering->has_luminance || mastering->max_luminance.den == 0)
        return 0;
    const double peak = av_q2d(mastering->max_luminance) / ReferenceWhite;
    return peak > 0 ? peak : 0;
}

// The picture's own light-level facts (HEVC messages, Matroska headers copied to the picture).
double FramePeak(const AVFrame* frame) {
    const AVFrameSideData* light = av_frame_get_side_data(frame, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL);
    double peak = light != nullptr
                      ? LightLevelPeak(reinterpret_cast<const AVContentLightMetadata*>(light->data))
                      : 0;
    const AVFrameSideData* mastering =
        av_frame_get_side_data(frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
    if (peak <= 0 && mastering != nullptr)
        peak = MasteringPeak(reinterpret_cast<const AVMasteringDisplayMetadata*>(mastering->data));
    return peak;
}

// Peaks beyond the PQ range (10000 cd/m²) are damaged headers; one below the reference white
// is taken as the white.
double SanePeak(double peak) {
    if (!(peak > 0) || peak > 10000 / ReferenceWhite)
        return 0;
    return std::max(peak, 1.0);
}

} // namespace

THdrTransfer HdrTransfer(const AVFrame* frame) {
    if (frame == nullptr)
        return THdrTransfer::None;
    THdrTransfer transfer = THdrTransfer::None;
    if (frame->color_trc == AVCOL_TRC_SMPTE2084)
        transfer = THdrTransfer::PQ;
    else if (frame->color_trc == AVCOL_TRC_ARIB_STD_B67)
        transfer = THdrTransfer::HLG;
    else
        return THdrTransfer::None;
    const bool primaries = frame->color_primaries == AVCOL_PRI_BT2020 ||
                           frame->color_primaries == AVCOL_PRI_UNSPECIFIED;
    const bool matrix = frame->colorspace == AVCOL_SPC_BT2020_NCL ||
                        frame->colorspace == AVCOL_SPC_BT2020_CL ||
                        frame->colorspace == AVCOL_SPC_UNSPECIFIED;
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    // Only YUV pictures as cameras and encoders write them: RGB or paletted pictures with these
    // tags contradict themselves.
    const bool yuv = format != nullptr &&
                     (format->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL |
                                       AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM)) == 0 &&
                     format->nb_components >= 3;
    return primaries && matrix && yuv && frame->width > 0 && frame->height > 0 ? transfer
                                                                               : THdrTransfer::None;
}

double StreamSignalPeak(const AVStream* stream) {
    if (stream == nullptr)
        return 0;
    const uint8_t* light =
        av_stream_get_side_data(stream, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, nullptr);
    double peak = LightLevelPeak(reinterpret_cast<const AVContentLightMetadata*>(light));
    const uint8_t* mastering =
        av_stream_get_side_data(stream, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, nullptr);
    if (peak <= 0)
        peak = MasteringPeak(reinterpret_cast<const AVMasteringDisplayMetadata*>(mastering));
    return SanePeak(peak);
}

namespace {

// Without light-level facts the curve's peak is 1000 cd/m² (what most HDR10 masters reach, and
// what FFmpeg's tonemap filter takes for linear-light pictures).
constexpr double DefaultPeak = 10.0;

// zimg's buffers: rows and planes start on 64-byte boundaries.
constexpr size_t Alignment = 64;

struct TAlignedFree {
    void operator()(void* p) const { std::free(p); }
};
using TAligned = std::unique_ptr<uint8_t, TAlignedFree>;

ptrdiff_t AlignedStride(size_t bytes) {
    return static_cast<ptrdiff_t>((bytes + Alignment - 1) / Alignment * Alignment);
}

TAligned Allocate(size_t bytes) {
    const auto rounded = static_cast<size_t>(AlignedStride(std::max<size_t>(bytes, 1)));
    return TAligned(static_cast<uint8_t*>(std::aligned_alloc(Alignment, rounded)));
}

zimg_chroma_location_e ChromaLocation(AVChromaLocation location) {
    switch (location) {
    case AVCHROMA_LOC_CENTER:
        return ZIMG_CHROMA_CENTER;
    case AVCHROMA_LOC_TOPLEFT:
        return ZIMG_CHROMA_TOP_LEFT;
    case AVCHROMA_LOC_TOP:
        return ZIMG_CHROMA_TOP;
    case AVCHROMA_LOC_BOTTOMLEFT:
        return ZIMG_CHROMA_BOTTOM_LEFT;
    case AVCHROMA_LOC_BOTTOM:
        return ZIMG_CHROMA_BOTTOM;
    default: // left, or unstated: as MPEG-2 and H.264 place it
        return ZIMG_CHROMA_LEFT;
    }
}

// Planar YUV of 8 to 16 bits in the machine's byte order, one plane a component: what zimg reads.
bool ZimgReads(const AVPixFmtDescriptor* desc) {
    if (desc == nullptr || desc->nb_components < 3 ||
        (desc->flags & (AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_FLOAT | AV_PIX_FMT_FLAG_RGB)) != 0)
        return false;
    const int bytes = desc->comp[0].depth > 8 ? 2 : 1;
    for (int c = 0; c < 3; ++c)
        if (desc->comp[c].plane != c || desc->comp[c].step != bytes || desc->comp[c].shift != 0 ||
            desc->comp[c].offset != 0 || desc->comp[c].depth != desc->comp[0].depth)
            return false;
    return desc->comp[0].depth >= 8 && desc->comp[0].depth <= 16;
}

zimg_graph_builder_params Params(double nominalPeak) {
    zimg_graph_builder_params params;
    zimg_graph_builder_params_default(&params, ZIMG_API_VERSION);
    params.resample_filter = ZIMG_RESIZE_BILINEAR;
    params.resample_filter_uv = ZIMG_RESIZE_BILINEAR;
    params.dither_type = ZIMG_DITHER_NONE;
    params.cpu_type = ZIMG_CPU_AUTO_64B;
    params.nominal_peak_luminance = nominalPeak;
    params.allow_approximate_gamma = 1;
    return params;
}

zimg_image_format LinearRgb(unsigned width, unsigned height) {
    zimg_image_format format;
    zimg_image_format_default(&format, ZIMG_API_VERSION);
    format.width = width;
    format.height = height;
    format.pixel_type = ZIMG_PIXEL_FLOAT;
    format.color_family = ZIMG_COLOR_RGB;
    format.matrix_coefficients = ZIMG_MATRIX_RGB;
    format.transfer_characteristics = ZIMG_TRANSFER_LINEAR;
    format.color_primaries = ZIMG_PRIMARIES_709;
    format.pixel_range = ZIMG_RANGE_FULL;
    format.depth = 32;
    return format;
}

// Hable's filmic curve, as FFmpeg's tonemap filter has it; the vector form below repeats each
// operation in the same order, so both round alike.
constexpr float hableA = 0.15f, hableB = 0.50f, hableC = 0.10f, hableD = 0.20f, hableE = 0.02f,
                hableF = 0.30f;

float Hable(float in) {
    return (in * (in * hableA + hableB * hableC) + hableD * hableE) /
               (in * (in * hableA + hableB) + hableD * hableF) -
           hableE / hableF;
}

__m128 Hable4(__m128 in) {
    const __m128 a = _mm_set1_ps(hableA);
    const __m128 numerator =
        _mm_add_ps(_mm_mul_ps(in, _mm_add_ps(_mm_mul_ps(in, a), _mm_set1_ps(hableB * hableC))),
                   _mm_set1_ps(hableD * hableE));
    const __m128 denominator =
        _mm_add_ps(_mm_mul_ps(in, _mm_add_ps(_mm_mul_ps(in, a), _mm_set1_ps(hableB))),
                   _mm_set1_ps(hableD * hableF));
    return _mm_sub_ps(_mm_div_ps(numerator, denominator), _mm_set1_ps(hableE / hableF));
}

// The curve on one row of linear red, green and blue, each pixel scaled by what the curve makes
// of its brightest channel (at least 1e-6: the filter compares with the double 1e-6, which gives
// the same for every float as the float nearest to it). Four pixels at a time.
void CurveRow(float* r, float* g, float* b, int width, float peakValue) {
    const __m128 floor = _mm_set1_ps(1e-6f), peak = _mm_set1_ps(peakValue);
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128 red = _mm_loadu_ps(r + x), green = _mm_loadu_ps(g + x),
                     blue = _mm_loadu_ps(b + x);
        const __m128 signal = _mm_max_ps(_mm_max_ps(_mm_max_ps(red, green), blue), floor);
        const __m128 scale = _mm_div_ps(_mm_div_ps(Hable4(signal), peak), signal);
        _mm_storeu_ps(r + x, _mm_mul_ps(red, scale));
        _mm_storeu_ps(g + x, _mm_mul_ps(green, scale));
        _mm_storeu_ps(b + x, _mm_mul_ps(blue, scale));
    }
    for (; x < width; ++x) {
        const float signal = std::max(std::max(std::max(r[x], g[x]), b[x]), 1e-6f);
        const float scale = Hable(signal) / peakValue / signal;
        r[x] *= scale;
        g[x] *= scale;
        b[x] *= scale;
    }
}

} // namespace

struct TToneMapper::TGraphs {
    ~TGraphs() {
        zimg_filter_graph_free(ToLinear);
        zimg_filter_graph_free(ToStandard);
    }
    zimg_filter_graph* ToLinear = nullptr;
    zimg_filter_graph* ToStandard = nullptr;
    TAligned Temp;   // the graphs' working memory
    TAligned Linear; // three float planes
    ptrdiff_t LinearStride = 0;
    TAligned Source; // the picture copied to aligned rows when its own are not
    ptrdiff_t SourceStride[3] = {};
};

TToneMapper::TToneMapper() = default;
TToneMapper::~TToneMapper() = default;

void TToneMapper::Reset() {
    Graphs.reset();
    Width = Height = 0;
    Format = Transfer = Range = Location = Matrix = -1;
}

bool TToneMapper::Build(const AVFrame* frame) {
    Reset();
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    if (!ZimgReads(desc))
        return false;
    const auto width = static_cast<unsigned>(frame->width);
    const auto height = static_cast<unsigned>(frame->height);
    zimg_image_format source;
    zimg_image_format_default(&source, ZIMG_API_VERSION);
    source.width = width;
    source.height = height;
    source.pixel_type = desc->comp[0].depth > 8 ? ZIMG_PIXEL_WORD : ZIMG_PIXEL_BYTE;
    source.subsample_w = desc->log2_chroma_w;
    source.subsample_h = desc->log2_chroma_h;
    source.color_family = ZIMG_COLOR_YUV;
    // HdrTransfer lets only BT.2020 (or unstated, taken as BT.2020) through.
    source.matrix_coefficients =
        frame->colorspace == AVCOL_SPC_BT2020_CL ? ZIMG_MATRIX_2020_CL : ZIMG_MATRIX_2020_NCL;
    source.transfer_characteristics =
        HdrTransfer(frame) == THdrTransfer::PQ ? ZIMG_TRANSFER_ST2084 : ZIMG_TRANSFER_ARIB_B67;
    source.color_primaries = ZIMG_PRIMARIES_2020;
    source.depth = static_cast<unsigned>(desc->comp[0].depth);
    source.pixel_range =
        frame->color_range == AVCOL_RANGE_JPEG ? ZIMG_RANGE_FULL : ZIMG_RANGE_LIMITED;
    source.chroma_location = ChromaLocation(frame->chroma_location);
    const zimg_image_format linear = LinearRgb(width, height);
    zimg_image_format standard = linear;
    standard.pixel_type = ZIMG_PIXEL_BYTE;
    standard.depth = 8;
    standard.transfer_characteristics = ZIMG_TRANSFER_709;

    auto graphs = std::make_unique<TGraphs>();
    const zimg_graph_builder_params toLinear = Params(100.0); // 100 cd/m² is 1
    const zimg_graph_builder_params toStandard = Params(NAN);
    graphs->ToLinear = zimg_filter_graph_build(&source, &linear, &toLinear);
    graphs->ToStandard = zimg_filter_graph_build(&linear, &standard, &toStandard);
    size_t tempLinear = 0, tempStandard = 0;
    if (graphs->ToLinear == nullptr || graphs->ToStandard == nullptr ||
        zimg_filter_graph_get_tmp_size(graphs->ToLinear, &tempLinear) != ZIMG_ERROR_SUCCESS ||
        zimg_filter_graph_get_tmp_size(graphs->ToStandard, &tempStandard) != ZIMG_ERROR_SUCCESS)
        return false;
    graphs->Temp = Allocate(std::max(tempLinear, tempStandard));
    graphs->LinearStride = AlignedStride(width * sizeof(float));
    graphs->Linear = Allocate(static_cast<size_t>(graphs->LinearStride) * height * 3);
    if (!graphs->Temp || !graphs->Linear)
        return false;
    Graphs = std::move(graphs);
    Width = frame->width;
    Height = frame->height;
    Format = frame->format;
    Transfer = frame->color_trc;
    Range = frame->color_range;
    Location = frame->chroma_location;
    Matrix = frame->colorspace;
    return true;
}

bool TToneMapper::BuiltFor(const AVFrame* frame) const {
    return Graphs && frame->width == Width && frame->height == Height && frame->format == Format &&
           frame->color_trc == Transfer && frame->color_range == Range &&
           frame->chroma_location == Location && frame->colorspace == Matrix;
}

bool TToneMapper::SourcePlanes(const AVFrame* frame, const void* planes[3], ptrdiff_t strides[3]) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    const int bytes = desc->comp[0].depth > 8 ? 2 : 1;
    bool aligned = true;
    for (int p = 0; p < 3; ++p)
        aligned = aligned && frame->linesize[p] > 0 && frame->linesize[p] % Alignment == 0 &&
                  reinterpret_cast<uintptr_t>(frame->data[p]) % Alignment == 0;
    if (aligned) {
        for (int p = 0; p < 3; ++p) {
            planes[p] = frame->data[p];
            strides[p] = frame->linesize[p];
        }
        return true;
    }
    int rows[3] = {frame->height, AV_CEIL_RSHIFT(frame->height, desc->log2_chroma_h), 0};
    int widths[3] = {frame->width, AV_CEIL_RSHIFT(frame->width, desc->log2_chroma_w), 0};
    rows[2] = rows[1];
    widths[2] = widths[1];
    size_t total = 0;
    for (int p = 0; p < 3; ++p) {
        Graphs->SourceStride[p] = AlignedStride(static_cast<size_t>(widths[p]) * bytes);
        total += static_cast<size_t>(Graphs->SourceStride[p]) * rows[p];
    }
    if (!Graphs->Source)
        Graphs->Source = Allocate(total);
    if (!Graphs->Source)
        return false;
    uint8_t* at = Graphs->Source.get();
    for (int p = 0; p < 3; ++p) {
        av_image_copy_plane(at, static_cast<int>(Graphs->SourceStride[p]), frame->data[p],
                            frame->linesize[p], widths[p] * bytes, rows[p]);
        planes[p] = at;
        strides[p] = Graphs->SourceStride[p];
        at += Graphs->SourceStride[p] * rows[p];
    }
    return true;
}

bool TToneMapper::Map(const AVFrame* frame, AVFrame* target) {
    if (HdrTransfer(frame) == THdrTransfer::None)
        return false;
    if (!BuiltFor(frame) && !Build(frame))
        return false;
    double peak = SanePeak(FramePeak(frame));
    if (peak <= 0)
        peak = StreamPeak > 0 ? StreamPeak : DefaultPeak;

    zimg_image_buffer_const source;
    std::memset(&source, 0, sizeof(source));
    source.version = ZIMG_API_VERSION;
    const void* planes[3] = {};
    ptrdiff_t strides[3] = {};
    if (!SourcePlanes(frame, planes, strides))
        return false;
    zimg_image_buffer linear;
    std::memset(&linear, 0, sizeof(linear));
    linear.version = ZIMG_API_VERSION;
    const ptrdiff_t planeBytes = Graphs->LinearStride * Height;
    float* rgb[3];
    for (int p = 0; p < 3; ++p) {
        source.plane[p] = {planes[p], strides[p], ZIMG_BUFFER_MAX};
        rgb[p] = reinterpret_cast<float*>(Graphs->Linear.get() + p * planeBytes);
        linear.plane[p] = {rgb[p], Graphs->LinearStride, ZIMG_BUFFER_MAX};
    }
    if (zimg_filter_graph_process(Graphs->ToLinear, &source, &linear, Graphs->Temp.get(), nullptr,
                                  nullptr, nullptr, nullptr) != ZIMG_ERROR_SUCCESS)
        return false;
    const float peakValue = Hable(static_cast<float>(peak));
    const ptrdiff_t floatsPerRow = Graphs->LinearStride / static_cast<ptrdiff_t>(sizeof(float));
    for (int y = 0; y < Height; ++y)
        CurveRow(rgb[0] + y * floatsPerRow, rgb[1] + y * floatsPerRow, rgb[2] + y * floatsPerRow,
                 Width, peakValue);
    return WriteStandard(frame, target);
}

bool TToneMapper::WriteStandard(const AVFrame* frame, AVFrame* target) {
    av_frame_unref(target);
    target->format = AV_PIX_FMT_GBRP;
    target->width = Width;
    target->height = Height;
    if (av_frame_get_buffer(target, static_cast<int>(Alignment)) < 0 ||
        av_frame_copy_props(target, frame) < 0) {
        av_frame_unref(target);
        return false;
    }
    target->color_trc = AVCOL_TRC_BT709;
    target->color_primaries = AVCOL_PRI_BT709;
    target->colorspace = AVCOL_SPC_RGB;
    target->color_range = AVCOL_RANGE_JPEG;
    // zimg's planes are red, green, blue; the frame's green, blue, red.
    const int order[3] = {2, 0, 1};
    bool aligned = true;
    for (int p = 0; p < 3; ++p)
        aligned = aligned && target->linesize[p] % Alignment == 0 &&
                  reinterpret_cast<uintptr_t>(target->data[p]) % Alignment == 0;
    const ptrdiff_t stride = AlignedStride(static_cast<size_t>(Width));
    TAligned own = aligned ? nullptr : Allocate(static_cast<size_t>(stride) * Height * 3);
    if (!aligned && !own) {
        av_frame_unref(target);
        return false;
    }
    zimg_image_buffer_const linear;
    std::memset(&linear, 0, sizeof(linear));
    linear.version = ZIMG_API_VERSION;
    zimg_image_buffer standard;
    std::memset(&standard, 0, sizeof(standard));
    standard.version = ZIMG_API_VERSION;
    const ptrdiff_t planeBytes = Graphs->LinearStride * Height;
    for (int p = 0; p < 3; ++p) {
        linear.plane[p] = {Graphs->Linear.get() + p * planeBytes, Graphs->LinearStride,
                           ZIMG_BUFFER_MAX};
        if (aligned)
            standard.plane[p] = {target->data[order[p]], target->linesize[order[p]],
                                 ZIMG_BUFFER_MAX};
        else
            standard.plane[p] = {own.get() + p * stride * Height, stride, ZIMG_BUFFER_MAX};
    }
    if (zimg_filter_graph_process(Graphs->ToStandard, &linear, &standard, Graphs->Temp.get(),
                                  nullptr, nullptr, nullptr, nullptr) != ZIMG_ERROR_SUCCESS) {
        av_frame_unref(target);
        return false;
    }
    if (!aligned)
        for (int p = 0; p < 3; ++p)
            av_image_copy_plane(target->data[order[p]], target->linesize[order[p]],
                                own.get() + p * stride * Height, static_cast<int>(stride), Width,
                                Height);
    return true;
}
