#include "widgets/RangeSpinBox.h"

#include <limits>

TRangeSpinBox::TRangeSpinBox(QWidget* parent) : QSpinBox(parent) {
    // What may be typed; the range proper is checked by IsInRange.
    setRange(0, std::numeric_limits<int>::max());
    SetAllowedRange(FLow, FHigh);
}

void TRangeSpinBox::SetAllowedRange(int low, int high) {
    FLow = qMax(0, low);
    FHigh = qMax(FLow, high);
    if (value() < FLow || value() > FHigh)
        setValue(qBound(FLow, value(), FHigh));
}

bool TRangeSpinBox::IsInRange() const {
    return hasAcceptableInput() && value() >= FLow && value() <= FHigh;
}

void TRangeSpinBox::stepBy(int steps) {
    QSpinBox::stepBy(steps);
    // A number typed outside the range steps to the nearer end of it.
    if (value() < FLow || value() > FHigh)
        setValue(qBound(FLow, value(), FHigh));
}

QAbstractSpinBox::StepEnabled TRangeSpinBox::stepEnabled() const {
    StepEnabled steps = QSpinBox::stepEnabled();
    if (value() >= FHigh)
        steps &= ~StepUpEnabled;
    if (value() <= FLow)
        steps &= ~StepDownEnabled;
    return steps;
}
