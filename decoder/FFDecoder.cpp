// The FFmpeg decoder. One file is open at a time; one decoded frame is current and at most one
// more (read ahead while locating) waits to be handed out by the next Decode.

#include "decoder/FFDecoder.h"

#include "decoder/DamageTracker.h"
#include "decoder/Deinterlacer.h"
#include "decoder/FFmpegPtr.h"
#include "decoder/ScalerCache.h"

#include "common/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTransform>
#include <cmath>
#include <mutex>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

using ffmpeg::ErrorText;
using ffmpeg::TCodecPtr;
using ffmpeg::TFormatPtr;
using ffmpeg::TFramePtr;
using ffmpeg::TPacketPtr;

constexpr AVRational MicroBase = {1, int(Unit_Nano)};

// A file whose packets the decoder keeps refusing is treated as ended.
constexpr int MaxRefusedPackets = 200;
// After a seek, packets before the first key frame are passed over, but no further than this: a
// stream without marked key frames (intra refresh) is then decoded as it comes.
constexpr int MaxSkippedPackets = 600;
// Without an index to consult, a locate this close ahead of the current frame decodes forward.
constexpr int64_t ForwardWithoutIndex = 2 * Unit_Nano;
// A locate steps back this far (doubling) when a seek lands after the wanted time.
constexpr int64_t FirstBackStep = Unit_Nano;
constexpr int MaxSeekAttempts = 8;

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

// swscale writes whole blocks of pixels and so may run a little past the end of a line, and past
// the end of the last one. The pictures it writes into are therefore made here, with a spare line
// and some bytes more; the picture frees its memory itself.
QImage PaddedImage(int width, int height, QImage::Format format) {
    const qsizetype bytesPerPixel = format == QImage::Format_RGB32 ? 4 : 3;
    const qsizetype stride = (qsizetype(width) * bytesPerPixel + 63) & ~qsizetype(63);
    const size_t bytes = size_t(stride) * size_t(height + 1) + 256;
    auto* data = static_cast<uchar*>(av_malloc(bytes));
    if (data == nullptr)
        return QImage();
    return QImage(
        data, width, height, stride, format, [](void* memory) { av_free(memory); }, data);
}

} // namespace

struct TFFDecoder::TState {
    QString LibraryFolder;
    QString FileName;
    QString FormatName;
    int BitsPixel = 24;

    TFormatPtr Format;
    TCodecPtr Codec;
    TPacketPtr Packet;
    AVStream* Stream = nullptr;
    int StreamIndex = -1;
    AVRational TimeBase = {1, 1};
    int64_t StartTs = 0; // the stream's time that PTS 0 stands for, in stream units

    TVideoStreamInfo Info;
    TFileStreamInfo FileInfo;
    int64_t FrameDuration = 0; // nominal, in PTS ticks; 0 when unknown
    int64_t FirstFramePts = AV_NOPTS_VALUE;

    // The current frame and the one read ahead of it.
    TFramePtr Current, Pending, Spare;
    TFramePtr Raw; // a decoded picture on its way into the deinterlacer
    int64_t CurrentPts = AV_NOPTS_VALUE;
    int64_t PendingPts = AV_NOPTS_VALUE;
    bool HasCurrent = false;
    bool HasPending = false;

    // Reading state.
    bool InputEnded = false;   // the decoder was told that no packet follows
    bool DecoderEnded = false; // and has given out everything
    bool SkipToKey = false;    // a seek happened: pass packets over until a key frame
    int SkippedPackets = 0;
    int64_t LeadingLimit = AV_NOPTS_VALUE; // frames before the seek's key frame are dropped
    int64_t LastPts = AV_NOPTS_VALUE;
    int64_t LastTs = AV_NOPTS_VALUE;   // time stamp of the last frame decoded, in stream units
    int64_t HandedTs = AV_NOPTS_VALUE; // and of the last one handed out (after deinterlacing)
    int64_t KeyTs = AV_NOPTS_VALUE;    // time stamp of the key frame packet a seek landed on
    bool LastGuessed = false;          // the last frame had no time stamp and none to count on from

