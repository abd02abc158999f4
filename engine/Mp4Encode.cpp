// MP4 through libavcodec with libx264: H.264, 4:2:0, constant quality from our quality scale, the
// pictures' exact times as the video's time stamps, "faststart" (the index before the pictures,
// so a browser plays while loading), no sound.

#include "engine/OutputEncode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <map>
#include <memory>

#include "decoder/FFmpegPtr.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace {

// Our quality's constant rate factor: the default (90) lands where the video holds a clip at
// least as faithfully as our GIF does; 100 is nearly lossless, 1 the smallest that still shows it.
int Mp4Crf(int quality) {
    constexpr int AtDefault = 24;
    if (quality >= DefaultGifQuality)
        return AtDefault -
               (AtDefault - 12) * (quality - DefaultGifQuality) / (100 - DefaultGifQuality);
    return AtDefault + (45 - AtDefault) * (DefaultGifQuality - quality) / (DefaultGifQuality - 1);
}

// One MP4 being written to a file.
class TMp4Writer {
public:
    TMp4Writer(const TGifSequence& sequence, int quality) : FSequence(sequence), FQuality(quality) {
        const QSize size = EncodedSize(TOutputFormat::Mp4, sequence.Size);
        FWidth = size.width();
        FHeight = size.height();
    }
    QString Open(const QString& fileName);
    QString Add(const TShownFrame& shown);
    QString Finish();
    // Per position of the sequence: the bytes of its pictures and those before (TEncoded).
    std::vector<qint64> BytesAfterPosition() const;

private:
    QString Drain(bool flushing);

    const TGifSequence& FSequence;
    const int FQuality;
    int FWidth = 0, FHeight = 0;
    ffmpeg::TOutputPtr FFormat;
    ffmpeg::TCodecPtr FCodec;
    ffmpeg::TFramePtr FFrame{av_frame_alloc()};
    ffmpeg::TPacketPtr FPacket{av_packet_alloc()};
    ffmpeg::TSwsPtr FScaler;
    AVStream* FStream = nullptr;
    std::map<int64_t, int64_t> FDurationOf; // per time stamp (ms), how long it shows
    std::map<int64_t, int> FPositionOf;     // per time stamp, its first position
    std::map<int, qint64> FBytesOf;         // per first position, its picture's bytes
};

