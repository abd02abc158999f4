#pragma once
// Which packets of a video stream hold pictures that no other picture is predicted from, so that
// leaving them out of the decoding changes no other picture (the way players fast-forward):
// H.264 pictures whose slices all have nal_ref_idc 0; HEVC sub-layer non-reference pictures of
// the highest temporal sub-layer the stream declares; and packets the container marks
// disposable. Anything else, or anything that does not parse, counts as needed.

#include <cstdint>

struct AVCodecParameters;
struct AVPacket;

class TDisposablePackets {
public:
    // Learns the stream's codec and how its packets are framed (length-prefixed NAL units as in
    // MP4 and Matroska, or start codes as in transport streams).
    void Setup(const AVCodecParameters* parameters);
    bool Disposable(const AVPacket* packet) const;
    // The same for the bytes of one packet.
    bool Disposable(const uint8_t* data, int size) const;

private:
    enum class TCodec { Other, H264, Hevc };
    // Whether the NAL unit (from its header on) is a picture's slice, and if so whether other
    // pictures may be predicted from it.
    enum class TNal { NotSlice, Reference, NonReference };
    TNal Classify(const uint8_t* nal, int size) const;
    TCodec FCodec = TCodec::Other;
    int FLengthSize = 0;       // bytes of each NAL unit's length; 0: start codes
    int FHighestSubLayer = -1; // HEVC: the highest temporal id; -1 when unknown
};
