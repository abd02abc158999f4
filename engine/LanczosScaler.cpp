#include "engine/LanczosScaler.h"

#include "common/SysInfo.h"

#include <algorithm>
#include <cmath>
#include <immintrin.h>

namespace {

constexpr int lobes = 3;
constexpr int weightBits = 14;
constexpr int between = 6; // fraction bits of the picture between the passes
constexpr int rowShift = weightBits - between;
constexpr int columnShift = weightBits + between;
constexpr double pi = 3.14159265358979323846;

double Lanczos(double x) {
    x = std::fabs(x);
    if (x < 1e-9)
        return 1.0;
    if (x >= lobes)
        return 0.0;
    return lobes * std::sin(pi * x) * std::sin(pi * x / lobes) / (pi * pi * x * x);
}

// Weights that sum to exactly 1 << weightBits: each rounded, and what rounding lost or gained
// given to the largest.
std::vector<int16_t> FixedWeights(const std::vector<double>& weights) {
    double sum = 0;
    for (double w : weights)
        sum += w;
    std::vector<int16_t> fixed(weights.size());
    int total = 0;
    size_t largest = 0;
    for (size_t k = 0; k < weights.size(); ++k) {
        fixed[k] = static_cast<int16_t>(std::lround(weights[k] / sum * (1 << weightBits)));
        total += fixed[k];
        if (std::abs(weights[k]) > std::abs(weights[largest]))
            largest = k;
    }
    fixed[largest] = static_cast<int16_t>(fixed[largest] + (1 << weightBits) - total);
    return fixed;
}

// Whether the rows shrink by exactly two.
bool ByTwo(int sourceSize, int size) {
    return size >= 1 && sourceSize == 2 * size;
}

#define Kernel inline __attribute__((always_inline))

// Output pixels [from, to) of one row (6 fraction bits), one at a time.
Kernel void FilterRowPlain(const uint8_t* in, const TLanczosScaler::TFilter& f, int16_t* out,
                           int from, int to) {
    for (int i = from; i < to; ++i) {
        const uint8_t* p = in + f.Start[static_cast<size_t>(i)];
        const int16_t* w = f.Weights.data() + static_cast<size_t>(i) * f.Taps;
        int32_t sum = 0;
        for (int k = 0; k < f.Taps; ++k)
            sum += static_cast<int32_t>(p[k]) * w[k];
        out[i] = static_cast<int16_t>((sum + (1 << (rowShift - 1))) >> rowShift);
    }
}

// One output row from `rows` (Taps rows of the ring, 6 fraction bits), through `sums`.
Kernel void FilterColumns(const int16_t* const* rows, const int16_t* w, int taps, int width,
                          int32_t* sums, uint8_t* out) {
    std::fill(sums, sums + width, 0);
    for (int k = 0; k < taps; ++k) {
        if (w[k] == 0)
            continue;
        const int16_t* row = rows[k];
        const int32_t weight = w[k];
        for (int x = 0; x < width; ++x)
            sums[x] += row[x] * weight;
    }
    for (int x = 0; x < width; ++x)
        out[x] = static_cast<uint8_t>(
            std::clamp((sums[x] + (1 << (columnShift - 1))) >> columnShift, 0, 255));
}

// Pair `p` of the taps of eight output pixels, their first four reading from `first` on and the
// others from `fifth` on, as `pick` says, times their weights.
__attribute__((target("avx2"))) Kernel __m256i PairProducts(const uint8_t* first,
                                                            const uint8_t* fifth,
                                                            const int32_t* weights, __m256i pick,
                                                            int p) {
    const __m256i bytes = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 2 * p))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(fifth + 2 * p)), 1);
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights + p * 8));
    return _mm256_madd_epi16(_mm256_shuffle_epi8(bytes, pick), w);
}

