// Reading frames in the FFmpeg decoder: packets through the codec and the deinterlacer, damaged
// pictures left out, seeking and locating the frame shown at a time.

#include "decoder/DecoderState.h"

#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

using namespace decoder;
using ffmpeg::TFramePtr;

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
            SeenInterlaced = SeenInterlaced || target->interlaced_frame != 0;
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
        if (LeavesOut(Packet.get())) {
            ++LeftUndecoded;
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

bool TFFDecoder::TState::LeavesOut(const AVPacket* packet) const {
    // Whether the frame is wanted is a quick look-up; reading the packet's headers comes after.
    return Wanted && !Locating && !SkipToKey && !SeenInterlaced && !Deinterlacer.Active() &&
           packet->pts != AV_NOPTS_VALUE && !Wanted(ToPts(packet->pts)) &&
           Disposable.Disposable(packet);
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
    TFrameWantedFunc wanted = Wanted;
    const bool opened = Open(fileName, formatName);
    FileName = fileName;
    FormatName = formatName;
    BitsPixel = bits;
    Wanted = std::move(wanted);
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
        TakePending();
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

void TFFDecoder::TState::TakePending() {
    std::swap(Current, Pending);
    HasCurrent = true;
    CurrentPts = PendingPts;
    HasPending = false;
    ++CurrentSerial;
}
