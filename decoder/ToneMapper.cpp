#include "decoder/ToneMapper.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

#include <QByteArray>
#include <algorithm>

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

TToneMapper::TToneMapper(const TFilterLibrary* library) : Chain(library) {}
TToneMapper::~TToneMapper() = default;

void TToneMapper::Reset() {
    Chain.Reset();
    Width = Height = 0;
    Format = Transfer = -1;
    Peak = -1;
}

// buffer -> linear light (100 cd/m² as 1) in BT.709 primaries, one step so that only one
// floating-point picture is made before the curve -> Hable's curve -> BT.709 transfer, 8-bit RGB ->
// buffersink. The colour tags travel on the pictures.
bool TToneMapper::Build(const AVFrame* frame, double peak) {
    Reset();
    const QByteArray sourceArgs = QByteArray("video_size=") + QByteArray::number(frame->width) +
                                  'x' + QByteArray::number(frame->height) +
                                  ":pix_fmt=" + QByteArray::number(frame->format) +
                                  ":time_base=1/1000000:pixel_aspect=1/1";
    const QByteArray chain = "zscale=t=linear:p=bt709:npl=100,format=gbrpf32le,"
                             "tonemap=tonemap=hable:desat=0:peak=" +
                             QByteArray::number(peak, 'g', 6) +
                             ",zscale=t=bt709:m=bt709:r=full,format=gbrp";
    if (!Chain.Build(sourceArgs, chain)) {
        Reset();
        return false;
    }
    Width = frame->width;
    Height = frame->height;
    Format = frame->format;
    Transfer = frame->color_trc;
    Peak = peak;
    return true;
}

bool TToneMapper::Map(const AVFrame* frame, AVFrame* target) {
    if (HdrTransfer(frame) == THdrTransfer::None)
        return false;
    if (!Input)
        Input.reset(av_frame_alloc());
    if (!Input || av_frame_ref(Input.get(), frame) < 0)
        return false;
    // Unstated primaries and matrix of a PQ or HLG picture are BT.2020's.
    if (Input->color_primaries == AVCOL_PRI_UNSPECIFIED)
        Input->color_primaries = AVCOL_PRI_BT2020;
    if (Input->colorspace == AVCOL_SPC_UNSPECIFIED)
        Input->colorspace = AVCOL_SPC_BT2020_NCL;
    Input->sample_aspect_ratio = AVRational{1, 1};
    double peak = SanePeak(FramePeak(frame));
    if (peak <= 0)
        peak = StreamPeak;
    if (!Chain.Built() || frame->width != Width || frame->height != Height ||
        frame->format != Format || frame->color_trc != Transfer || peak != Peak) {
        if (!Build(frame, peak)) {
            av_frame_unref(Input.get());
            return false;
        }
    }
    av_frame_unref(target);
    // One picture in, one out: nothing stays in the filters between pictures.
    if (!Chain.Put(Input.get(), 0) || !Chain.Take(target)) {
        av_frame_unref(Input.get());
        Reset();
        return false;
    }
    return true;
}
