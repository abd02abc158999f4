#pragma once
// Which prepared frames the GIF shows, in which order, for how long and at what size; and the
// frames read back from the spill at that size. The planned sequence takes every prepared frame;
// a size limit may ask for fewer frames per second or smaller pictures of the same frames.

#include "engine/ConversionStage.h"
#include "engine/FrameScaler.h"

#include <QSize>
#include <vector>

struct TGifSequence {
    std::vector<int> Frames; // spill indices, in showing order
    double PeriodCs = 0;     // how long each is shown, in hundredths of a second
    double Fps = 0;          // GIF frames per second of playback
    QSize Size;              // of the GIF
};

// Every prepared frame the GIF can use, in the plan's order.
TGifSequence PlannedSequence(const TConversionPlan& plan, const TPreparedFrames& frames,
                             double speed);
// The frames nearest a coarser grid of `rate` samples per second of clip (below the plan's): the
// same stretch of the clip, fewer frames, each shown longer. A grid time with no prepared frame
// within half a step (frames the user deleted) is left out.
TGifSequence ResampledSequence(const TConversionPlan& plan, const TPreparedFrames& frames,
                               double speed, double rate);

// Reads prepared frames back, scaled down when the sequence is smaller than the plan.
class TSequenceReader {
public:
    TSequenceReader(TFrameSpill& spill, const QSize& preparedSize, const QSize& size);
    qint64 FrameBytes() const { return static_cast<qint64>(FSize.width()) * FSize.height() * 3; }
    // The frame at spill index `index` into `rgb` (FrameBytes() bytes).
    [[nodiscard]] bool Read(int index, uchar* rgb);
    // Whether ReadShared may be used: the frames are read as they were spilled, and the spill
    // has handed what it wrote to the system.
    [[nodiscard]] bool PrepareSharedReads() { return FSize == FPreparedSize && FSpill.Flush(); }
    // Read on any number of threads at once, after PrepareSharedReads said yes.
    [[nodiscard]] bool ReadShared(int index, uchar* rgb) const { return FSpill.ReadAt(index, rgb); }
    QString ErrorString() const { return FSpill.ErrorString(); }

private:
    TFrameSpill& FSpill;
    QSize FPreparedSize, FSize;
    std::vector<uchar> FPrepared;
    TFrameScaler FScaler;
};
