#pragma once
// Choosing clip bounds from the pictures: the end (or start) that makes the GIF loop without a
// visible jump, and the start and end without the still frames at either end. Frames are compared
// as small blurred greyscale pictures, so sensor noise and compression do not decide.

#include <QString>
#include <atomic>
#include <cstdint>

class TCustomDecoder;

// How far from the current bound a loop bound is looked for, at most, either way.
constexpr int64_t LoopSearchUs = 3000000;

struct TLoopBound {
    bool Found = false;
    int64_t Pts = 0;     // the chosen bound: the time of the frame most like the other end
    double Likeness = 0; // 0 to 1: 1 is the same picture
    QString Error;       // when nothing could be read
};

// The frame within LoopSearchUs of `end` (the whole clip when it is shorter than that) whose
// picture is closest to the frame shown at `start`: the end that loops back to the start.
[[nodiscard]] TLoopBound FindLoopEnd(TCustomDecoder& decoder, int64_t start, int64_t end,
                                     const std::atomic<bool>& cancel);
// The same for the start, against the frame shown at `end`.
[[nodiscard]] TLoopBound FindLoopStart(TCustomDecoder& decoder, int64_t start, int64_t end,
                                       const std::atomic<bool>& cancel);

struct TStillTrim {
    bool Ok = false;
    int64_t Start = 0; // the last frame of the still run at the start (or the start as it was)
    int64_t End = 0;   // the first frame of the still run at the end (or the end as it was)
    QString Error;
};

// The clip from `start` to `end` without its still ends: the start moves to the last of the
// leading frames that look like the first one, the end to the first of the trailing frames that
// look like the last.
[[nodiscard]] TStillTrim TrimStillEnds(TCustomDecoder& decoder, int64_t start, int64_t end,
                                       const std::atomic<bool>& cancel);

// For the user: "loop seam: 98 % alike".
QString DescribeLoopBound(const TLoopBound& bound);