// Eight output pixels at a time, for each pair of taps: the two source pixels of each of the
// eight side by side (a shuffle picks them out of two loads, one from the first of the eight and
// one from the fifth), multiplied with the eight pairs of weights and added in one step; two sums
// keep the additions apart. Where the rows shrink by exactly two, every output pixel inside the
// picture has the same weights and the pairs are simply the next sixteen source pixels.
template <bool byTwo>
__attribute__((target("avx2"))) void FilterRowAvx2(const uint8_t* in,
                                                   const TLanczosScaler::TFilter& f, int16_t* out) {
    constexpr int twoPairs = lobes * 2;
    __m256i same[twoPairs];
    if constexpr (byTwo)
        for (int p = 0; p < twoPairs; ++p)
            same[p] = _mm256_set1_epi32(f.PairWeights[static_cast<size_t>(p)]);
    const __m256i half = _mm256_set1_epi32(1 << (rowShift - 1));
    FilterRowPlain(in, f, out, 0, f.FirstInside);
    int i = f.FirstInside;
    for (size_t block = 0; i < f.EndInside; i += 8, ++block) {
        const uint8_t* first = in + f.Start[static_cast<size_t>(i)];
        const uint8_t* fifth = in + f.Start[static_cast<size_t>(i + 4)];
        __m256i sums[2] = {_mm256_setzero_si256(), _mm256_setzero_si256()};
        if constexpr (byTwo) {
#pragma GCC unroll 6
            for (int p = 0; p < twoPairs; ++p) {
                const __m256i pixels = _mm256_cvtepu8_epi16(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 2 * p)));
                sums[p & 1] = _mm256_add_epi32(sums[p & 1], _mm256_madd_epi16(pixels, same[p]));
            }
        } else {
            const __m256i pick = _mm256_loadu_si256(
                reinterpret_cast<const __m256i*>(f.BlockPick.data() + block * 32));
            const int32_t* weights = f.BlockWeights.data() + block * f.Pairs * 8;
            for (int p = 0; p < f.Pairs; p += 2) { // an even number of pairs
                sums[0] = _mm256_add_epi32(sums[0], PairProducts(first, fifth, weights, pick, p));
                sums[1] =
                    _mm256_add_epi32(sums[1], PairProducts(first, fifth, weights, pick, p + 1));
            }
        }
        const __m256i sum =
            _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(sums[0], sums[1]), half), rowShift);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(sum, sum), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(packed));
    }
    FilterRowPlain(in, f, out, i, f.Size);
}

// Down the columns, sixteen output pixels at a time: two rows' values side by side (unpacked
// into pairs), multiplied with the two rows' weights and added in one step.
__attribute__((target("avx2"))) void FilterColumnsAvx2(const int16_t* const* rows, const int16_t* w,
                                                       int taps, int width, int32_t* sums,
                                                       uint8_t* out) {
    const __m256i half = _mm256_set1_epi32(1 << (columnShift - 1));
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        __m256i low = _mm256_setzero_si256(), high = _mm256_setzero_si256();
        for (int k = 0; k < taps; k += 2) {
            const int16_t second = k + 1 < taps ? w[k + 1] : 0;
            if (w[k] == 0 && second == 0)
                continue;
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + x));
            const __m256i b =
                second == 0 ? _mm256_setzero_si256()
                            : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k + 1] + x));
            const __m256i pair = _mm256_set1_epi32(
                static_cast<int32_t>(static_cast<uint16_t>(w[k])) |
                static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(second)) << 16));
            low = _mm256_add_epi32(low, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), pair));
            high = _mm256_add_epi32(high, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), pair));
        }
        low = _mm256_srai_epi32(_mm256_add_epi32(low, half), columnShift);
        high = _mm256_srai_epi32(_mm256_add_epi32(high, half), columnShift);
        const __m256i words = _mm256_packs_epi32(low, high); // pixels in order, per half
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm256_castsi256_si128(bytes));
    }
    if (x < width) {
        std::vector<const int16_t*> rest(static_cast<size_t>(taps));
        for (int k = 0; k < taps; ++k)
            rest[static_cast<size_t>(k)] = rows[k] + x;
        FilterColumns(rest.data(), w, taps, width - x, sums, out + x);
    }
}

