// Opening a file in the FFmpeg decoder: the container, the video stream and its decoder, the
// display geometry, the durations and the first picture; and closing it again.

#include "decoder/DecoderState.h"
#include "decoder/ToneMapper.h"

#include "common/Log.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/cpu.h>
#include <libavutil/display.h>
}

using decoder::MicroBase;
using ffmpeg::ErrorText;

namespace {

// Clockwise rotation in degrees (0, 90, 180, 270) a player applies to the stream's pictures.
int StreamRotation(const AVStream* stream) {
    const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (matrix == nullptr)
        return 0;
    const double counterClockwise =
        av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(counterClockwise))
        return 0;
    long degrees = std::lround(-counterClockwise / 90.0) * 90;
    degrees %= 360;
    if (degrees < 0)
        degrees += 360;
    return int(degrees);
}

// Decoding threads: one more than the cores, as the library itself would choose. A frame thread
// waits for the parts of the frames before it that its frame refers to; with only one a core,
// cores stood idle for that (a tenth of the time of making a GIF from H.264 and VP9). Every frame
// thread holds pictures of its own, so big pictures take one a core and at most four: a 4K H.264
// stream holds 40 MB more for each.
int DecoderThreads(int width, int height) {
    const int cores = std::max(1, av_cpu_count());
    const bool big = int64_t(width) * height > 2560 * 1440;
    return big ? std::min(cores, 4) : std::min(cores + 1, 16);
}

} // namespace

void TFFDecoder::TState::Close() {
    Pictures.Reset();
    Current.reset();
    Pending.reset();
    Spare.reset();
    Raw.reset();
    Packet.reset();
    Codec.reset();
    Format.reset();
    Stream = nullptr;
    StreamIndex = -1;
    TimeBase = {1, 1};
    StartTs = 0;
    Info = TVideoStreamInfo();
    FileInfo = TFileStreamInfo();
    FrameDuration = 0;
    FirstFramePts = AV_NOPTS_VALUE;
    Damage.Reset();
    Disposable = TDisposablePackets();
    Wanted = nullptr;
    SeenInterlaced = false;
    LeftUndecoded = 0;
    HasCurrent = HasPending = false;
    CurrentPts = PendingPts = AV_NOPTS_VALUE;
    ResetReading();
}

void TFFDecoder::TState::ResetReading() {
    InputEnded = false;
    DecoderEnded = false;
    SkipToKey = false;
    SkippedPackets = 0;
    LeadingLimit = AV_NOPTS_VALUE;
    LastPts = AV_NOPTS_VALUE;
    LastTs = HandedTs = AV_NOPTS_VALUE;
    KeyTs = AV_NOPTS_VALUE;
    LastGuessed = false;
    Deinterlacer.Reset();
    DeinterlacerDrained = false;
    Damage.Forget();
}

bool TFFDecoder::TState::Open(const QString& fileName, const QString& formatName) {
    Close();
    if (!OpenContainer(fileName, formatName))
        return false;
    const int chosen = ChooseVideoStream();
    if (chosen < 0) {
        MsgOut(QStringLiteral("decoder: no video stream in %1").arg(fileName));
        Close();
        return false;
    }
    if (!OpenCodec(chosen, fileName)) {
        Close();
        return false;
    }
    ReadGeometry();
    ReadDurations();
    // A stream that does not yield a single picture is no video.
    if (!ReadFirstPicture()) {
        MsgOut(QStringLiteral("decoder: no picture decodes from %1").arg(fileName));
        Close();
        return false;
    }
    return true;
}

bool TFFDecoder::TState::OpenContainer(const QString& fileName, const QString& formatName) {
    // Only plain files: reading a pipe or a device could wait forever.
    const QFileInfo file(fileName);
    if (!file.isFile()) {
        MsgOut(QStringLiteral("decoder: %1 is no file").arg(fileName));
        return false;
    }
    const QByteArray path = QFile::encodeName(fileName);
    const AVInputFormat* forced = nullptr;
    if (!formatName.isEmpty()) {
        forced = av_find_input_format(formatName.toUtf8().constData());
        if (forced == nullptr) {
            MsgOut(QStringLiteral("decoder: unknown container format %1").arg(formatName));
            return false;
        }
    }
    AVFormatContext* opened = nullptr;
    // On failure avformat_open_input frees what it allocated and leaves the pointer null.
    int result = avformat_open_input(&opened, path.constData(), forced, nullptr);
    if (result < 0) {
        MsgOut(QStringLiteral("decoder: cannot open %1: %2").arg(fileName, ErrorText(result)));
        return false;
    }
    Format.reset(opened);
    result = avformat_find_stream_info(Format.get(), nullptr);
    if (result < 0) {
        MsgOut(QStringLiteral("decoder: no stream information in %1: %2")
                   .arg(fileName, ErrorText(result)));
        Close();
        return false;
    }
    return true;
}

