#pragma once
// The exact conversion of 8-bit YUV pictures (4:2:0, 4:2:2, 4:4:4) of even sizes into planes of
// green, blue and red: chroma interpolated between the samples around each pixel with the scaling
// library's default cubic kernel (samples centred between the pixels they cover, edges repeated),
// each colour the matrix's value rounded to the nearest level. It gives what the library's
// accurate conversion gives (a level apart on under one value in a hundred) in a little over half
// the time; every frame of a conversion goes through it.

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
// its pixel format is not one ExactYuvHandles names, or a subsampled side is odd.
[[nodiscard]] bool ExactYuvToPlanes(const AVFrame* frame, const TYuvMatrix& matrix,
                                    uint8_t* const planes[3], const int strides[3]);
