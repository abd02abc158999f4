#pragma once
// FFmpeg objects owned by std::unique_ptr, for everything of ours that talks to the libraries
// directly (the decoder, the test-video generator, benchmarks). The libraries' own free routines
// take the address of the pointer and clear it; the deleters hand them a local copy.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <QString>
#include <memory>

namespace ffmpeg {

// An input opened with avformat_open_input.
struct TFormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
// An output made with avformat_alloc_output_context2, with the file it may have opened.
struct TOutputCloser {
    void operator()(AVFormatContext* context) const {
        if (context->pb != nullptr && (context->oformat->flags & AVFMT_NOFILE) == 0)
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct TCodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct TFrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TPacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct TSwsFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using TFormatPtr = std::unique_ptr<AVFormatContext, TFormatCloser>;
using TOutputPtr = std::unique_ptr<AVFormatContext, TOutputCloser>;
using TCodecPtr = std::unique_ptr<AVCodecContext, TCodecFreer>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameFreer>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketFreer>;
using TSwsPtr = std::unique_ptr<SwsContext, TSwsFreer>;

// The text of an FFmpeg error code.
inline QString ErrorText(int error) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, buffer, sizeof buffer);
    return QString::fromUtf8(buffer);
}

} // namespace ffmpeg
