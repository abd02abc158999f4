#include "tests/support/AnimDecode.h"

#include <QFile>
#include <webp/demux.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

TDecodedAnim DecodeWebPFile(const QString& fileName) {
    TDecodedAnim anim;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        anim.Error = file.errorString();
        return anim;
    }
    const QByteArray bytes = file.readAll();
    WebPData data{reinterpret_cast<const uint8_t*>(bytes.constData()),
                  static_cast<size_t>(bytes.size())};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_BGRA; // QImage::Format_ARGB32 in memory on little-endian machines
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder) {
        anim.Error = QStringLiteral("not an animated WebP");
        return anim;
    }
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    anim.Size = QSize(static_cast<int>(info.canvas_width), static_cast<int>(info.canvas_height));
    anim.LoopCount = static_cast<int>(info.loop_count);
    int64_t previousEnd = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* pixels = nullptr;
        int endMs = 0; // the decoder gives each frame's end time
        if (!WebPAnimDecoderGetNext(decoder, &pixels, &endMs)) {
            anim.Error = QStringLiteral("a frame cannot be decoded");
            WebPAnimDecoderDelete(decoder);
            return anim;
        }
        const QImage frame(pixels, anim.Size.width(), anim.Size.height(), anim.Size.width() * 4,
                           QImage::Format_ARGB32);
        anim.Frames.push_back(frame.convertToFormat(QImage::Format_RGB32));
        anim.StartMs.push_back(previousEnd);
        previousEnd = endMs;
    }
    anim.DurationMs = previousEnd;
    WebPAnimDecoderDelete(decoder);
    anim.Ok = true;
    return anim;
}

namespace {
struct TMp4Reader {
    AVFormatContext* Format = nullptr;
    AVCodecContext* Codec = nullptr;
    AVPacket* Packet = av_packet_alloc();
    AVFrame* Frame = av_frame_alloc();
    SwsContext* Scaler = nullptr;
    ~TMp4Reader() {
        sws_freeContext(Scaler);
        av_frame_free(&Frame);
        av_packet_free(&Packet);
        avcodec_free_context(&Codec);
        avformat_close_input(&Format);
    }
};

void TakeFrames(TMp4Reader& r, AVStream* stream, TDecodedAnim& anim) {
    while (avcodec_receive_frame(r.Codec, r.Frame) == 0) {
        QImage image(r.Frame->width, r.Frame->height, QImage::Format_RGB32);
        r.Scaler = sws_getCachedContext(r.Scaler, r.Frame->width, r.Frame->height,
                                        static_cast<AVPixelFormat>(r.Frame->format), r.Frame->width,
                                        r.Frame->height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr,
                                        nullptr, nullptr);
        uint8_t* planes[] = {image.bits()};
        const int strides[] = {static_cast<int>(image.bytesPerLine())};
        sws_setColorspaceDetails(r.Scaler, sws_getCoefficients(SWS_CS_ITU709), 0,
                                 sws_getCoefficients(SWS_CS_ITU709), 1, 0, 1 << 16, 1 << 16);
        sws_scale(r.Scaler, r.Frame->data, r.Frame->linesize, 0, r.Frame->height, planes, strides);
        anim.Frames.push_back(image);
        anim.StartMs.push_back(
            av_rescale_q(r.Frame->best_effort_timestamp, stream->time_base, AVRational{1, 1000}));
    }
}
} // namespace

TDecodedAnim DecodeMp4File(const QString& fileName) {
    TDecodedAnim anim;
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        const qsizetype moov = bytes.indexOf("moov"), mdat = bytes.indexOf("mdat");
        anim.IndexFirst = moov >= 0 && mdat >= 0 && moov < mdat;
    }
    TMp4Reader r;
    const QByteArray name = QFile::encodeName(fileName);
    if (avformat_open_input(&r.Format, name.constData(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(r.Format, nullptr) < 0) {
        anim.Error = QStringLiteral("cannot be opened");
        return anim;
    }
    anim.Streams = static_cast<int>(r.Format->nb_streams);
    const int index = av_find_best_stream(r.Format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        anim.Error = QStringLiteral("no video stream");
        return anim;
    }
    AVStream* stream = r.Format->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    r.Codec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(r.Codec, stream->codecpar);
    if (!codec || avcodec_open2(r.Codec, codec, nullptr) < 0) {
        anim.Error = QStringLiteral("no decoder");
        return anim;
    }
    anim.Codec = QString::fromLatin1(codec->name);
    anim.PixelFormat = QString::fromLatin1(av_get_pix_fmt_name(r.Codec->pix_fmt));
    anim.Size = QSize(r.Codec->width, r.Codec->height);
    while (av_read_frame(r.Format, r.Packet) >= 0) {
        if (r.Packet->stream_index == index) {
            avcodec_send_packet(r.Codec, r.Packet);
            TakeFrames(r, stream, anim);
        }
        av_packet_unref(r.Packet);
    }
    avcodec_send_packet(r.Codec, nullptr);
    TakeFrames(r, stream, anim);
    // The track's length in its index: where the last picture goes.
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    anim.DurationMs =
        av_rescale_q(start + stream->duration, stream->time_base, AVRational{1, 1000});
    anim.Ok = !anim.Frames.empty();
    return anim;
}

double MeanColourDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size() || x.isNull())
        return 255;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const QRgb* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            sum += std::abs(qRed(p[col]) - qRed(q[col])) +
                   std::abs(qGreen(p[col]) - qGreen(q[col])) +
                   std::abs(qBlue(p[col]) - qBlue(q[col]));
    }
    return sum / (3.0 * x.width() * x.height());
}

QByteArray ReadFileBytes(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
