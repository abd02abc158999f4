#pragma once
// The inside of the FFmpeg decoder, shared by its source files: opening a file (DecoderOpen.cpp),
// reading and locating frames (DecoderRead.cpp) and the public face (FFDecoder.cpp). One file is
// open at a time; one decoded frame is current and at most one more (read ahead while locating)
// waits to be handed out by the next Decode.

#include "decoder/DamageTracker.h"
#include "decoder/Deinterlacer.h"
#include "decoder/DisposablePackets.h"
#include "decoder/FFDecoder.h"
#include "decoder/FFmpegPtr.h"
#include "decoder/PictureConverter.h"

#include <QString>

namespace decoder {

inline constexpr AVRational MicroBase = {1, int(PtsTicksPerSecond)};

// A file whose packets the decoder keeps refusing is treated as ended.
inline constexpr int MaxRefusedPackets = 200;
// After a seek, packets before the first key frame are passed over, but no further than this: a
// stream without marked key frames (intra refresh) is then decoded as it comes.
inline constexpr int MaxSkippedPackets = 600;
// Without an index to consult, a locate this close ahead of the current frame decodes forward.
inline constexpr int64_t ForwardWithoutIndex = 2 * PtsTicksPerSecond;
// A locate steps back this far (doubling) when a seek lands after the wanted time.
inline constexpr int64_t FirstBackStep = PtsTicksPerSecond;
inline constexpr int MaxSeekAttempts = 8;

} // namespace decoder

struct TFFDecoder::TState {
    QString FileName;
    QString FormatName;
    int BitsPixel = 24;

    ffmpeg::TFormatPtr Format;
    ffmpeg::TCodecPtr Codec;
    ffmpeg::TPacketPtr Packet;
    AVStream* Stream = nullptr;
    int StreamIndex = -1;
    AVRational TimeBase = {1, 1};
    int64_t StartTs = 0; // the stream's time that PTS 0 stands for, in stream units

    TVideoStreamInfo Info;
    TFileStreamInfo FileInfo;
    int64_t FrameDuration = 0; // nominal, in PTS ticks; 0 when unknown
    int64_t FirstFramePts = AV_NOPTS_VALUE;

    // The current frame and the one read ahead of it.
    ffmpeg::TFramePtr Current, Pending, Spare;
    ffmpeg::TFramePtr Raw; // a decoded picture on its way into the deinterlacer
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

    // The current frame's pictures, as a player shows them.
    TPictureConverter Pictures;
    uint64_t CurrentSerial = 0; // counts up whenever another frame becomes current

    // Pictures marked interlaced are deinterlaced before anyone sees them.
    bool Deinterlace = true;
    TDeinterlacer Deinterlacer;
    bool DeinterlacerDrained = false; // told that no picture follows
    TDamageTracker Damage;            // damaged pictures are left out

    // Frames nothing is predicted from are not decoded when the reader does not want them.
    TDisposablePackets Disposable;
    TFrameWantedFunc Wanted;
    bool Locating = false;       // a locate decodes every frame
    bool SeenInterlaced = false; // so does a stream with interlaced pictures (fields in packets)
    int LeftUndecoded = 0;

    bool IsOpen() const { return Codec != nullptr && StreamIndex >= 0; }

    int64_t ToPts(int64_t ts) const {
        return av_rescale_q(ts - StartTs, TimeBase, decoder::MicroBase);
    }
    int64_t ToStreamTs(int64_t pts) const {
        return StartTs + av_rescale_q(pts, decoder::MicroBase, TimeBase);
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
    bool ReceiveFrame(ffmpeg::TFramePtr& target, int64_t& pts);
    bool ReceiveDecoded(ffmpeg::TFramePtr& target, int64_t& pts);
    // Whether the packet just read holds a frame to leave undecoded.
    bool LeavesOut(const AVPacket* packet) const;
    void ResetReading();
    bool SeekStream(int64_t ts, int flags);
    bool Rewind();
    bool LandBefore(int64_t pts);
    bool LocateAt(int64_t pts, const TGoOnFunc* goOn);
    bool DecodeForward(int64_t pts, const TGoOnFunc* goOn);
    bool ForwardIsCheaper(int64_t pts) const;
    // Makes the frame read ahead the current one.
    void TakePending();
};
