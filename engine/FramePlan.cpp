#include "engine/FramePlan.h"

#include <algorithm>
#include <cmath>

int RoundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value)); // the default rounding mode: to even
}

bool IsCustomScale(double sizeScale) {
    return std::fabs(sizeScale + 1.0) < 1e-6;
}

QSize ComputeOutputSize(const QSize& baseSize, double sizeScale, int customWidth,
                        int customHeight) {
    if (IsCustomScale(sizeScale))
        return {customWidth, customHeight};
    if (std::fabs(sizeScale - 1.0) < 1e-9)
        return baseSize;
    return {RoundHalfEven(baseSize.width() * sizeScale),
            RoundHalfEven(baseSize.height() * sizeScale)};
}

double EffectiveFrameRate(int fps, double speed) {
    if (fps <= 0 || speed <= 0)
        return 0;
    return std::min<double>(fps, 50.0 / speed);
}

std::vector<int64_t> SampleTimes(int64_t start, int64_t end, double rate, int64_t limit) {
    std::vector<int64_t> times;
    if (rate <= 0 || end < start || limit <= 0)
        return times;
    const double step = 1e6 / rate;
    for (int64_t k = 0; k < limit; ++k) {
        const int64_t t = start + static_cast<int64_t>(std::llround(k * step));
        if (t > end)
            break;
        times.push_back(t);
    }
    return times;
}

bool MayBeShown(const std::vector<int64_t>& times, int64_t pts, int64_t frameDuration) {
    if (times.empty() || frameDuration <= 0)
        return true;
    const int64_t reach = frameDuration / 2 + frameDuration / 8;
    const int64_t edge = 2 * frameDuration;
    if ((pts <= times.front() && pts >= times.front() - edge) ||
        (pts <= times.back() && pts >= times.back() - edge))
        return true;
    const auto after = std::lower_bound(times.begin(), times.end(), pts);
    if (after != times.end() && *after - pts <= reach)
        return true;
    return after != times.begin() && pts - *std::prev(after) <= reach;
}

bool ShowsNextFrame(int64_t time, int64_t currentPts, int64_t nextPts) {
    if (nextPts <= currentPts)
        return nextPts <= time;
    const int64_t tolerance = std::max<int64_t>(2, (nextPts - currentPts) / 50);
    return nextPts - time < time - currentPts - tolerance;
}

int FramesNeeded(TFrameOrder order, int maxCount) {
    if (maxCount <= 0)
        return 0;
    return order == foPingPong ? std::max(1, (maxCount + 2) / 2) : maxCount;
}

std::vector<int> OrderFrames(int count, TFrameOrder sequence, int maxCount) {
    std::vector<int> order;
    if (count <= 0 || maxCount <= 0)
        return order;
    if (sequence == foPingPong)
        count = std::min(count, FramesNeeded(foPingPong, maxCount));
    if (sequence == foReverse) {
        for (int i = count - 1; i >= 0; --i)
            order.push_back(i);
    } else {
        for (int i = 0; i < count; ++i)
            order.push_back(i);
        if (sequence == foPingPong)
            for (int i = count - 2; i >= 1; --i)
                order.push_back(i);
    }
    if (static_cast<int>(order.size()) > maxCount)
        order.resize(static_cast<size_t>(maxCount));
    return order;
}

int FrameDelayCs(int position, double periodCs) {
    return static_cast<int>(std::llround((position + 1) * periodCs) -
                            std::llround(position * periodCs));
}

std::vector<TImageRun> MergeRepeatedFrames(const std::vector<int64_t>& pictureOfPosition,
                                           double periodCs, int maxDelayCs) {
    std::vector<TImageRun> runs;
    for (size_t position = 0; position < pictureOfPosition.size(); ++position) {
        const int delay = FrameDelayCs(static_cast<int>(position), periodCs);
        if (!runs.empty() && pictureOfPosition[position - 1] == pictureOfPosition[position] &&
            runs.back().DelayCs + delay <= maxDelayCs) {
            ++runs.back().Frames;
            runs.back().DelayCs += delay;
        } else {
            runs.push_back({static_cast<int>(position), 1, delay});
        }
    }
    return runs;
}
