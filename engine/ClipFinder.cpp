#include "engine/ClipFinder.h"

#include "decoder/CustomDecoder.h"

#include <QImage>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// Frames are compared as Side × Side greyscale pictures: shrinking by averaging blurs away
// sensor noise and compression blocks, and a picture that small is compared in no time.
constexpr int Side = 32;
using TPrint = std::array<uint8_t, Side * Side>;

// Two frames show the same picture while no cell of their prints differs by more than this (of
// 255): noise, spread over a cell's many pixels, stays far below it, and a change of a few letters
// on a screen recording goes above it.
constexpr int StillCellDifference = 8;
// Two candidates this close in likeness are as good: the one nearer the current bound wins.
constexpr double LikenessTie = 0.002;

struct TFramePrint {
    int64_t Pts = 0;
    TPrint Print{};
};

bool PrintCurrent(TCustomDecoder& decoder, TFramePrint& frame) {
    QImage picture;
    if (!decoder.CopyToBitmap(picture))
        return false;
    const QImage small = picture.scaled(Side, Side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < Side; ++y)
        std::copy_n(small.constScanLine(y), Side, frame.Print.begin() + y * Side);
    frame.Pts = decoder.CurrentPTS();
    return true;
}

bool SamePicture(const TPrint& a, const TPrint& b) {
    for (size_t i = 0; i < a.size(); ++i)
        if (std::abs(int(a[i]) - int(b[i])) > StillCellDifference)
            return false;
    return true;
}

double Difference(const TPrint& a, const TPrint& b) {
    int sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return double(sum) / double(a.size());
}

// The frames shown from `from` to `to` (the frame shown at `from` first), printed; empty when the
// video cannot be read there or the search was cancelled.
std::vector<TFramePrint> PrintFrames(TCustomDecoder& decoder, int64_t from, int64_t to,
                                     const std::atomic<bool>& cancel) {
    std::vector<TFramePrint> frames;
    if (!decoder.LocateVideoPTSCallback(std::max<int64_t>(0, from), [&] { return !cancel; }))
        return frames;
    do {
        if (cancel)
            return {};
        TFramePrint frame;
        if (!PrintCurrent(decoder, frame))
            break;
        if (frame.Pts > to)
            break;
        frames.push_back(frame);
    } while (decoder.Decode());
    return frames;
}

// How far apart a loop's ends must be at least: a loop of a few frames is no loop.
int64_t ShortestLoop(TCustomDecoder& decoder, int64_t start, int64_t end) {
    const int64_t frame = std::max<int64_t>(1, NominalFrameDuration(decoder.GetVideoStreamInfo()));
    return std::max(2 * frame, (end - start) / 3);
}

// Of `candidates`, the one most like `reference`; ties go to the one nearest `current`.
TLoopBound MostAlike(const TFramePrint& reference, const std::vector<TFramePrint>& candidates,
                     int64_t current) {
    TLoopBound best;
    for (const TFramePrint& frame : candidates) {
        const double likeness = 1.0 - Difference(reference.Print, frame.Print) / 255.0;
        const bool better = !best.Found || likeness > best.Likeness + LikenessTie;
        const bool asGoodAndNearer =
            best.Found && std::abs(likeness - best.Likeness) <= LikenessTie &&
            std::llabs(frame.Pts - current) < std::llabs(best.Pts - current);
        if (better || asGoodAndNearer) {
            best.Found = true;
            best.Pts = frame.Pts;
            best.Likeness = likeness;
        }
    }
    return best;
}

TLoopBound Unreadable(const std::atomic<bool>& cancel) {
    TLoopBound bound;
    if (!cancel)
        bound.Error = QStringLiteral("The video cannot be read around the clip's bounds.");
    return bound;
}

} // namespace

TLoopBound FindLoopEnd(TCustomDecoder& decoder, int64_t start, int64_t end,
                       const std::atomic<bool>& cancel) {
    const std::vector<TFramePrint> first = PrintFrames(decoder, start, start, cancel);
    if (first.empty())
        return Unreadable(cancel);
    const int64_t reach = std::min(LoopSearchUs, end - start);
    const int64_t from = std::max(end - reach, first[0].Pts + ShortestLoop(decoder, start, end));
    const std::vector<TFramePrint> candidates = PrintFrames(decoder, from, end + reach, cancel);
    if (candidates.empty())
        return Unreadable(cancel);
    return MostAlike(first[0], candidates, end);
}

TLoopBound FindLoopStart(TCustomDecoder& decoder, int64_t start, int64_t end,
                         const std::atomic<bool>& cancel) {
    const std::vector<TFramePrint> last = PrintFrames(decoder, end, end, cancel);
    if (last.empty())
        return Unreadable(cancel);
    const int64_t reach = std::min(LoopSearchUs, end - start);
    const int64_t to = std::min(start + reach, last[0].Pts - ShortestLoop(decoder, start, end));
    const std::vector<TFramePrint> candidates = PrintFrames(decoder, start - reach, to, cancel);
    if (candidates.empty())
        return Unreadable(cancel);
    return MostAlike(last[0], candidates, start);
}

TStillTrim TrimStillEnds(TCustomDecoder& decoder, int64_t start, int64_t end,
                         const std::atomic<bool>& cancel) {
    TStillTrim trim;
    const std::vector<TFramePrint> frames = PrintFrames(decoder, start, end, cancel);
    if (frames.empty()) {
        if (!cancel)
            trim.Error = QStringLiteral("The video cannot be read in the clip.");
        return trim;
    }
    trim.Ok = true;
    size_t first = 0;
    while (first + 1 < frames.size() && SamePicture(frames[first + 1].Print, frames[0].Print))
        ++first;
    size_t last = frames.size() - 1;
    while (last > first && SamePicture(frames[last - 1].Print, frames.back().Print))
        --last;
    // A clip that never moves keeps its bounds: there is nothing to tell its frames apart by.
    if (first + 1 >= frames.size()) {
        trim.Start = start;
        trim.End = end;
        return trim;
    }
    trim.Start = first == 0 ? start : frames[first].Pts;
    trim.End = last + 1 == frames.size() ? end : frames[last].Pts;
    return trim;
}

QString DescribeLoopBound(const TLoopBound& bound) {
    if (!bound.Found)
        return bound.Error;
    return QStringLiteral("loop seam: %1 % alike")
        .arg(std::floor(bound.Likeness * 100.0), 0, 'f', 0);
}