// Both passes, row by row: each output row filters down the columns of the source rows it needs,
// which were filtered along once each into a ring of rows.
template <bool byTwo>
__attribute__((target("avx2"))) void ScaleAvx2(const uint8_t* src, int srcStride, uint8_t* dst,
                                               int dstStride, const TLanczosScaler::TFilter& across,
                                               const TLanczosScaler::TFilter& down, int16_t* ring,
                                               int32_t* sums) {
    const int ringRows = down.Taps;
    const int width = across.Size;
    std::vector<const int16_t*> rows(static_cast<size_t>(down.Taps));
    int filtered = 0; // source rows filtered so far
    for (int y = 0; y < down.Size; ++y) {
        const int first = down.Start[static_cast<size_t>(y)];
        for (; filtered < first + down.Taps; ++filtered)
            FilterRowAvx2<byTwo>(src + static_cast<ptrdiff_t>(filtered) * srcStride, across,
                                 ring + static_cast<ptrdiff_t>(filtered % ringRows) * width);
        for (int k = 0; k < down.Taps; ++k)
            rows[static_cast<size_t>(k)] =
                ring + static_cast<ptrdiff_t>((first + k) % ringRows) * width;
        FilterColumnsAvx2(rows.data(), down.Weights.data() + static_cast<size_t>(y) * down.Taps,
                          down.Taps, width, sums, dst + static_cast<ptrdiff_t>(y) * dstStride);
    }
}

} // namespace

bool TLanczosScaler::Handles(int srcWidth, int dstWidth) {
    // Four output pixels' pairs of source pixels must lie within sixteen of them.
    return CpuHasAvx2() && srcWidth >= 1 && dstWidth >= 1 && srcWidth <= 4 * dstWidth;
}

TLanczosScaler::TFilter TLanczosScaler::MakeFilter(int sourceSize, int size, bool blocks) {
    TFilter f;
    f.SourceSize = sourceSize;
    f.Size = size;
    const double scale = static_cast<double>(sourceSize) / size;
    const double stretch = std::max(scale, 1.0); // shrinking widens the kernel
    const double reach = lobes * stretch;
    // The widest window any output pixel needs (or the whole source, if narrower).
    f.Taps = std::min(static_cast<int>(std::ceil(2 * reach)) + 1, sourceSize);
    f.Start.resize(static_cast<size_t>(size));
    f.Weights.assign(static_cast<size_t>(size) * f.Taps, 0);
    std::vector<bool> inside(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int low = static_cast<int>(std::floor(centre - reach)) + 1;
        const int high = static_cast<int>(std::ceil(centre + reach)) - 1;
        // Pixels beyond the edges are the edge pixels: their weights go to those.
        const int first = std::clamp(low, 0, sourceSize - 1);
        const int last = std::clamp(high, 0, sourceSize - 1);
        std::vector<double> weights(static_cast<size_t>(last - first + 1), 0.0);
        for (int j = low; j <= high; ++j)
            weights[static_cast<size_t>(std::clamp(j, 0, sourceSize - 1) - first)] +=
                Lanczos((j - centre) / stretch);
        const std::vector<int16_t> fixed = FixedWeights(weights);
        const int start = std::min(first, sourceSize - f.Taps);
        f.Start[static_cast<size_t>(i)] = start;
        for (size_t k = 0; k < fixed.size(); ++k)
            f.Weights[static_cast<size_t>(i) * f.Taps + static_cast<size_t>(first - start) + k] =
                fixed[k];
        inside[static_cast<size_t>(i)] = low >= 0 && high < sourceSize && start == first;
    }
    if (blocks)
        FindInside(f, inside);
    return f;
}

