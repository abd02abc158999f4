#pragma once
// The font dialog of the captions: Qt's font dialog with a colour choice beside it, so a chosen
// font keeps its colour. Tests replace the dialog through SetFontChooser.

#include "dialogs/DialogRules.h"

#include <functional>

class QWidget;

// Asks the user for a font and colour starting from `font`; false when he cancels (the font
// stays as it was).
bool ChooseFontWithColor(THeldFont& font, QWidget* parent);

using TFontChooser = std::function<bool(THeldFont& font, QWidget* parent)>;
// Installs a replacement (empty: the real dialog) and returns the one it replaces.
TFontChooser SetFontChooser(TFontChooser chooser);
