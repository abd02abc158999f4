#pragma once
// Refusing a value the user typed: when OK finds a value that cannot be used, the dialog stays
// open, says why in a warning box and puts the user back on the control that holds it.

#include <QString>

class QWidget;

// A value a dialog cannot take: the control that holds it and the sentence that says why. No
// control: every value can be used.
struct TUnusableValue {
    QWidget* Control = nullptr;
    QString Message;
};

// With a control named: shows the message in a warning box, brings forward the tab page the
// control lies on, gives the control the focus and selects its text, and returns true (the
// caller keeps its dialog open). Without one it does nothing and returns false.
bool RefuseValue(const TUnusableValue& value);
