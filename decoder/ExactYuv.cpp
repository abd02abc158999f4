#include "decoder/ExactYuv.h"

#include <algorithm>
#include <cmath>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int fractionBits = 20;
constexpr int32_t half = 1 << (fractionBits - 1);

// The matrix in fixed point: luma's scale and offset, and what each chroma difference adds to
// red, green and blue.
struct TFixedMatrix {
    int32_t LumaScale, LumaOffset;
    int32_t RedV, GreenU, GreenV, BlueU;
};

TFixedMatrix FixedMatrix(const TYuvMatrix& matrix) {
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
    const auto fixed = [](double value) {
        return static_cast<int32_t>(std::lround(value * (1 << fractionBits)));
    };
    TFixedMatrix m;
    m.LumaScale = fixed(lumaScale);
    m.LumaOffset = matrix.FullRange ? 0 : 16;
    m.RedV = fixed(2 * (1 - kr) * chromaScale);
    m.BlueU = fixed(2 * (1 - kb) * chromaScale);
    m.GreenU = fixed(-2 * (1 - kb) * kb / kg * chromaScale);
    m.GreenV = fixed(-2 * (1 - kr) * kr / kg * chromaScale);
    return m;
}

// What the chroma of one row adds to each colour (with the rounding half), for every pixel of
// the row: a chroma sample covers `1 << shift` pixels.
struct TChromaRow {
    std::vector<int32_t> Red, Green, Blue;
};

__attribute__((target_clones("avx2", "default"))) void
ChromaTerms(const uint8_t* __restrict u, const uint8_t* __restrict v, int width, int shift,
            const TFixedMatrix& m, int32_t* __restrict red, int32_t* __restrict green,
            int32_t* __restrict blue) {
    const int32_t redV = m.RedV, greenU = m.GreenU, greenV = m.GreenV, blueU = m.BlueU;
    if (shift == 0) {
        for (int x = 0; x < width; ++x) {
            const int32_t cu = u[x] - 128, cv = v[x] - 128;
            red[x] = redV * cv + half;
            green[x] = greenU * cu + greenV * cv + half;
            blue[x] = blueU * cu + half;
        }
        return;
    }
    // Pairs of pixels share a sample; an odd width's last pixel has one of its own.
    const int pairs = width / 2;
    for (int i = 0; i < pairs; ++i) {
        const int32_t cu = u[i] - 128, cv = v[i] - 128;
        const int32_t r = redV * cv + half, g = greenU * cu + greenV * cv + half,
                      b = blueU * cu + half;
        red[2 * i] = red[2 * i + 1] = r;
        green[2 * i] = green[2 * i + 1] = g;
        blue[2 * i] = blue[2 * i + 1] = b;
    }
    if (width % 2 != 0) {
        const int32_t cu = u[pairs] - 128, cv = v[pairs] - 128;
        red[width - 1] = redV * cv + half;
        green[width - 1] = greenU * cu + greenV * cv + half;
        blue[width - 1] = blueU * cu + half;
    }
}

__attribute__((target_clones("avx2", "default"))) void
LumaRow(const uint8_t* __restrict y, int width, int32_t lumaScale, int32_t lumaOffset,
        const int32_t* __restrict redTerm, const int32_t* __restrict greenTerm,
        const int32_t* __restrict blueTerm, uint8_t* __restrict green, uint8_t* __restrict blue,
        uint8_t* __restrict red) {
    for (int x = 0; x < width; ++x) {
        const int32_t luma = lumaScale * (y[x] - lumaOffset);
        red[x] = static_cast<uint8_t>(std::clamp((luma + redTerm[x]) >> fractionBits, 0, 255));
        green[x] = static_cast<uint8_t>(std::clamp((luma + greenTerm[x]) >> fractionBits, 0, 255));
        blue[x] = static_cast<uint8_t>(std::clamp((luma + blueTerm[x]) >> fractionBits, 0, 255));
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

bool ExactYuvToPlanes(const AVFrame* frame, const TYuvMatrix& matrix, uint8_t* const planes[3],
                      const int strides[3]) {
    int across = 0, down = 0;
    if (!frame || !Subsampling(frame->format, across, down) || frame->width <= 0 ||
        frame->height <= 0)
        return false;
    const TFixedMatrix m = FixedMatrix(matrix);
    const int width = frame->width;
    TChromaRow chroma;
    chroma.Red.resize(static_cast<size_t>(width));
    chroma.Green.resize(static_cast<size_t>(width));
    chroma.Blue.resize(static_cast<size_t>(width));
    int chromaLine = -1;
    for (int line = 0; line < frame->height; ++line) {
        const int c = line >> down;
        if (c != chromaLine) {
            ChromaTerms(frame->data[1] + static_cast<ptrdiff_t>(c) * frame->linesize[1],
                        frame->data[2] + static_cast<ptrdiff_t>(c) * frame->linesize[2], width,
                        across, m, chroma.Red.data(), chroma.Green.data(), chroma.Blue.data());
            chromaLine = c;
        }
        const auto at = [&](int plane) {
            return planes[plane] + static_cast<ptrdiff_t>(line) * strides[plane];
        };
        LumaRow(frame->data[0] + static_cast<ptrdiff_t>(line) * frame->linesize[0], width,
                m.LumaScale, m.LumaOffset, chroma.Red.data(), chroma.Green.data(),
                chroma.Blue.data(), at(0), at(1), at(2));
    }
    return true;
}