void TLanczosScaler::FindInside(TFilter& f, const std::vector<bool>& inside) {
    f.Pairs = ((f.Taps + 1) / 2 + 1) / 2 * 2; // even, for two sums
    int first = 0;
    while (first < f.Size && !inside[static_cast<size_t>(first)])
        ++first;
    int end = first;
    while (end + 8 <= f.Size && inside[static_cast<size_t>(end + 7)] && AddBlock(f, end))
        end += 8;
    f.FirstInside = first;
    f.EndInside = end;
    if (end == first || !ByTwo(f.SourceSize, f.Size))
        return;
    // Shrinking by two: the same 12 weights for every pixel inside.
    const int16_t* w = f.Weights.data() + static_cast<size_t>(first) * f.Taps;
    for (int k = 0; k < 4 * lobes; k += 2)
        f.PairWeights.push_back(
            static_cast<int32_t>(static_cast<uint16_t>(w[k])) |
            static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(w[k + 1])) << 16));
}

bool TLanczosScaler::AddBlock(TFilter& f, int i) {
    // Each half reads 16 pixels from its first pixel's start, two further for each pair; its
    // four output pixels' pairs must lie in those 16.
    for (int half = 0; half < 2; ++half) {
        const int start = f.Start[static_cast<size_t>(i + 4 * half)];
        if (start + 2 * (f.Pairs - 1) + 16 > f.SourceSize ||
            f.Start[static_cast<size_t>(i + 4 * half + 3)] - start + 1 > 15)
            return false;
    }
    for (int half = 0; half < 2; ++half) {
        const int start = f.Start[static_cast<size_t>(i + 4 * half)];
        for (int j = 0; j < 4; ++j) {
            const int at = f.Start[static_cast<size_t>(i + 4 * half + j)] - start;
            const int8_t pick[4] = {static_cast<int8_t>(at), -1, static_cast<int8_t>(at + 1), -1};
            f.BlockPick.insert(f.BlockPick.end(), pick, pick + 4);
        }
    }
    const size_t weights = f.BlockWeights.size();
    f.BlockWeights.resize(weights + static_cast<size_t>(f.Pairs) * 8);
    for (int o = 0; o < 8; ++o) {
        const int16_t* w = f.Weights.data() + static_cast<size_t>(i + o) * f.Taps;
        for (int p = 0; p < f.Pairs; ++p) {
            // Taps beyond the window (the pairs are made even) weigh nothing.
            const int16_t one = 2 * p < f.Taps ? w[2 * p] : 0;
            const int16_t second = 2 * p + 1 < f.Taps ? w[2 * p + 1] : 0;
            f.BlockWeights[weights + static_cast<size_t>(p) * 8 + static_cast<size_t>(o)] =
                static_cast<int32_t>(static_cast<uint16_t>(one)) |
                static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(second)) << 16);
        }
    }
    return true;
}

bool TLanczosScaler::Scale(const uint8_t* src, int srcStride, int srcWidth, int srcHeight,
                           uint8_t* dst, int dstStride, int dstWidth, int dstHeight) {
    if (!Handles(srcWidth, dstWidth) || srcHeight < 1 || dstHeight < 1)
        return false;
    if (FRows.SourceSize != srcWidth || FRows.Size != dstWidth)
        FRows = MakeFilter(srcWidth, dstWidth, true);
    if (FColumns.SourceSize != srcHeight || FColumns.Size != dstHeight)
        FColumns = MakeFilter(srcHeight, dstHeight, false); // columns go sixteen at a time
    FRing.resize(static_cast<size_t>(FColumns.Taps) * dstWidth);
    FSums.resize(static_cast<size_t>(dstWidth));
    const auto scale = FRows.PairWeights.empty() ? ScaleAvx2<false> : ScaleAvx2<true>;
    scale(src, srcStride, dst, dstStride, FRows, FColumns, FRing.data(), FSums.data());
    return true;
}
