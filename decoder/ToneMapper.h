#pragma once
// High-dynamic-range pictures (PQ or HLG transfer, BT.2020 colours) brought to standard range
// (BT.709) as a good player shows them on an ordinary screen: through FFmpeg's zscale and tonemap
// filters, to linear light, into BT.709 primaries, Hable's filmic curve up to the signal's peak,
// then the BT.709 transfer. Pictures come out as 8-bit planar RGB (green, blue, red planes).

#include "decoder/FFmpegPtr.h"
#include "decoder/FilterChain.h"

enum class THdrTransfer { None, PQ, HLG };

// What a picture's colour tags say. PQ or HLG transfer counts only with BT.2020 primaries and
// matrix (or none stated); missing, unknown or contradictory tags are standard range.
THdrTransfer HdrTransfer(const AVFrame* frame);

// The brightest light of a stream relative to 100 cd/m² (its content light level, else its
// mastering display's peak), from the stream's header; 0 when the stream states none.
double StreamSignalPeak(const AVStream* stream);

class TToneMapper {
public:
    // Filters through `library`; by default through the shared one, loaded when the first
    // high-dynamic-range picture comes.
    explicit TToneMapper(const TFilterLibrary* library = nullptr);
    ~TToneMapper();
    TToneMapper(const TToneMapper&) = delete;
    TToneMapper& operator=(const TToneMapper&) = delete;

    // The peak used when a picture carries no light-level facts of its own (0: the filter's own
    // guess).
    void SetStreamPeak(double peak) { StreamPeak = peak; }
    // Tone-maps `frame` (which HdrTransfer finds PQ or HLG) into `target`. False when the filter
    // cannot be made or refuses the picture.
    bool Map(const AVFrame* frame, AVFrame* target);
    void Reset();

private:
    bool Build(const AVFrame* frame, double peak);

    TFilterChain Chain;
    ffmpeg::TFramePtr Input; // the picture as it goes in, with its tags completed
    int Width = 0, Height = 0, Format = -1, Transfer = -1;
    double Peak = -1;
    double StreamPeak = 0;
};
