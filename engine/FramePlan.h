#pragma once
// The arithmetic of a conversion: output sizes, when frames are sampled, in which order they are
// shown and for how long.

#include <QRect>
#include <QSize>
#include <cstdint>
#include <vector>

// Rounds to the nearest integer, halves to the even neighbour (360.5 → 360, 361.5 → 362).
int RoundHalfEven(double value);

// The size of an output frame before it is turned: the base size (crop rectangle, or the whole
// video) times `sizeScale` (1, 0.5, 0.25), or the custom size when `sizeScale` is -1.
QSize ComputeOutputSize(const QSize& baseSize, double sizeScale, int customWidth, int customHeight);

// True when `sizeScale` means "custom size" (-1, with a small tolerance).
bool IsCustomScale(double sizeScale);

// The GIF's display rate: frames closer than 2 hundredths of a second are shown at 10 by most
// viewers, so a rate that would need them is lowered to 50 frames per second of playback.
double EffectiveFrameRate(int fps, double speed);

// The times (PTS) at which the clip is sampled: start, start + 1/rate, ... up to and including
// end. `limit` caps how many are listed.
std::vector<int64_t> SampleTimes(int64_t start, int64_t end, double rate, int64_t limit);

// Whether a sample at `time` shows the next source frame (at `nextPts`) rather than the current
// one (at `currentPts`, not after `time`): the frame nearest the sample time is shown, so the
// samples step through the source evenly whenever the rates divide. Near ties (within a few
// hundredths of a frame, which container clocks round away) keep the current frame.
bool ShowsNextFrame(int64_t time, int64_t currentPts, int64_t nextPts);

// Whether the source frame at `pts` may be shown by one of the sample `times` (ascending), in
// frames of about `frameDuration` (0: unknown, then every frame may): a frame lies within half a
// frame of the time it is shown at when frames come evenly, so those further than five eighths of
// a frame (room for time stamps' rounding) from every time are not, except the last ones before the
// first and the last time (shown there when the frame nearest lies outside the clip).
bool MayBeShown(const std::vector<int64_t>& times, int64_t pts, int64_t frameDuration);

// The order the GIF shows the clip's frames in.
enum TFrameOrder : uint8_t {
    foOriginal = 0, // as sampled
    foReverse = 1,  // last frame first
    foPingPong = 2  // forwards, then backwards without showing the two turning frames twice
};

// How many sampled frames an order needs to fill at most `maxCount` GIF frames: a ping-pong order
// goes there and back, so it shows up to (maxCount + 2) / 2 frames, each but the two turning ones
// twice.
int FramesNeeded(TFrameOrder order, int maxCount);

// The frames' order as indices into the sampled frames, at most `maxCount`. A ping-pong order
// that would be longer takes fewer frames each way, as many as fit, and still comes back.
std::vector<int> OrderFrames(int count, TFrameOrder order, int maxCount);

// Display time of the frame at `position` in hundredths of a second: the rounded running total
// after it minus the rounded running total before it, so the sum over the GIF stays within one
// hundredth of a second of position count × period.
int FrameDelayCs(int position, double periodCs);

// A run of consecutive GIF frames that show the same source picture, written as one image: the
// run's first position in the order, how many frames it stands for and their time together.
struct TImageRun {
    int Position = 0;
    int Frames = 0;
    int DelayCs = 0;
};

// Groups the GIF's frames (the source picture of each position, by any key that is equal for
// equal pictures) into runs of the same picture. The delays are those of FrameDelayCs added up,
// so the time each picture appears and goes is unchanged; a run stops before its delay would
// exceed `maxDelayCs`.
std::vector<TImageRun> MergeRepeatedFrames(const std::vector<int64_t>& pictureOfPosition,
                                           double periodCs, int maxDelayCs = 65535);
