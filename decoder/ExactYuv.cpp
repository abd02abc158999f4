#include "decoder/ExactYuv.h"

#include "common/SysInfo.h"

#include <algorithm>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

// The matrix: luma's scale and offset, and what each chroma difference adds to red, green and
// blue.
struct TMatrix {
    float LumaScale, LumaOffset;
    float RedV, GreenU, GreenV, BlueU;
};

TMatrix MatrixValues(const TYuvMatrix& matrix) {
    // The luma weights of red and blue in each matrix.
    double kr = 0.299, kb = 0.114;
    switch (matrix.SwsColorspace) {
    case SWS_CS_ITU709:
        kr = 0.2126, kb = 0.0722;
        break;
    case SWS_CS_FCC:
        kr = 0.30, kb = 0.11;
        break;
    case SWS_CS_SMPTE240M:
        kr = 0.212, kb = 0.087;
        break;
    case SWS_CS_BT2020:
        kr = 0.2627, kb = 0.0593;
        break;
    default:
        break;
    }
    const double kg = 1 - kr - kb;
    // Limited range: luma 16 to 235 and chroma 16 to 240 stretch to 0 to 255.
    const double lumaScale = matrix.FullRange ? 1.0 : 255.0 / 219.0;
    const double chromaScale = matrix.FullRange ? 1.0 : 255.0 / 224.0;
    TMatrix m;
    m.LumaScale = static_cast<float>(lumaScale);
    m.LumaOffset = matrix.FullRange ? 0.0f : 16.0f;
    m.RedV = static_cast<float>(2 * (1 - kr) * chromaScale);
    m.BlueU = static_cast<float>(2 * (1 - kb) * chromaScale);
    m.GreenU = static_cast<float>(-2 * (1 - kb) * kb / kg * chromaScale);
    m.GreenV = static_cast<float>(-2 * (1 - kr) * kr / kg * chromaScale);
    return m;
}

// Chroma sits between the luma samples it covers (as the scaling library and most players take
// it), so a full-size pixel lies a quarter or three quarters of a chroma sample from the nearest
// ones. The weights of the cubic kernel the library uses by default (Keys, a = -0.6) at those
// distances, for the samples two before to one after the first of two pixels; the second
// pixel's mirror them.
constexpr float Keys(double x) {
    constexpr double a = -0.6;
    x = x < 0 ? -x : x;
    return static_cast<float>(x < 1 ? ((a + 2) * x - (a + 3)) * x * x + 1
                                    : ((a * x - 5 * a) * x + 8 * a) * x - 4 * a);
}
constexpr float weights[4] = {Keys(1.75), Keys(0.75), Keys(0.25), Keys(1.25)};

// The row loops are compiled into each of the two whole conversions below, once for any x86-64
// processor and once for those with AVX2 (chosen when the program runs: twice the lanes, and
// what makes this faster than the library).
#define Kernel inline __attribute__((always_inline))

// A chroma row at full width from `row`, which holds `chromaWidth` samples after two copies of
// the first and before two copies of the last.
Kernel void WidenRow(const float* __restrict row, int chromaWidth, float* __restrict out) {
    for (int i = 0; i < chromaWidth; ++i) {
        const float* p = row + i;
        out[2 * i] = weights[0] * p[0] + weights[1] * p[1] + weights[2] * p[2] + weights[3] * p[3];
        out[2 * i + 1] =
            weights[3] * p[1] + weights[2] * p[2] + weights[1] * p[3] + weights[0] * p[4];
    }
}

// Four chroma rows weighted into one.
Kernel void MixRows(const uint8_t* __restrict r0, const uint8_t* __restrict r1,
                    const uint8_t* __restrict r2, const uint8_t* __restrict r3, const float w[4],
                    int chromaWidth, float* __restrict out) {
    const float w0 = w[0], w1 = w[1], w2 = w[2], w3 = w[3];
    for (int i = 0; i < chromaWidth; ++i)
        out[i] = w0 * static_cast<float>(r0[i]) + w1 * static_cast<float>(r1[i]) +
                 w2 * static_cast<float>(r2[i]) + w3 * static_cast<float>(r3[i]);
}

// The chroma row for luma row `line`, after two copies of its first sample and before two of its
// last: the plane's own row when chroma is not subsampled down, else the weighted four around it
// (edge rows repeated).
Kernel void ChromaRow(const uint8_t* plane, int stride, int chromaWidth, int chromaHeight, int down,
                      int line, float* out) {
    const auto rowAt = [&](int index) {
        return plane + static_cast<ptrdiff_t>(std::clamp(index, 0, chromaHeight - 1)) * stride;
    };
    float* middle = out + 2;
    if (down == 0) {
        const float same[4] = {0, 1, 0, 0};
        MixRows(rowAt(line), rowAt(line), rowAt(line), rowAt(line), same, chromaWidth, middle);
    } else {
        const int j = line >> 1;
        if ((line & 1) == 0) {
            MixRows(rowAt(j - 2), rowAt(j - 1), rowAt(j), rowAt(j + 1), weights, chromaWidth,
                    middle);
        } else {
            const float mirrored[4] = {weights[3], weights[2], weights[1], weights[0]};
            MixRows(rowAt(j - 1), rowAt(j), rowAt(j + 1), rowAt(j + 2), mirrored, chromaWidth,
                    middle);
        }
    }
    out[0] = out[1] = middle[0];
    out[chromaWidth + 2] = out[chromaWidth + 3] = middle[chromaWidth - 1];
}

