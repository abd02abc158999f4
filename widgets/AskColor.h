#pragma once
// Asking the user for a colour: the one place the colour swatches and the colour lists open the
// colour dialog, so a test answers for all of them at once.

#include <QColor>
#include <functional>

class QWidget;

// Asks for a colour starting from `color` (changed to the answer); false when the user cancels.
bool AskColor(QColor& color, QWidget* parent);

// Tests answer instead of the dialog; an empty chooser restores it. Returns the one replaced.
using TColorChooser = std::function<bool(QColor& color, QWidget* parent)>;
TColorChooser SetColorChooser(TColorChooser chooser);
