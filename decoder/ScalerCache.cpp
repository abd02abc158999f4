#include "decoder/ScalerCache.h"

extern "C" {
#include <libavutil/opt.h>
}

// The full-range ("J") formats are old spellings; swscale wants the plain format and the range.
AVPixelFormat PlainFormat(AVPixelFormat format, bool& fullRange) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

// The YUV matrix of a frame; unmarked high-definition pictures follow BT.709, smaller ones BT.601,
// as players assume.
int SwsColorspace(AVColorSpace space, int height) {
    switch (space) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        return height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

SwsContext* TScalerCache::Get(const TScalerKey& key) {
    if (FContext && key == FKey)
        return FContext.get();
    FContext.reset(sws_alloc_context());
    FKey = key;
    SwsContext* context = FContext.get();
    if (context == nullptr)
        return nullptr;
    const bool set = av_opt_set_int(context, "srcw", key.SrcWidth, 0) >= 0 &&
                     av_opt_set_int(context, "srch", key.SrcHeight, 0) >= 0 &&
                     av_opt_set_int(context, "src_format", key.SrcFormat, 0) >= 0 &&
                     av_opt_set_int(context, "dstw", key.DstWidth, 0) >= 0 &&
                     av_opt_set_int(context, "dsth", key.DstHeight, 0) >= 0 &&
                     av_opt_set_int(context, "dst_format", key.DstFormat, 0) >= 0 &&
                     av_opt_set_int(context, "sws_flags", key.Flags, 0) >= 0 &&
                     av_opt_set_int(context, "src_h_chr_pos", key.SrcChromaX, 0) >= 0 &&
                     av_opt_set_int(context, "src_v_chr_pos", key.SrcChromaY, 0) >= 0;
    if (!set || sws_init_context(context, nullptr, nullptr) < 0) {
        FContext.reset();
        return nullptr;
    }
    if (FContext && key.Colorspace >= 0)
        sws_setColorspaceDetails(FContext.get(), sws_getCoefficients(key.Colorspace),
                                 key.FullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                                 1 << 16, 1 << 16);
    return FContext.get();
}

void TScalerCache::Reset() {
    FContext.reset();
    FKey = TScalerKey();
}