Kernel void PixelRow(const uint8_t* __restrict y, const float* __restrict u,
                     const float* __restrict v, int width, const TMatrix m,
                     uint8_t* __restrict green, uint8_t* __restrict blue, uint8_t* __restrict red) {
    // Rounded by adding a half and cutting off: what falls below zero ends at zero or below, which
    // the clamp takes care of.
    const auto level = [](float value) {
        return static_cast<uint8_t>(std::clamp(static_cast<int>(value + 0.5f), 0, 255));
    };
    for (int x = 0; x < width; ++x) {
        const float luma = m.LumaScale * (static_cast<float>(y[x]) - m.LumaOffset);
        const float cu = u[x] - 128.0f, cv = v[x] - 128.0f;
        red[x] = level(luma + m.RedV * cv);
        green[x] = level(luma + m.GreenU * cu + m.GreenV * cv);
        blue[x] = level(luma + m.BlueU * cu);
    }
}

// How many bits chroma is subsampled by across and down, or false for other formats.
bool Subsampling(int format, int& across, int& down) {
    switch (format) {
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUVJ420P:
        across = down = 1;
        return true;
    case AV_PIX_FMT_YUV422P:
    case AV_PIX_FMT_YUVJ422P:
        across = 1;
        down = 0;
        return true;
    case AV_PIX_FMT_YUV444P:
    case AV_PIX_FMT_YUVJ444P:
        across = down = 0;
        return true;
    default:
        return false;
    }
}

} // namespace

bool ExactYuvHandles(int format) {
    int across = 0, down = 0;
    return Subsampling(format, across, down);
}

namespace {

Kernel void ConvertRows(const AVFrame* frame, const TMatrix& m, int across, int down,
                        uint8_t* const planes[3], const int strides[3]) {
    const int width = frame->width;
    const int chromaWidth = width >> across;
    const int chromaHeight = frame->height >> down;
    // Chroma rows with their ends repeated, and at full width.
    std::vector<float> rows(static_cast<size_t>(chromaWidth + 4) * 2);
    std::vector<float> wide(static_cast<size_t>(width) * 2);
    float* rowU = rows.data();
    float* rowV = rows.data() + chromaWidth + 4;
    for (int line = 0; line < frame->height; ++line) {
        ChromaRow(frame->data[1], frame->linesize[1], chromaWidth, chromaHeight, down, line, rowU);
        ChromaRow(frame->data[2], frame->linesize[2], chromaWidth, chromaHeight, down, line, rowV);
        const float* u = rowU + 2;
        const float* v = rowV + 2;
        if (across != 0) {
            WidenRow(rowU, chromaWidth, wide.data());
            WidenRow(rowV, chromaWidth, wide.data() + width);
            u = wide.data();
            v = wide.data() + width;
        }
        const auto at = [&](int plane) {
            return planes[plane] + static_cast<ptrdiff_t>(line) * strides[plane];
        };
        PixelRow(frame->data[0] + static_cast<ptrdiff_t>(line) * frame->linesize[0], u, v, width, m,
                 at(0), at(1), at(2));
    }
}

__attribute__((target("avx2"))) void ConvertWithAvx2(const AVFrame* frame, const TMatrix& m,
                                                     int across, int down, uint8_t* const planes[3],
                                                     const int strides[3]) {
    ConvertRows(frame, m, across, down, planes, strides);
}

void ConvertPlain(const AVFrame* frame, const TMatrix& m, int across, int down,
                  uint8_t* const planes[3], const int strides[3]) {
    ConvertRows(frame, m, across, down, planes, strides);
}

} // namespace

bool ExactYuvToPlanes(const AVFrame* frame, const TYuvMatrix& matrix, uint8_t* const planes[3],
                      const int strides[3]) {
    int across = 0, down = 0;
    if (!frame || !Subsampling(frame->format, across, down) || frame->width <= 0 ||
        frame->height <= 0)
        return false;
    // Odd sizes: the library places chroma by the ratio of the sizes, which we leave to it.
    if ((across != 0 && frame->width % 2 != 0) || (down != 0 && frame->height % 2 != 0))
        return false;
    (CpuHasAvx2() ? ConvertWithAvx2 : ConvertPlain)(frame, MatrixValues(matrix), across, down,
                                                    planes, strides);
    return true;
}
