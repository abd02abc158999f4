#pragma once
// Flicker of a GIF on pixels that hold still: the mean change of luma between the pictures a
// viewer sees at consecutive frame steps, counted only where the lossless reference of the same
// clip (same frame rate and size) does not change between those steps.

#include <QString>

struct TFlickerResult {
    bool Ok = false;
    QString Error;
    int Steps = 0;                // frame steps compared (pairs of consecutive steps)
    double Flicker = 0;           // mean |Δluma| on still pixels, in 8-bit levels
    double StillShare = 0;        // share of pixel steps that hold still in the reference
    double StillChangedShare = 0; // share of those where the GIF changes by half a level or more
};

// `reference`: a video of the clip at `fps` frames per second and the GIF's size, frame k at step
// k.
TFlickerResult MeasureFlicker(const QString& reference, const QString& gif, double fps);