    // Picture conversion, kept between frames while nothing about the pictures changes, to the
    // size a player shows before turning.
    TScalerCache Scaler;
    int SwsDstWidth = 0, SwsDstHeight = 0;
    QImage Unrotated; // rotated pictures are converted here first
    QImage Output;    // the picture last handed out, kept to recognise it when it comes back

    // Pictures marked interlaced are deinterlaced before anyone sees them.
    bool Deinterlace = true;
    TDeinterlacer Deinterlacer;
    bool DeinterlacerDrained = false; // told that no picture follows
    TDamageTracker Damage;            // damaged pictures are left out

    bool IsOpen() const { return Codec != nullptr && StreamIndex >= 0; }

    int64_t ToPts(int64_t ts) const { return av_rescale_q(ts - StartTs, TimeBase, MicroBase); }
    int64_t ToStreamTs(int64_t pts) const {
        return StartTs + av_rescale_q(pts, MicroBase, TimeBase);
    }

    void Close();
    // Opening a file: the container, the video stream, its decoder, the display geometry, the
    // durations, and the first picture (a stream without one is no video).
    bool Open(const QString& fileName, const QString& formatName);
    bool OpenContainer(const QString& fileName, const QString& formatName);
    int ChooseVideoStream();
    bool OpenCodec(int chosen, const QString& fileName);
    void ReadGeometry();
    void ReadDurations();
    bool ReadFirstPicture();
    bool ReceiveFrame(TFramePtr& target, int64_t& pts);
    bool ReceiveDecoded(TFramePtr& target, int64_t& pts);
    void ResetReading();
    bool SeekStream(int64_t ts, int flags);
    bool Rewind();
    bool LandBefore(int64_t pts);
    bool LocateAt(int64_t pts, const TGoOnFunc* goOn);
    bool DecodeForward(int64_t pts, const TGoOnFunc* goOn);
    bool ForwardIsCheaper(int64_t pts) const;
    bool Convert(const AVFrame* frame, QImage& image);
};

