#include "ClipMaker.h"

#include "decoder/FFmpegPtr.h"

#include "FramePattern.h"

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace {

using ffmpeg::TCodecPtr;
using ffmpeg::TFramePtr;
using ffmpeg::TOutputPtr;
using ffmpeg::TPacketPtr;

bool Fail(const char* what, int error = 0) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (error != 0)
        av_strerror(error, text, sizeof text);
    std::fprintf(stderr, "clip maker: %s %s\n", what, text);
    return false;
}

// The index pattern with a texture of three travelling waves added on top (small enough that the
// pattern stays readable), and slowly turning colours in the chroma planes.
void DrawFrame(AVFrame* frame, int index, const std::vector<int8_t>& wave) {
    const int w = frame->width;
    const int h = frame->height;
    uint8_t* luma = frame->data[0];
    fixture::DrawIndexPattern(luma, frame->linesize[0], w, h, index);
    const int period = int(wave.size());
    for (int y = 0; y < h; ++y) {
        uint8_t* line = luma + y * frame->linesize[0];
        const int rowA = (y * 3 + index * 5) % period;
        const int rowB = (y + index * 2) % period;
        for (int x = 0; x < w; ++x) {
            const int texture = wave[size_t((x * 2 + rowA) % period)] +
                                wave[size_t((x + y + index * 7) % period)] / 2 +
                                wave[size_t((x * 5 + rowB) % period)] / 3;
            line[x] = uint8_t(std::clamp(int(line[x]) + texture, 0, 255));
        }
    }
    for (int plane = 1; plane <= 2; ++plane)
        for (int y = 0; y < (h + 1) / 2; ++y) {
            uint8_t* line = frame->data[plane] + y * frame->linesize[plane];
            for (int x = 0; x < (w + 1) / 2; ++x)
                line[x] = uint8_t(128 + wave[size_t((x + y * plane + index * 3) % period)]);
        }
}

} // namespace

bool MakeClip(const QString& path, const TClipShape& shape) {
    av_log_set_level(AV_LOG_ERROR);
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr)
        return Fail("this FFmpeg has no libx264 encoder");
    const QString partial = path + QLatin1String(".part.mp4");
    const QByteArray partialName = QFile::encodeName(partial);

    AVFormatContext* rawOutput = nullptr;
    int error = avformat_alloc_output_context2(&rawOutput, nullptr, "mp4", partialName.constData());
    if (error < 0 || rawOutput == nullptr)
        return Fail("no mp4 muxer", error);
    TOutputPtr output(rawOutput);

    TCodecPtr encoder(avcodec_alloc_context3(codec));
    if (!encoder)
        return Fail("no encoder context");
    encoder->width = shape.Width;
    encoder->height = shape.Height;
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->time_base = {1, shape.FramesPerSecond};
    encoder->framerate = {shape.FramesPerSecond, 1};
    encoder->gop_size = shape.KeyInterval;
    encoder->max_b_frames = 2;
    if ((output->oformat->flags & AVFMT_GLOBALHEADER) != 0)
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const QByteArray params = QByteArrayLiteral("keyint=") + QByteArray::number(shape.KeyInterval) +
                              QByteArrayLiteral(":min-keyint=") +
                              QByteArray::number(shape.KeyInterval) +
                              QByteArrayLiteral(":scenecut=0");
    av_opt_set(encoder->priv_data, "x264-params", params.constData(), 0);
    av_opt_set(encoder->priv_data, "preset", "veryfast", 0);
    av_opt_set(encoder->priv_data, "crf", "20", 0);
    if ((error = avcodec_open2(encoder.get(), codec, nullptr)) < 0)
        return Fail("cannot open the encoder", error);

    AVStream* stream = avformat_new_stream(output.get(), nullptr);
    if (stream == nullptr)
        return Fail("no stream");
    stream->time_base = encoder->time_base;
    if ((error = avcodec_parameters_from_context(stream->codecpar, encoder.get())) < 0)
        return Fail("no stream parameters", error);
    if ((error = avio_open(&output->pb, partialName.constData(), AVIO_FLAG_WRITE)) < 0)
        return Fail("cannot write the clip", error);
    if ((error = avformat_write_header(output.get(), nullptr)) < 0)
        return Fail("cannot write the header", error);

    TFramePtr frame(av_frame_alloc());
    TPacketPtr packet(av_packet_alloc());
    if (!frame || !packet)
        return Fail("out of memory");
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = shape.Width;
    frame->height = shape.Height;
    if ((error = av_frame_get_buffer(frame.get(), 0)) < 0)
        return Fail("no frame buffer", error);

    std::vector<int8_t> wave(509); // a prime period, so the waves never line up with the cells
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] = int8_t(std::lround(12 * std::sin(2 * M_PI * double(i) / double(wave.size()))));

    auto drain = [&](AVFrame* input) -> bool {
        if ((error = avcodec_send_frame(encoder.get(), input)) < 0)
            return Fail("cannot encode", error);
        while ((error = avcodec_receive_packet(encoder.get(), packet.get())) >= 0) {
            av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if ((error = av_interleaved_write_frame(output.get(), packet.get())) < 0)
                return Fail("cannot write a packet", error);
        }
        return error == AVERROR(EAGAIN) || error == AVERROR_EOF;
    };

    const int frames = shape.FramesPerSecond * shape.Seconds;
    for (int index = 0; index < frames; ++index) {
        if ((error = av_frame_make_writable(frame.get())) < 0)
            return Fail("frame not writable", error);
        DrawFrame(frame.get(), index, wave);
        frame->pts = index;
        if (!drain(frame.get()))
            return false;
    }
    if (!drain(nullptr))
        return false;
    if ((error = av_write_trailer(output.get())) < 0)
        return Fail("cannot finish the clip", error);
    output.reset();
    if ((QFile::exists(path) && !QFile::remove(path)) || !QFile::rename(partial, path)) {
        QFile::remove(partial);
        return Fail("cannot put the clip in place");
    }
    return true;
}
