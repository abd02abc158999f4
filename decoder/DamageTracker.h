#pragma once
// Which decoded pictures are damaged and so left out rather than shown: those the codec reports
// damaged (decoded only in part, missing references), the picture of a packet the container
// found broken (a transport stream with packets missing) and every picture stored after it up to
// the next key frame, as those are predicted from garbage.

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstdint>

class TDamageTracker {
public:
    // Notes a packet of the video stream as it is read.
    void PacketRead(const AVPacket* packet) {
        if ((packet->flags & AV_PKT_FLAG_CORRUPT) == 0)
            return;
        const int64_t pos = packet->pos >= 0 ? packet->pos : Unknown;
        if (First < 0)
            First = pos;
        Last = std::max(Last, pos);
    }
    // Whether `frame` is damaged; counted when it is.
    bool LeaveOut(const AVFrame* frame) {
        const bool damaged = AfterBrokenPacket(frame) ||
                             (frame->flags & AV_FRAME_FLAG_CORRUPT) != 0 ||
                             frame->decode_error_flags != 0;
        if (damaged)
            ++Count;
        return damaged;
    }
    // After a seek: the broken packets lie elsewhere.
    void Forget() { First = Last = -1; }
    void Reset() {
        Forget();
        Count = 0;
    }
    int LeftOut() const { return Count; }

private:
    static constexpr int64_t Unknown = INT64_MAX;

    bool AfterBrokenPacket(const AVFrame* frame) {
        if (First < 0)
            return false;
        const int64_t pos = frame->pkt_pos >= 0 ? frame->pkt_pos : Unknown;
        if (pos < First)
            return false;
        // A key frame stored after the damage (or anywhere, where the file gives no positions)
        // needs nothing from before it.
        if ((frame->key_frame != 0 || frame->pict_type == AV_PICTURE_TYPE_I) &&
            (pos > Last || pos == Unknown)) {
            Forget();
            return false;
        }
        return true;
    }

    // Where in the file the first and the last broken packet since the last key frame after
    // them lie; -1 when there is none.
    int64_t First = -1, Last = -1;
    int Count = 0;
};
