// GIFs written by FFmpeg's own GIF encoder and muxer (cropped changed rectangles, transparency for
// unchanged pixels, delays from time stamps, a loop extension) play as the frames they were made
// from.

#include "gifimage/GIFComposer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

constexpr int W = 48, H = 32, Frames = 6;

QRgb PaletteColour(int index) {
    return qRgb(index * 16, 255 - index * 16, (index * 40) & 255);
}

// Frame i: a background of index 1, a square of index 2 moving right, a bar of index 3 growing.
QImage SourceFrame(int i) {
    QImage frame(W, H, QImage::Format_Indexed8);
    QVector<QRgb> table;
    for (int c = 0; c < 16; ++c)
        table.push_back(PaletteColour(c));
    frame.setColorTable(table);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int index = 1;
            if (x >= 4 + 6 * i && x < 14 + 6 * i && y >= 8 && y < 18)
                index = 2;
            else if (y >= 28 && x < 8 * (i + 1))
                index = 3;
            frame.setPixel(x, y, static_cast<uint>(index));
        }
    return frame;
}

struct TOutput {
    AVFormatContext* Format = nullptr;
    AVCodecContext* Codec = nullptr;
    ~TOutput() {
        avcodec_free_context(&Codec);
        if (Format && Format->pb)
            avio_closep(&Format->pb);
        avformat_free_context(Format);
    }
};

bool WritePackets(TOutput& out, AVPacket* packet) {
    for (;;) {
        const int result = avcodec_receive_packet(out.Codec, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0)
            return false;
        av_packet_rescale_ts(packet, out.Codec->time_base, out.Format->streams[0]->time_base);
        packet->stream_index = 0;
        if (av_interleaved_write_frame(out.Format, packet) < 0)
            return false;
    }
}

// Writes the six frames at 10 frames per second with FFmpeg; false on any failure.
bool WriteWithFFmpeg(const QString& fileName) {
    TOutput out;
    const QByteArray name = fileName.toUtf8();
    if (avformat_alloc_output_context2(&out.Format, nullptr, "gif", name.constData()) < 0)
        return false;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_GIF);
    if (!codec || !(out.Codec = avcodec_alloc_context3(codec)))
        return false;
    out.Codec->width = W;
    out.Codec->height = H;
    out.Codec->pix_fmt = AV_PIX_FMT_PAL8;
    out.Codec->time_base = AVRational{1, 10};
    AVStream* stream = avformat_new_stream(out.Format, nullptr);
    if (!stream || avcodec_open2(out.Codec, codec, nullptr) < 0 ||
        avcodec_parameters_from_context(stream->codecpar, out.Codec) < 0)
        return false;
    stream->time_base = out.Codec->time_base;
    if (avio_open(&out.Format->pb, name.constData(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(out.Format, nullptr) < 0)
        return false;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    bool ok = frame && packet;
    for (int i = 0; ok && i < Frames; ++i) {
        av_frame_unref(frame);
        frame->format = AV_PIX_FMT_PAL8;
        frame->width = W;
        frame->height = H;
        ok = av_frame_get_buffer(frame, 0) >= 0;
        const QImage source = SourceFrame(i);
        for (int y = 0; ok && y < H; ++y)
            std::memcpy(frame->data[0] + y * frame->linesize[0], source.constScanLine(y), W);
        auto* palette = reinterpret_cast<uint32_t*>(frame->data[1]);
        for (int c = 0; ok && c < 256; ++c)
            palette[c] = c < 16 ? (0xFF000000u | PaletteColour(c)) : 0xFF000000u;
        frame->pts = i;
        ok = ok && avcodec_send_frame(out.Codec, frame) >= 0 && WritePackets(out, packet);
    }
    ok = ok && avcodec_send_frame(out.Codec, nullptr) >= 0 && WritePackets(out, packet) &&
         av_write_trailer(out.Format) >= 0;
    av_frame_free(&frame);
    av_packet_free(&packet);
    return ok;
}

} // namespace

TEST(GifSources, FFmpegEncoderOutputPlaysAsTheFramesItWasMadeFrom) {
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("ffmpeg.gif"));
    ASSERT_TRUE(WriteWithFFmpeg(fileName));
    auto image = std::make_shared<TGIFImage>();
    ASSERT_TRUE(image->LoadFromFile(fileName)) << image->ErrorText().toStdString();
    ASSERT_EQ(image->FrameCount(), Frames);
    EXPECT_EQ(image->Size(), QSize(W, H));
    EXPECT_EQ(image->PlayCount(), 0); // FFmpeg's muxer loops endlessly by default
    // FFmpeg writes only the changed part of later frames, unchanged pixels transparent.
    EXPECT_LT(image->Frame(2).Rect.width() * image->Frame(2).Rect.height(), W * H);
    EXPECT_GE(image->Frame(2).TransparentIndex, 0);
    TGIFComposer composer(image);
    for (int i = 0; i < Frames; ++i) {
        composer.Advance();
        EXPECT_EQ(composer.Canvas(), SourceFrame(i).convertToFormat(QImage::Format_ARGB32))
            << "frame " << i;
        // The last frame's delay is the muxer's own choice.
        if (i + 1 < Frames) {
            EXPECT_EQ(image->FrameDelayMs(i), 100) << "frame " << i;
        }
    }
}
