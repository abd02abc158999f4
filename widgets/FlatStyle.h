#pragma once
// The program's one flat look: light faces, thin borders, rounded corners and one accent
// colour, drawn over Qt's Fusion style. Popup menus are owner-drawn in a gradient style: a
// shaded picture column at the left and rounded highlight of the hovered item.

#include <QColor>
#include <QProxyStyle>

class QMenu;
class QStyleOptionComboBox;
class QStyleOptionSlider;

struct TFlatColors {
    QColor Window{255, 255, 255};
    QColor Face{243, 243, 243};
    QColor ButtonFace{246, 247, 249};
    QColor ButtonHot{236, 242, 252};
    QColor ButtonDown{219, 230, 248};
    QColor Border{200, 204, 210};
    QColor Accent{42, 108, 212};
    QColor AccentSoft{128, 168, 232};
    QColor Text{33, 37, 41};
    QColor DisabledText{160, 164, 170};
    QColor MenuColor{249, 248, 247};
};

const TFlatColors& FlatColors();

class TFlatStyle : public QProxyStyle {
    Q_OBJECT
public:
    TFlatStyle();

    void polish(QPalette& palette) override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

    // The width of a menu's picture column.
    static constexpr int MenuColumnWidth = 26;

private:
    bool DrawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    bool DrawTabShape(const QStyleOption* option, QPainter* painter) const;
    bool DrawTabLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void DrawComboBox(const QStyleOptionComplex* option, const QStyleOptionComboBox* combo,
                      QPainter* painter, const QWidget* widget) const;
    void DrawScrollBar(const QStyleOptionComplex* option, const QStyleOptionSlider* bar,
                       QPainter* painter, const QWidget* widget) const;
    void DrawSlider(const QStyleOptionComplex* option, QPainter* painter,
                    const QWidget* widget) const;
};

// The palette of the flat look.
QPalette FlatPalette();

// Makes the flat style the application's style (once; later calls do nothing).
void ApplyFlatStyle();

// Gives a popup menu the owner-drawn gradient look with `menuColor` as its face.
void MakeOwnerDrawnMenu(QMenu* menu, const QColor& menuColor = FlatColors().MenuColor);
