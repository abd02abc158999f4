#pragma once
// The first stage of a conversion: everything that follows from the request and a few facts of the
// video stream, computed before any frame is decoded. A pure function, so every way a request can
// be wrong has its text here.

#include "engine/FramePlan.h"

#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

struct TConversionRequest;

// What the conversion needs to know of the video before it starts.
struct TStreamFacts {
    QSize VideoSize;           // upright, square pixels: as the decoder hands pictures out
    int64_t Duration = 0;      // of the file, in microseconds; 0 when unknown
    int64_t FrameDuration = 0; // nominal, from the frame rate; 0 when unknown
};

struct TConversionPlan {
    QString Error; // for the user; when set, nothing else counts

    QRect SourceRect;      // the part of the picture the GIF shows (the crop, or all of it)
    bool Crop = false;     // whether SourceRect is less than the whole picture
    QSize OutSize;         // the frames' size before they are turned
    QSize FinalSize;       // the GIF's size
    qint64 FrameBytes = 0; // of one prepared frame: red, green, blue per pixel

    // The sampling grid: samples at ClipStart + k · StepUs up to and including ClipEnd (which is
    // cut to the end of the video when the file tells it).
    int64_t ClipStart = 0;
    int64_t ClipEnd = 0;
    double Rate = 0;     // samples per second of the clip
    double StepUs = 0;   // microseconds of the clip between two samples
    double PeriodCs = 0; // how long each GIF frame is shown, in hundredths of a second

    TFrameOrder Order = foOriginal;
    int MaxFrames = 0;            // GIF frames at most
    int FramesNeeded = 0;         // sampled frames a forward pass may stop at
    int SpillSlots = 0;           // frames kept for the order: 0 all, else the last ones in a ring
    std::optional<int> LoopCount; // none: play once; 0: forever; n: n more times

    bool Ok() const { return Error.isEmpty(); }
    // The samples the grid takes: times from ClipStart up to ClipEnd.
    std::vector<int64_t> SampleTimes() const;
};

// The largest side of a GIF the engine writes.
constexpr int MaxGifSide = 16384;
// The smallest GIF there is: header, screen, a two-colour palette, the loop extension, one image of
// one pixel and the trailer. A size limit below it cannot be met.
constexpr int MinGifBytes = 64;

// What is wrong with the request alone (no file is looked at), or empty.
[[nodiscard]] QString CheckRequestValues(const TConversionRequest& request);

// The plan of a conversion of a video with the given facts, or its Error.
[[nodiscard]] TConversionPlan PlanConversion(const TConversionRequest& request,
                                             const TStreamFacts& facts);
