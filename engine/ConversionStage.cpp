#include "engine/ConversionStage.h"

#include <algorithm>

TConversionResult Failure(const QString& text) {
    TConversionResult result;
    result.Error = text;
    return result;
}

TConversionResult CancelledResult() {
    TConversionResult result;
    result.Cancelled = true;
    return result;
}

void TStageProgress::Done(double share) {
    const double percent = FBegin + (FEnd - FBegin) * std::clamp(share, 0.0, 1.0);
    const int value = std::clamp(static_cast<int>(percent), 0, 100);
    if (value != FLast && FReport) {
        FLast = value;
        FReport(value);
    }
}
