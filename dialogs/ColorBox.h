#pragma once
// A colour edit: a list of the sixteen standard colours with a "Custom..." entry at the top that
// asks for any colour. A colour outside the list is shown as an extra entry below "Custom...".
// Colours are the program's 0x00BBGGRR values.

#include "widgets/WinColor.h"

#include <QComboBox>

class TColorBox : public QComboBox {
    Q_OBJECT
public:
    explicit TColorBox(QWidget* parent = nullptr);

    TColor SelectedColor() const;
    // Selects the colour, adding it as the custom entry when it is not a standard one. No change
    // signal is raised.
    void SetSelectedColor(TColor color);

    static constexpr int CustomEntry = 0;

private:
    void EntryActivated(int index);
    int CustomColorIndex() const;
    TColor FLastColor = 0;
};
