// The remapper's rows eight pixels at a time with AVX2: the remembered answers of eight colours
// are gathered at once, and so are the palette colours the choice between the nearest colour and
// the one on screen needs. A colour not remembered yet is searched for one at a time, as the
// plain loop does, so the indices are the same.

#include "engine/Quantizer.h"

#include <algorithm>
#include <immintrin.h>

namespace {

// Eight red-green-blue pixels (24 bytes) as one colour a 32-bit lane, red in the low byte.
__attribute__((target("avx2"))) __m256i LoadRgb8(const uchar* rgb) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i low =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb)), spread);
    const __m128i high =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb + 12)), spread);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// The squared distance of two colours a lane, each with its channels at bits 0, 8 and 16.
__attribute__((target("avx2"))) __m256i Distance8(__m256i a, __m256i b) {
    const __m256i byte = _mm256_set1_epi32(0xFF);
    __m256i sum = _mm256_setzero_si256();
    for (int shift = 0; shift < 24; shift += 8) {
        const __m256i d = _mm256_sub_epi32(_mm256_and_si256(_mm256_srli_epi32(a, shift), byte),
                                           _mm256_and_si256(_mm256_srli_epi32(b, shift), byte));
        sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(d, d));
    }
    return sum;
}

// A palette colour 0xAARRGGBB with red moved to the low byte and blue to the third.
__attribute__((target("avx2"))) __m256i RedLow(__m256i argb) {
    const __m256i swap = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2,
                                          1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    return _mm256_shuffle_epi8(argb, swap);
}

} // namespace

__attribute__((target("avx2"))) int TRemapper::RemapRowAvx2(const uchar* in, const uchar* seen,
                                                            int width, uchar* out,
                                                            int keepDistance) {
    const bool keep = seen != nullptr;
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i low6 = _mm256_set1_epi32(63);
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i clear = _mm256_set1_epi32(std::max(FTransparent, 0));
    const __m256i transparent = _mm256_set1_epi32(FTransparent);
    const __m256i allowance = _mm256_set1_epi32(keepDistance);
    const auto* known = reinterpret_cast<const int*>(FKnown.get());
    const auto* palette = reinterpret_cast<const int*>(FPalette.constData());
    // The shown colours are read 28 bytes at a time from the pixel on: stop where that would
    // pass the row's end.
    int x = 0;
    for (; x + 10 <= width; x += 8) {
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x * 4));
        const __m256i empty =
            _mm256_cmpeq_epi32(_mm256_srli_epi32(pixels, 24), _mm256_setzero_si256());
        const __m256i r = _mm256_and_si256(pixels, byte);
        const __m256i g = _mm256_and_si256(_mm256_srli_epi32(pixels, 8), byte);
        const __m256i b = _mm256_and_si256(_mm256_srli_epi32(pixels, 16), byte);
        // The place and tag KnownSlot and KnownTag give the colour (r << 16 | g << 8 | b).
        const __m256i slot = _mm256_or_si256(
            _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(r, low6), 2 * knownBits),
                            _mm256_slli_epi32(_mm256_and_si256(g, low6), knownBits)),
            _mm256_and_si256(b, low6));
        const __m256i tag = _mm256_add_epi32(
            _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(_mm256_srli_epi32(r, 6), 4),
                                            _mm256_slli_epi32(_mm256_srli_epi32(g, 6), 2)),
                            _mm256_srli_epi32(b, 6)),
            one);
        const __m256i answer =
            _mm256_and_si256(_mm256_i32gather_epi32(known, slot, 2), _mm256_set1_epi32(0xFFFF));
        // Pixels left out (alpha 0) take entry 0 until the end, so the palette is never read
        // past its end for them.
        __m256i index = _mm256_andnot_si256(empty, _mm256_and_si256(answer, byte));
        const __m256i found =
            _mm256_or_si256(empty, _mm256_cmpeq_epi32(_mm256_srli_epi32(answer, 8), tag));
        const int missing = ~_mm256_movemask_ps(_mm256_castsi256_ps(found)) & 0xFF;
        if (missing != 0) {
            alignas(32) int lanes[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), index);
            for (int lane = 0; lane < 8; ++lane)
                if ((missing >> lane) & 1) {
                    const uchar* p = in + (x + lane) * 4;
                    lanes[lane] = Nearest(p[0], p[1], p[2]);
                }
            index = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
        }
        __m256i result = index;
        if (keep) {
            const __m256i shown = LoadRgb8(seen + x * 3);
            const __m256i chosen = RedLow(_mm256_i32gather_epi32(palette, index, 4));
            const __m256i shownDistance = Distance8(pixels, shown);
            const __m256i nearDistance = Distance8(pixels, chosen);
            // shown <= near + allowance
            const __m256i kept = _mm256_xor_si256(
                _mm256_cmpgt_epi32(shownDistance, _mm256_add_epi32(nearDistance, allowance)),
                _mm256_set1_epi32(-1));
            result = _mm256_blendv_epi8(result, transparent, kept);
        }
        result = _mm256_blendv_epi8(result, clear, empty);
        const __m128i packed =
            _mm_packus_epi32(_mm256_castsi256_si128(result), _mm256_extracti128_si256(result, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(packed, packed));
    }
    return x;
}