void TFFDecoder::TState::Close() {
    Scaler.Reset();
    Unrotated = QImage();
    Output = QImage();
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
    HasCurrent = HasPending = false;
    CurrentPts = PendingPts = AV_NOPTS_VALUE;
    SwsDstWidth = SwsDstHeight = 0;
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
        Codec->thread_count = 0; // as many as the machine has cores
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
    SwsDstWidth = shown.width();
    SwsDstHeight = shown.height();
    Info.Rotation = StreamRotation(Stream);
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

// The next picture as players show it: progressive pictures as decoded, interlaced ones (and all
// after the first of them) through the deinterlacer, which holds one picture back.
bool TFFDecoder::TState::ReceiveFrame(TFramePtr& target, int64_t& pts) {
    if (!Deinterlace) {
        const bool received = ReceiveDecoded(target, pts);
        HandedTs = LastTs;
        return received;
    }
    for (;;) {
        if (Deinterlacer.Take(target.get(), pts)) {
            // From the stream's time stamp where there is one: the video's start may have been
            // placed later while the picture waited in the filter.
            HandedTs = target->best_effort_timestamp;
            if (HandedTs != AV_NOPTS_VALUE)
                pts = ToPts(HandedTs);
            return true;
        }
        if (DeinterlacerDrained)
            return false;
        int64_t decoded = 0;
        if (!ReceiveDecoded(Raw, decoded)) {
            if (!Deinterlacer.Active())
                return false;
            Deinterlacer.Finish();
            DeinterlacerDrained = true;
            continue;
        }
        if (!Deinterlacer.Active() && Raw->interlaced_frame == 0) {
            std::swap(target, Raw);
            pts = decoded;
            HandedTs = LastTs;
            return true;
        }
        // The filter carries our own time and the stream's time stamp of the picture along.
        Raw->pts = decoded;
        Raw->best_effort_timestamp = LastTs;
        if (!Deinterlacer.Put(Raw.get())) {
            // No filter for this picture: shown as decoded rather than lost.
            std::swap(target, Raw);
            pts = decoded;
            HandedTs = LastTs;
            return true;
        }
        av_frame_unref(Raw.get());
    }
}

// Reads packets and decodes until the next frame comes out. False at the end of the stream, after
// a read error (a file broken in the middle ends there) or when the decoder gives up.
bool TFFDecoder::TState::ReceiveDecoded(TFramePtr& target, int64_t& pts) {
    if (!IsOpen() || DecoderEnded)
        return false;
    int refused = 0;
    for (;;) {
        int result = avcodec_receive_frame(Codec.get(), target.get());
        if (result >= 0 && Damage.LeaveOut(target.get())) {
            av_frame_unref(target.get());
            continue;
        }
        if (result >= 0) {
            int64_t ts = target->best_effort_timestamp;
            if (ts == AV_NOPTS_VALUE)
                ts = target->pts;
            // Pictures shown before the key frame a seek landed on need the pictures before
            // it: they come out damaged and are dropped.
            if (LeadingLimit != AV_NOPTS_VALUE && ts != AV_NOPTS_VALUE) {
                if (ts < LeadingLimit) {
                    av_frame_unref(target.get());
                    continue;
                }
                LeadingLimit = AV_NOPTS_VALUE;
            }
            LastTs = ts;
            // A frame without a time stamp (containers that stamp only the decoding order, at
            // the end of the stream) follows the frame before it. After a seek there is none:
            // the time of the key frame is a guess that a locate does not rely on.
            LastGuessed = ts == AV_NOPTS_VALUE && LastPts == AV_NOPTS_VALUE;
            if (ts != AV_NOPTS_VALUE)
                pts = ToPts(ts);
            else if (LastPts != AV_NOPTS_VALUE)
                pts = LastPts + FrameDuration;
            else
                pts = KeyTs != AV_NOPTS_VALUE ? ToPts(KeyTs) : 0;
            LastPts = pts;
            return true;
        }
        if (result != AVERROR(EAGAIN) || InputEnded) {
            DecoderEnded = true;
            return false;
        }

        result = av_read_frame(Format.get(), Packet.get());
        if (result < 0) {
            // End of file or a broken file: let the decoder hand out what it holds.
            InputEnded = true;
            avcodec_send_packet(Codec.get(), nullptr);
            continue;
        }
        if (Packet->stream_index != StreamIndex) {
            av_packet_unref(Packet.get());
            continue;
        }
        // A packet the container found broken spoils its picture and those predicted from it.
        Damage.PacketRead(Packet.get());
        if (SkipToKey) {
            if ((Packet->flags & AV_PKT_FLAG_KEY) == 0 && ++SkippedPackets < MaxSkippedPackets) {
                av_packet_unref(Packet.get());
                continue;
            }
            SkipToKey = false;
            if ((Packet->flags & AV_PKT_FLAG_KEY) != 0) {
                LeadingLimit = Packet->pts;
                KeyTs = Packet->pts != AV_NOPTS_VALUE ? Packet->pts : Packet->dts;
            }
        }
        result = avcodec_send_packet(Codec.get(), Packet.get());
        av_packet_unref(Packet.get());
        if (result < 0 && result != AVERROR(EAGAIN) && ++refused > MaxRefusedPackets) {
            InputEnded = true;
            avcodec_send_packet(Codec.get(), nullptr);
        }
    }
}

bool TFFDecoder::TState::SeekStream(int64_t ts, int flags) {
    if (av_seek_frame(Format.get(), StreamIndex, ts, flags) < 0)
        return false;
    avcodec_flush_buffers(Codec.get());
    ResetReading();
    SkipToKey = (flags & AVSEEK_FLAG_ANY) == 0;
    // Neither the frame decoded before nor the one read ahead is where the stream now stands.
    HasCurrent = HasPending = false;
    CurrentPts = PendingPts = AV_NOPTS_VALUE;
    return true;
}

// Back to the first frame: by a seek when the container allows it, else by opening the file
// again. Afterwards the first frame waits for the next Decode.
bool TFFDecoder::TState::Rewind() {
    const int64_t firstTs = ToStreamTs(FirstFramePts);
    int64_t pts = 0;
    if (SeekStream(std::min(firstTs, StartTs), AVSEEK_FLAG_BACKWARD) &&
        ReceiveFrame(Pending, pts) && pts == FirstFramePts) {
        HasPending = true;
        PendingPts = pts;
        return true;
    }
    const QString fileName = FileName;
    const QString formatName = FormatName;
    const int bits = BitsPixel;
    const bool opened = Open(fileName, formatName);
    FileName = fileName;
    FormatName = formatName;
    BitsPixel = bits;
    return opened;
}

// Positions the stream on the last key frame at or before `pts` (the first frame of the video
// when `pts` lies before it) and decodes that frame, which waits for the next Decode.
bool TFFDecoder::TState::LandBefore(int64_t pts) {
    int64_t target = pts;
    int64_t step = FirstBackStep;
    for (int attempt = 0; attempt < MaxSeekAttempts && target > FirstFramePts; ++attempt) {
        if (!SeekStream(ToStreamTs(target), AVSEEK_FLAG_BACKWARD))
            break;
        int64_t first = 0;
        if (ReceiveFrame(Pending, first)) {
            HasPending = true;
            PendingPts = first;
            if ((first <= pts || first <= FirstFramePts) && !LastGuessed)
                return true;
            target = std::min(target, first);
        }
        // Landed after the wanted time (a container without an index, or a key frame shown
        // later than it is stored), on a frame of unknown time, or on no key frame at all:
        // look further back.
        target -= step;
        step *= 2;
    }
    return Rewind();
}

bool TFFDecoder::TState::ForwardIsCheaper(int64_t pts) const {
    if (!HasCurrent || CurrentPts > pts)
        return false;
    const int64_t target = ToStreamTs(pts);
    const int entry = av_index_search_timestamp(Stream, target, AVSEEK_FLAG_BACKWARD);
    if (entry >= 0) {
        const AVIndexEntry* key = avformat_index_get_entry(Stream, entry);
        // The key frame a seek would land on is not ahead of the current frame: decoding on from
        // here does less work than starting there.
        if (key != nullptr)
            return ToPts(key->timestamp) <= CurrentPts;
    }
    return pts - CurrentPts <= ForwardWithoutIndex;
}

// From the current frame, decodes on until the next frame would lie after `pts`. That frame is
// kept for the next Decode. At the end of the stream the last frame stays current.
bool TFFDecoder::TState::DecodeForward(int64_t pts, const TGoOnFunc* goOn) {
    for (;;) {
        if (!HasPending) {
            int64_t next = 0;
            if (!ReceiveFrame(Pending, next))
                return HasCurrent;
            HasPending = true;
            PendingPts = next;
            if (goOn != nullptr && !(*goOn)())
                return false;
        }
        if (HasCurrent && PendingPts > pts)
            return true;
        std::swap(Current, Pending);
        HasCurrent = true;
        CurrentPts = PendingPts;
        HasPending = false;
    }
}

bool TFFDecoder::TState::LocateAt(int64_t pts, const TGoOnFunc* goOn) {
    if (!IsOpen())
        return false;
    if (goOn != nullptr && !(*goOn)())
        return false;
    // Already there, or near enough ahead to decode on.
    if (HasCurrent && CurrentPts <= pts) {
        if (HasPending && PendingPts > pts)
            return true;
        if (!HasPending && DecoderEnded)
            return true;
        if (ForwardIsCheaper(pts))
            return DecodeForward(pts, goOn);
    }
    if (!LandBefore(pts))
        return false;
    if (goOn != nullptr && !(*goOn)())
        return false;
    return DecodeForward(pts, goOn);
}

bool TFFDecoder::TState::Convert(const AVFrame* frame, QImage& image) {
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat source = PlainFormat(AVPixelFormat(frame->format), fullRange);
    const AVPixelFormat target =
        image.format() == QImage::Format_RGB32 ? AV_PIX_FMT_RGB32 : AV_PIX_FMT_RGB24;
    const bool scaled = frame->width != SwsDstWidth || frame->height != SwsDstHeight;
    TScalerKey key;
    key.SrcWidth = frame->width;
    key.SrcHeight = frame->height;
    key.SrcFormat = source;
    key.DstWidth = SwsDstWidth;
    key.DstHeight = SwsDstHeight;
    key.DstFormat = target;
    key.Flags = scaled ? SWS_BICUBIC : SWS_POINT;
    key.Colorspace = SwsColorspace(frame->colorspace, frame->height);
    key.FullRange = fullRange;
    SwsContext* context = Scaler.Get(key);
    if (!context)
        return false;
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    return sws_scale(context, frame->data, frame->linesize, 0, frame->height, planes, strides) > 0;
}

QSize SquarePixelSize(const QSize& coded, double sampleAspect) {
    // Aspects beyond 1:16 and 16:1 are damaged headers, not pixels.
    if (!(sampleAspect >= 1.0 / 16 && sampleAspect <= 16) || sampleAspect == 1.0)
        return coded;
    // Widen for wide pixels, heighten for tall ones: no detail is thrown away.
    if (sampleAspect > 1)
        return {std::max(1, int(std::lround(coded.width() * sampleAspect))), coded.height()};
    return {coded.width(), std::max(1, int(std::lround(coded.height() / sampleAspect)))};
}

TFFDecoder::TFFDecoder(QObject* owner) : TCustomDecoder(owner), F(std::make_unique<TState>()) {
    // The libraries' own console messages would only repeat what the results say.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_FATAL); });
}

TFFDecoder::~TFFDecoder() = default;

bool TFFDecoder::LoadAVLib(const QString& folder) {
    F->LibraryFolder = folder;
    return true;
}

QString TFFDecoder::LibraryFolder() const {
    return F->LibraryFolder;
}

bool TFFDecoder::LoadFile(const QString& fileName, const QString& formatName) {
    if (!F->Open(fileName, formatName)) {
        F->FileName.clear();
        F->FormatName.clear();
        return false;
    }
    F->FileName = fileName;
    F->FormatName = formatName;
    return true;
}

void TFFDecoder::CloseFile() {
    F->Close();
    F->FileName.clear();
    F->FormatName.clear();
}

int TFFDecoder::VideoStreamIndex() const {
    return F->StreamIndex;
}

TVideoStreamInfo TFFDecoder::GetVideoStreamInfos(int index) const {
    if (index < 0 || index != F->StreamIndex)
        return TVideoStreamInfo();
    return F->Info;
}

TFileStreamInfo TFFDecoder::GetFileStreamInfo() const {
    return F->FileInfo;
}

void TFFDecoder::SetBitmapBitsPixel(int bits) {
    if (bits == 24 || bits == 32)
        F->BitsPixel = bits;
}

void TFFDecoder::SetDeinterlace(bool on) {
    F->Deinterlace = on;
}

int TFFDecoder::BitmapBitsPixel() const {
    return F->BitsPixel;
}

bool TFFDecoder::Decode(int count) {
    if (!F->IsOpen())
        return false;
    const int steps = count > 1 ? count : 1;
    for (int i = 0; i < steps; ++i) {
        if (F->HasPending) {
            std::swap(F->Current, F->Pending);
            F->CurrentPts = F->PendingPts;
            F->HasPending = false;
        } else {
            int64_t pts = 0;
            if (!F->ReceiveFrame(F->Spare, pts))
                return false;
            std::swap(F->Current, F->Spare);
            F->CurrentPts = pts;
        }
        F->HasCurrent = true;
    }
    return true;
}

int64_t TFFDecoder::CurrentPTS() const {
    return F->HasCurrent ? F->CurrentPts : AV_NOPTS_VALUE;
}

bool TFFDecoder::CurrentIsKeyFrame() const {
    return F->HasCurrent &&
           (F->Current->key_frame != 0 || F->Current->pict_type == AV_PICTURE_TYPE_I);
}

bool TFFDecoder::CopyToBitmap(QImage& bitmap) {
    if (!F->IsOpen() || !F->HasCurrent)
        return false;
    const QImage::Format format = F->BitsPixel == 32 ? QImage::Format_RGB32 : QImage::Format_RGB888;
    const int width = F->SwsDstWidth;
    const int height = F->SwsDstHeight;
    if (F->Info.Rotation != 0) {
        if (F->Unrotated.width() != width || F->Unrotated.height() != height ||
            F->Unrotated.format() != format)
            F->Unrotated = PaddedImage(width, height, format);
        if (F->Unrotated.isNull() || !F->Convert(F->Current.get(), F->Unrotated))
            return false;
        bitmap = F->Unrotated.transformed(QTransform().rotate(F->Info.Rotation));
        return !bitmap.isNull();
    }
    // The picture handed out last time comes back: when no one else shares it, it is written in
    // place, without allocating or copying.
    if (!F->Output.isNull() && bitmap.constBits() == F->Output.constBits() &&
        bitmap.format() == format && bitmap.width() == width && bitmap.height() == height) {
        F->Output = QImage();
        if (bitmap.isDetached()) {
            const bool converted = F->Convert(F->Current.get(), bitmap);
            F->Output = bitmap;
            return converted;
        }
    }
    QImage fresh = PaddedImage(width, height, format);
    if (fresh.isNull() || !F->Convert(F->Current.get(), fresh))
        return false;
    bitmap = fresh;
    F->Output = std::move(fresh);
    return true;
}

bool TFFDecoder::Seek(int64_t pts, TSeekFlags flags) {
    if (!F->IsOpen() || pts == AV_NOPTS_VALUE)
        return false;
    // Landing backward is checked by decoding the frame there: containers without an index land
    // only near the time, and on no key frame.
    if (flags.testFlag(TSeekFlag::Backward) && !flags.testFlag(TSeekFlag::Any))
        return F->LandBefore(pts);
    int avFlags = 0;
    if (flags.testFlag(TSeekFlag::Backward))
        avFlags |= AVSEEK_FLAG_BACKWARD;
    if (flags.testFlag(TSeekFlag::Any))
        avFlags |= AVSEEK_FLAG_ANY;
    if (!F->SeekStream(F->ToStreamTs(pts), avFlags))
        return false;
    int64_t first = 0;
    if (!F->ReceiveFrame(F->Pending, first))
        return false;
    F->HasPending = true;
    F->PendingPts = first;
    return true;
}

bool TFFDecoder::LocateVideoPTS(int64_t pts) {
    if (pts == AV_NOPTS_VALUE)
        return false;
    return F->LocateAt(pts, nullptr);
}

bool TFFDecoder::LocateVideoPTSCallback(int64_t pts, const TGoOnFunc& goOn) {
    if (pts == AV_NOPTS_VALUE)
        return false;
    return F->LocateAt(pts, goOn ? &goOn : nullptr);
}

int TFFDecoder::DamagedFramesLeftOut() const {
    return F->Damage.LeftOut();
}
