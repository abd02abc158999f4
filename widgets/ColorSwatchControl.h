#pragma once
// A colour choice: a swatch of the selected colour that opens a colour dialog when clicked.
// Colours are the program's 0x00BBGGRR values.

#include "widgets/WinColor.h"

#include <QAbstractButton>
#include <functional>

class TColorSwatchControl : public QAbstractButton {
    Q_OBJECT
public:
    explicit TColorSwatchControl(QWidget* parent = nullptr);

    TColor SelectedColor() const { return FColor; }
    // Shows the colour; raises Changed (and OnChange) when it differs from the one shown.
    void SetSelectedColor(TColor color);

    std::function<void()> OnChange;

    QSize sizeHint() const override { return QSize(36, 22); }

signals:
    void Changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void nextCheckState() override;

private:
    void Choose();
    TColor FColor = 0;
};
