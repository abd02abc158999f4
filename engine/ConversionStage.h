#pragma once
// What the stages of a conversion share: the request, its plan, the spilled frames, the cancel
// flag and the progress report; and how a stage says the conversion ends early.

#include "engine/ConversionPlan.h"
#include "engine/FrameSpill.h"
#include "engine/Video2Gif.h"

#include <QElapsedTimer>
#include <atomic>
#include <functional>
#include <optional>

// Set when the conversion ends here (failed or cancelled); empty to go on.
using TStop = std::optional<TConversionResult>;

TConversionResult Failure(const QString& text);
TConversionResult CancelledResult();

// Progress over the whole conversion, each stage owning a share of 0 to 100; reports only when
// the percentage moves. With VG_STAGE_TIMES set in the environment, each stage's wall time goes
// to the standard error as it ends ("stage 60-73: 120 ms"; "stage open" before the first), for
// the benches that see how stages scale with cores.
class TStageProgress {
public:
    explicit TStageProgress(const std::function<void(int)>& report);
    ~TStageProgress();
    // The stage from now on covers `begin` to `end` percent.
    void Enter(double begin, double end);
    // Share of the current stage done, 0 to 1.
    void Done(double share);
    double Begin() const { return FBegin; }
    double End() const { return FEnd; }

private:
    void TellTime(); // of the stage ending now, when asked for
    const std::function<void(int)>& FReport;
    double FBegin = 0, FEnd = 100;
    int FLast = -1;
    bool FTimed = false, FEntered = false;
    QElapsedTimer FStageTimer;
};

class TCustomDecoder;

// Opens the request's video with `decoder` (unless it holds it open already) and reads the facts
// the plan needs, or says why it cannot be read.
[[nodiscard]] TStop OpenSource(const TConversionRequest& request, TCustomDecoder& decoder,
                               TStreamFacts& facts);

struct TConversionContext {
    const TConversionRequest& Request;
    const TConversionPlan& Plan;
    TFrameSpill& Spill;
    const std::atomic<bool>& Cancel;
    TStageProgress& Progress;
};

// What the preparing stage leaves for the stages after it: the frames in the spill, by the order
// they were sampled in (a reverse order keeps only the last ones).
struct TPreparedFrames {
    int Count = 0;               // frames written to the spill
    std::vector<int> SceneOf;    // the scene of each
    std::vector<int64_t> PtsOf;  // the source frame each shows
    std::vector<int64_t> TimeOf; // the time of the clip each was sampled at
    int64_t VideoEnd = 0;        // where the video ran out before the clip's end, or AV_NOPTS_VALUE
    // The first frame the GIF may use (a reverse order uses the last MaxFrames only).
    int First(const TConversionPlan& plan) const {
        return plan.SpillSlots > 0 ? std::max(0, Count - plan.SpillSlots) : 0;
    }
};
