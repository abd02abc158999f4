#pragma once
// One scaler context kept for as long as the conversion asked of it stays the same, for the
// decoder (frames to pictures) and the conversion engine (resizing).

#include "decoder/FFmpegPtr.h"

// The full-range ("J") pixel formats are old spellings; swscale wants the plain format with
// `fullRange` set. Other formats come back as they are.
AVPixelFormat PlainFormat(AVPixelFormat format, bool& fullRange);
// The swscale coefficients (SWS_CS_*) of a picture's YUV matrix; unmarked pictures follow BT.709
// from 720 lines up, else BT.601.
int SwsColorspace(AVColorSpace space, int height);

// What a scaler context converts.
struct TScalerKey {
    int SrcWidth = 0;
    int SrcHeight = 0;
    int SrcFormat = -1; // AVPixelFormat
    int DstWidth = 0;
    int DstHeight = 0;
    int DstFormat = -1;
    int Flags = 0;          // SWS_* filter flags
    int Colorspace = -1;    // SWS_CS_* coefficients of the source; -1 keeps the library's defaults
    bool FullRange = false; // of the source; the target is always full range
    // Where the source's first chroma sample lies, in 1/256 of a luma pixel from the first luma
    // sample; -513 leaves the library's default (a cropped picture starting at an odd pixel
    // moves it).
    int SrcChromaX = -513;
    int SrcChromaY = -513;
    bool operator==(const TScalerKey&) const = default;
};

class TScalerCache {
public:
    // The context for `key`, made anew only when the key differs from the last one (the
    // library's own cached-context function compares flags it has changed itself and would make
    // a new context for every picture). Null when the library cannot make one.
    [[nodiscard]] SwsContext* Get(const TScalerKey& key);
    void Reset();

private:
    ffmpeg::TSwsPtr FContext;
    TScalerKey FKey;
};