int TFFDecoder::TState::ChooseVideoStream() {
    // A real video stream, not a cover picture. The library's choice first, then any.
    int chosen = av_find_best_stream(Format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    auto usable = [this](int index) {
        if (index < 0 || unsigned(index) >= Format->nb_streams)
            return false;
        const AVStream* stream = Format->streams[index];
        return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
               (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0 &&
               stream->codecpar->width > 0 && stream->codecpar->height > 0 &&
               avcodec_find_decoder(stream->codecpar->codec_id) != nullptr;
    };
    if (!usable(chosen)) {
        chosen = -1;
        for (unsigned i = 0; i < Format->nb_streams && chosen < 0; ++i)
            if (usable(int(i)))
                chosen = int(i);
    }
    return chosen;
}

bool TFFDecoder::TState::OpenCodec(int chosen, const QString& fileName) {
    Stream = Format->streams[chosen];
    // Packets of the other streams are not even read out of the file.
    for (unsigned i = 0; i < Format->nb_streams; ++i)
        if (int(i) != chosen)
            Format->streams[i]->discard = AVDISCARD_ALL;
    const AVCodec* codec = avcodec_find_decoder(Stream->codecpar->codec_id);
    Disposable.Setup(Stream->codecpar);
    Codec.reset(avcodec_alloc_context3(codec));
    Packet.reset(av_packet_alloc());
    Current.reset(av_frame_alloc());
    Pending.reset(av_frame_alloc());
    Spare.reset(av_frame_alloc());
    Raw.reset(av_frame_alloc());
    if (!Codec || !Packet || !Current || !Pending || !Spare || !Raw)
        return false;
    int result = avcodec_parameters_to_context(Codec.get(), Stream->codecpar);
    if (result >= 0) {
        Codec->pkt_timebase = Stream->time_base;
        Codec->thread_count = DecoderThreads(Stream->codecpar->width, Stream->codecpar->height);
        // Frame threads where the codec has them (H.264, HEVC, VP8, VP9, MPEG-4 ...), else
        // slices or tiles.
        Codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        result = avcodec_open2(Codec.get(), codec, nullptr);
    }
    if (result < 0) {
        MsgOut(QStringLiteral("decoder: cannot open the %1 decoder for %2: %3")
                   .arg(QString::fromUtf8(codec->name), fileName, ErrorText(result)));
        return false;
    }
    StreamIndex = chosen;
    TimeBase = Stream->time_base;
    if (Stream->start_time != AV_NOPTS_VALUE)
        StartTs = Stream->start_time;
    else if (Format->start_time != AV_NOPTS_VALUE)
        StartTs = av_rescale_q(Format->start_time, AV_TIME_BASE_Q, TimeBase);
    else
        StartTs = 0;
    Info.CodecName = QString::fromUtf8(codec->name);
    return true;
}

void TFFDecoder::TState::ReadGeometry() {
    // Sizes as a player shows the pictures.
    Info.CodedWidth = Stream->codecpar->width;
    Info.CodedHeight = Stream->codecpar->height;
    const AVRational aspect = av_guess_sample_aspect_ratio(Format.get(), Stream, nullptr);
    const QSize shown = SquarePixelSize(QSize(Info.CodedWidth, Info.CodedHeight),
                                        aspect.num > 0 && aspect.den > 0 ? av_q2d(aspect) : 1.0);
    Info.Rotation = StreamRotation(Stream);
    Pictures.SetGeometry(shown, Info.Rotation);
    Pictures.SetStreamPeak(StreamSignalPeak(Stream));
    const bool across = Info.Rotation == 90 || Info.Rotation == 270;
    Info.Width = across ? shown.height() : shown.width();
    Info.Height = across ? shown.width() : shown.height();
    AVRational rate = Stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = Stream->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) {
        Info.FrameRateNum = rate.num;
        Info.FrameRateDen = rate.den;
    }
    FrameDuration = NominalFrameDuration(Info);
}

void TFFDecoder::TState::ReadDurations() {
    // The file lasts from the video's start to the end of the longest stream.
    FileInfo.FormatName = QString::fromUtf8(Format->iformat->name);
    const int64_t startMicro = av_rescale_q(StartTs, TimeBase, MicroBase);
    FileInfo.StartTime = startMicro;
    if (Format->duration != AV_NOPTS_VALUE && Format->duration > 0) {
        const int64_t fileStart =
            Format->start_time != AV_NOPTS_VALUE ? Format->start_time : startMicro;
        FileInfo.Duration = std::max<int64_t>(0, fileStart + Format->duration - startMicro);
    } else if (Stream->duration != AV_NOPTS_VALUE && Stream->duration > 0) {
        FileInfo.Duration = av_rescale_q(Stream->duration, TimeBase, MicroBase);
    }
}

bool TFFDecoder::TState::ReadFirstPicture() {
    // The first frame waits for the first Decode.
    int64_t pts = 0;
    if (!ReceiveFrame(Pending, pts))
        return false;
    // Where the container stamps its packets by decoding order (AVI, MP4 without an edit list)
    // the first picture shown comes a little after the stream's start: the video starts there.
    if (pts > 0 && HandedTs != AV_NOPTS_VALUE) {
        StartTs = HandedTs;
        FileInfo.StartTime = av_rescale_q(StartTs, TimeBase, MicroBase);
        FileInfo.Duration = std::max<int64_t>(0, FileInfo.Duration - pts);
        // Frames counted on from this one (and any the deinterlacer holds) move along.
        LastPts -= pts;
        pts = 0;
    }
    HasPending = true;
    PendingPts = pts;
    FirstFramePts = pts;
    return true;
}
