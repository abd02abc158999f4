#pragma once
// Scales one 8-bit plane (a colour of an RGB picture, say) with a Lanczos filter (three lobes; as
// wide as three output pixels each side when shrinking), first along the rows, then down the
// columns. Source positions are taken at the centres of the pixels, and the edge pixels repeat
// beyond the picture. Weights have 14 bits and the picture between the passes 6 bits below a
// level, so each output level is the nearest (or next to the nearest) to the filter's value.
//
// It is built for the common case of shrinking the rows by a whole factor (2, 3 or 4): every
// output pixel away from the edges then has the same weights, and eight of them at a time go
// through a few vector instructions per pair of weights (AVX2). The scaling library's general
// filters, which work out one output pixel at a time, take about twice as long there. Other
// sizes are left to it.

#include <cstdint>
#include <vector>

class TLanczosScaler {
public:
    // Whether Scale takes rows `srcWidth` wide to `dstWidth` (any heights): a whole factor of 2, 3
    // or 4, on a processor with AVX2.
    static bool Handles(int srcWidth, int dstWidth);
    // `src`: srcWidth × srcHeight bytes, rows srcStride apart; `dst`: dstWidth × dstHeight bytes,
    // rows dstStride apart. False (nothing written) when the sizes are not handled.
    [[nodiscard]] bool Scale(const uint8_t* src, int srcStride, int srcWidth, int srcHeight,
                             uint8_t* dst, int dstStride, int dstWidth, int dstHeight);

    // One dimension's filter: for each output pixel, the first source pixel it reads and Taps
    // weights (in 1/16384, summing to 16384) for it and the pixels after it, all inside the
    // source. With a whole shrink factor, output pixels [FirstInside, EndInside) (blocks of
    // eight) have their windows well inside the source, and their common weights in pairs.
    struct TFilter {
        int SourceSize = 0, Size = 0, Taps = 0;
        std::vector<int> Start;
        std::vector<int16_t> Weights; // Size × Taps
        int Factor = 0;
        int FirstInside = 0, EndInside = 0;
        std::vector<int32_t> PairWeights; // two 16-bit weights each, the first in the low half
    };
    static TFilter MakeFilter(int sourceSize, int size);

private:
    static void FindInside(TFilter& f, const std::vector<bool>& inside);

    TFilter FRows, FColumns; // along a row (widths), down a column (heights)
    std::vector<int16_t> FRing;
    std::vector<int32_t> FSums;
};
