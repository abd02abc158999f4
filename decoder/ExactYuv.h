#pragma once
// The exact conversion of 8-bit YUV pictures (4:2:0, 4:2:2, 4:4:4) into planes of green, blue and
// red: every pixel takes the chroma sample it lies on (no interpolation, which would blur a flat
// colour's edges), and each colour is the matrix's value rounded to the nearest level, computed
// to 20 fractional bits. It gives what the scaling library's accurate conversion gives (a level
// apart on a few pixels in ten thousand) several times faster, which matters because every frame
// of a conversion goes through it.

#include <cstdint>

struct AVFrame;

// The YUV matrix of a picture, as the scaling library numbers them (SWS_CS_*).
struct TYuvMatrix {
    int SwsColorspace = 5; // BT.601
    bool FullRange = false;
};

// Whether `format` (an AVPixelFormat) is one ExactYuvToPlanes converts.
bool ExactYuvHandles(int format);

// Converts the whole of `frame` into the three planes (green, blue, red) of its size. False when
// its pixel format is not one ExactYuvHandles names.
[[nodiscard]] bool ExactYuvToPlanes(const AVFrame* frame, const TYuvMatrix& matrix,
                                    uint8_t* const planes[3], const int strides[3]);
