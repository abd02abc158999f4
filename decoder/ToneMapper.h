#pragma once
// High-dynamic-range pictures (PQ or HLG transfer, BT.2020 colours) brought to standard range
// (BT.709) as a good player shows them on an ordinary screen: to linear light (100 cd/m² as 1) in
// BT.709 primaries, Hable's filmic curve up to the signal's peak on the brightest channel of each
// pixel (the colour keeps its proportions), then the BT.709 transfer. The colour conversions are
// zimg's (the library FFmpeg's zscale filter runs on), the curve is FFmpeg's tonemap filter's, so
// pictures look as `zscale,tonemap=hable:desat=0,zscale` makes them, without loading the filter
// library. Pictures come out as 8-bit planar RGB (green, blue, red planes).

#include "decoder/FFmpegPtr.h"

#include <memory>
#include <vector>

enum class THdrTransfer { None, PQ, HLG };

// What a picture's colour tags say. PQ or HLG transfer counts only with BT.2020 primaries and
// matrix (or none stated); missing, unknown or contradictory tags are standard range.
THdrTransfer HdrTransfer(const AVFrame* frame);

// The brightest light of a stream relative to 100 cd/m² (its content light level, else its
// mastering display's peak), from the stream's header; 0 when the stream states none.
double StreamSignalPeak(const AVStream* stream);

class TToneMapper {
public:
    TToneMapper();
    ~TToneMapper();
    TToneMapper(const TToneMapper&) = delete;
    TToneMapper& operator=(const TToneMapper&) = delete;

    // The peak used when a picture carries no light-level facts of its own (0: 1000 cd/m²).
    void SetStreamPeak(double peak) { StreamPeak = peak; }
    // Tone-maps `frame` (which HdrTransfer finds PQ or HLG) into `target`. False when the
    // conversion cannot be made for the picture's format or the picture is refused.
    bool Map(const AVFrame* frame, AVFrame* target);
    void Reset();

private:
    struct TGraphs;
    bool Build(const AVFrame* frame);
    // Whether the graphs were made for pictures like `frame`.
    bool BuiltFor(const AVFrame* frame) const;
    // `frame`'s planes as zimg reads them (aligned rows; copied when the picture's are not).
    bool SourcePlanes(const AVFrame* frame, const void* planes[3], ptrdiff_t strides[3]);
    // The curved linear planes to 8-bit BT.709 in `target`, with `frame`'s timing.
    bool WriteStandard(const AVFrame* frame, AVFrame* target);

    std::unique_ptr<TGraphs> Graphs; // to linear light, and from it to 8-bit BT.709
    int Width = 0, Height = 0, Format = -1, Transfer = -1, Range = -1, Location = -1, Matrix = -1;
    double StreamPeak = 0;
};
