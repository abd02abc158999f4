#pragma once
// A spin box for a number with a range that is refused rather than cut: the arrows, the wheel
// and the page keys keep to the range, but any whole number of 0 or more can be typed, so that
// the dialog can tell the user about 150 where 1 to 100 belong instead of the box dropping the
// last digit or putting the old value back.

#include <QSpinBox>

class TRangeSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit TRangeSpinBox(QWidget* parent = nullptr);

    // The range the arrows keep to and IsInRange checks (0 to 99 until set).
    void SetAllowedRange(int low, int high);
    int Low() const { return FLow; }
    int High() const { return FHigh; }
    // True when the text is a whole number within the range.
    bool IsInRange() const;

    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;

private:
    int FLow = 0;
    int FHigh = 99;
};
