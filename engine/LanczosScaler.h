#pragma once
// Scales one 8-bit plane (a colour of an RGB picture, say) with a Lanczos filter (three lobes; as
// wide as three output pixels each side when shrinking), first along the rows, then down the
// columns. Source positions are taken at the centres of the pixels, and the edge pixels repeat
// beyond the picture. Weights have 14 bits and the picture between the passes 6 bits below a
// level, so each output level is the nearest (or next to the nearest) to the filter's value.
//
// Along the rows, eight output pixels at a time go through a few vector instructions (AVX2) for
// each pair of weights: a shuffle sets the two source pixels of each side by side, and one
// multiply-add takes all eight. Where the rows shrink by exactly two (the common case of halving
// a video), every output pixel away from the edges has the same weights and needs no shuffle:
// there the scaling library, which works out one output pixel at a time, takes about twice as
// long; at other sizes about a sixth longer. Rows shrunk by more than four, and processors
// without AVX2, are left to it.

#include <cstdint>
#include <vector>

class TLanczosScaler {
public:
    // Whether Scale takes rows `srcWidth` wide to `dstWidth` (any heights): shrunk by at most
    // four or grown, on a processor with AVX2.
    static bool Handles(int srcWidth, int dstWidth);
    // `src`: srcWidth × srcHeight bytes, rows srcStride apart; `dst`: dstWidth × dstHeight bytes,
    // rows dstStride apart. False (nothing written) when the sizes are not handled.
    [[nodiscard]] bool Scale(const uint8_t* src, int srcStride, int srcWidth, int srcHeight,
                             uint8_t* dst, int dstStride, int dstWidth, int dstHeight);

    // One dimension's filter: for each output pixel, the first source pixel it reads and Taps
    // weights (in 1/16384, summing to 16384) for it and the pixels after it, all inside the
    // source. Output pixels [FirstInside, EndInside) come in blocks of eight whose windows lie
    // well inside the source: per block, where each one's pairs of pixels are (a shuffle of
    // bytes) and its Pairs pairs of weights (two 16-bit weights in each, the first low); when
    // shrinking by two, PairWeights holds the pairs all of them share.
    struct TFilter {
        int SourceSize = 0, Size = 0, Taps = 0;
        std::vector<int> Start;
        std::vector<int16_t> Weights; // Size × Taps
        int Pairs = 0;
        int FirstInside = 0, EndInside = 0;
        std::vector<int8_t> BlockPick;     // 32 a block
        std::vector<int32_t> BlockWeights; // Pairs × 8 a block
        std::vector<int32_t> PairWeights;
    };
    // `blocks`: with the blocks of eight (for the rows).
    static TFilter MakeFilter(int sourceSize, int size, bool blocks);

private:
    static void FindInside(TFilter& f, const std::vector<bool>& inside);
    // Adds the block of output pixels from `i` on; false when their windows do not fit.
    static bool AddBlock(TFilter& f, int i);

    TFilter FRows, FColumns; // along a row (widths), down a column (heights)
    std::vector<int16_t> FRing;
    std::vector<int32_t> FSums;
};