QString TMp4Writer::Open(const QString& fileName) {
    if (FWidth < 2 || FHeight < 2)
        return QStringLiteral("a video picture is at least 2 × 2 pixels.");
    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (!h264)
        return QStringLiteral("this computer's FFmpeg has no H.264 encoder (libx264).");
    AVFormatContext* format = nullptr;
    const QByteArray name = QFile::encodeName(fileName);
    if (int code = avformat_alloc_output_context2(&format, nullptr, "mp4", name.constData());
        code < 0)
        return ffmpeg::ErrorText(code);
    FFormat.reset(format);
    FCodec.reset(avcodec_alloc_context3(h264));
    if (!FCodec || !FFrame || !FPacket)
        return QStringLiteral("out of memory.");
    AVCodecContext& c = *FCodec;
    c.width = FWidth;
    c.height = FHeight;
    c.pix_fmt = AV_PIX_FMT_YUV420P;
    c.time_base = {1, 1000};
    c.framerate = {static_cast<int>(std::lround(FSequence.Fps * 1000)), 1000};
    c.color_primaries = AVCOL_PRI_BT709;
    c.color_trc = AVCOL_TRC_BT709;
    c.colorspace = AVCOL_SPC_BT709;
    c.color_range = AVCOL_RANGE_MPEG;
    c.thread_count = 0;
    if (FFormat->oformat->flags & AVFMT_GLOBALHEADER)
        c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(c.priv_data, "preset", "faster", 0);
    av_opt_set_double(c.priv_data, "crf", Mp4Crf(FQuality), 0);
    av_opt_set(c.priv_data, "profile", "high", 0);
    if (int code = avcodec_open2(&c, h264, nullptr); code < 0)
        return ffmpeg::ErrorText(code);
    FStream = avformat_new_stream(FFormat.get(), nullptr);
    if (!FStream)
        return QStringLiteral("out of memory.");
    FStream->time_base = c.time_base;
    if (int code = avcodec_parameters_from_context(FStream->codecpar, &c); code < 0)
        return ffmpeg::ErrorText(code);
    if (int code = avio_open(&FFormat->pb, name.constData(), AVIO_FLAG_WRITE); code < 0)
        return ffmpeg::ErrorText(code);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    const int code = avformat_write_header(FFormat.get(), &options);
    av_dict_free(&options);
    if (code < 0)
        return ffmpeg::ErrorText(code);
    FFrame->format = c.pix_fmt;
    FFrame->width = c.width;
    FFrame->height = c.height;
    if (av_frame_get_buffer(FFrame.get(), 0) < 0)
        return QStringLiteral("out of memory.");
    // Full-range RGB to limited-range BT.709 YUV, as the stream says.
    FScaler.reset(sws_getContext(FWidth, FHeight, AV_PIX_FMT_RGB24, FWidth, FHeight,
                                 AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr,
                                 nullptr, nullptr));
    if (!FScaler)
        return QStringLiteral("the colour conversion cannot be made.");
    sws_setColorspaceDetails(FScaler.get(), sws_getCoefficients(SWS_CS_ITU709), 1,
                             sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
    return {};
}

QString TMp4Writer::Add(const TShownFrame& shown) {
    if (av_frame_make_writable(FFrame.get()) < 0)
        return QStringLiteral("out of memory.");
    const uint8_t* source[] = {shown.Rgb};
    const int stride[] = {FSequence.Size.width() * 3};
    sws_scale(FScaler.get(), source, stride, 0, FHeight, FFrame->data, FFrame->linesize);
    FFrame->pts = shown.StartMs;
    FDurationOf[shown.StartMs] = shown.EndMs - shown.StartMs;
    FPositionOf[shown.StartMs] = shown.Position;
    if (int code = avcodec_send_frame(FCodec.get(), FFrame.get()); code < 0)
        return ffmpeg::ErrorText(code);
    return Drain(false);
}

QString TMp4Writer::Drain(bool flushing) {
    for (;;) {
        const int code = avcodec_receive_packet(FCodec.get(), FPacket.get());
        if (code == AVERROR(EAGAIN) || (flushing && code == AVERROR_EOF))
            return {};
        if (code < 0)
            return ffmpeg::ErrorText(code);
        const auto duration = FDurationOf.find(FPacket->pts);
        if (duration != FDurationOf.end())
            FPacket->duration = duration->second;
        if (const auto position = FPositionOf.find(FPacket->pts); position != FPositionOf.end())
            FBytesOf[position->second] += FPacket->size;
        av_packet_rescale_ts(FPacket.get(), FCodec->time_base, FStream->time_base);
        FPacket->stream_index = FStream->index;
        if (int written = av_interleaved_write_frame(FFormat.get(), FPacket.get()); written < 0)
            return ffmpeg::ErrorText(written);
    }
}

QString TMp4Writer::Finish() {
    if (int code = avcodec_send_frame(FCodec.get(), nullptr); code < 0)
        return ffmpeg::ErrorText(code);
    if (QString error = Drain(true); !error.isEmpty())
        return error;
    if (int code = av_write_trailer(FFormat.get()); code < 0)
        return ffmpeg::ErrorText(code);
    if (int code = avio_closep(&FFormat->pb); code < 0)
        return ffmpeg::ErrorText(code);
    return {};
}

std::vector<qint64> TMp4Writer::BytesAfterPosition() const {
    std::vector<qint64> after(FSequence.Frames.size(), 0);
    qint64 total = 0;
    auto picture = FBytesOf.begin();
    for (size_t position = 0; position < after.size(); ++position) {
        if (picture != FBytesOf.end() && picture->first == static_cast<int>(position))
            total += (picture++)->second;
        after[position] = total;
    }
    return after;
}

} // namespace

TStop MakeMp4(const TConversionContext& context, const TPreparedFrames& frames,
              const TGifSequence& sequence, int quality, QIODevice& device, TEncoded& encoded) {
    // The muxer writes the file, then moves its index to the front: it needs a file of its own,
    // beside the output (the same disk), read back into `device` when done.
    QString folder = QFileInfo(context.Request.GifFile).absolutePath();
    if (!QFileInfo(folder).isDir() || !QFileInfo(folder).isWritable())
        folder = QDir::tempPath();
    QTemporaryFile file(folder + QStringLiteral("/.vg-XXXXXX.mp4"));
    if (!file.open())
        return Failure(QStringLiteral("The MP4 file cannot be made in \"%1\": %2")
                           .arg(QDir::toNativeSeparators(folder), file.errorString()));
    file.close();
    TMp4Writer writer(sequence, quality);
    if (const QString error = writer.Open(file.fileName()); !error.isEmpty())
        return EncoderFailure(TOutputFormat::Mp4, error);
    const auto add = [&](const TShownFrame& shown) -> TStop {
        if (const QString error = writer.Add(shown); !error.isEmpty())
            return EncoderFailure(TOutputFormat::Mp4, error);
        ++encoded.Images;
        return {};
    };
    if (TStop stop = ForEachShownFrame(context, frames, sequence, add))
        return stop;
    if (const QString error = writer.Finish(); !error.isEmpty())
        return EncoderFailure(TOutputFormat::Mp4, error);
    encoded.BytesAfterPosition = writer.BytesAfterPosition();
    if (!file.open())
        return Failure(
            QStringLiteral("The MP4 file made cannot be read back: %1").arg(file.errorString()));
    const QByteArray bytes = file.readAll();
    if (device.write(bytes) != bytes.size())
        return WriteFailure(context, device);
    return {};
}
