#pragma once
// A button drawn from pictures: one per state (up, mouse over, pressed, disabled, latched). A
// state without a picture falls back to the up picture; a button without any picture is drawn in
// the flat style. The caption is drawn over the picture.
//
// Keyboard: a button whose focus policy lets it take the focus shows a focus ring while the
// focus came from the keyboard (Tab, Shift+Tab, a shortcut or the program), and Return, Enter
// and Space press it. Screen readers hear the caption as its name and the hint as its
// description; a caption that is only a symbol ("<", "...", "i") or none gives way to the hint.

#include <QAbstractButton>
#include <QImage>
#include <array>

enum class TSkinState { Normal, Hot, Down, Disabled, StayDown };

class TSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TSkinButton(QWidget* parent = nullptr);

    // The state named in a skin file ("normal", "hot", "down", "disabled", "staydown"), letter
    // case ignored. False for any other name.
    static bool StateFromName(const QString& name, TSkinState* state);

    void SetPicture(TSkinState state, const QImage& picture);
    QImage Picture(TSkinState state) const { return FPictures[size_t(state)]; }
    bool HasPictures() const;
    // Loads the picture of the named state from a file; false for an unknown state or a file
    // that is no picture (the picture held stays).
    bool LoadPicture(const QString& stateName, const QString& fileName);

    // Pictures are stretched to the button; with margins, that many pixels at the left and right
    // end keep their size and only the middle stretches. Without stretching the picture is drawn
    // centred at its own size.
    void SetStretch(bool stretch) {
        FStretch = stretch;
        update();
    }
    void SetStretchMargins(int left, int right);
    // Moves the caption to the right by this many pixels.
    void SetTextOffset(int offset) {
        FTextOffset = offset;
        update();
    }
    void SetTextColor(const QColor& color) {
        FTextColor = color;
        update();
    }
    // The button of a group that stays pressed (latched); it shows the "staydown" picture.
    void SetStayDown(bool down);
    bool IsStayDown() const { return isChecked(); }
    // Draws the flat look in the accent colour (the default button of a dialog).
    void SetAccent(bool accent) {
        FAccent = accent;
        update();
    }

    bool IsHot() const { return FHot; }
    // The state whose look the button shows now.
    TSkinState CurrentState() const;

    QSize sizeHint() const override;

    // Whether the focus ring shows now: the button has the focus and it came from the keyboard.
    bool ShowsFocusRing() const { return hasFocus() && FKeyboardFocus; }
    // What screen readers call the button, and what they add to it: the caption and the hint,
    // or the hint alone when the caption says nothing in words. An accessible name or
    // description set on the widget wins.
    QString AccessibleName() const;
    QString AccessibleDescription() const;
    // Whether a caption is only a symbol: no caption, a single character, or no letter or digit.
    static bool IsSymbolCaption(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void DrawFlat(QPainter& painter, TSkinState state);
    void DrawFocusRing(QPainter& painter);
    // Where an icon shown with a caption begins.
    int IconTop() const;
    std::array<QImage, 5> FPictures;
    bool FStretch = true;
    int FMarginLeft = 0, FMarginRight = 0, FTextOffset = 0;
    QColor FTextColor;
    bool FAccent = false;
    bool FHot = false;
    bool FKeyboardFocus = false;
};

// Draws `picture` into `target`, keeping `left` and `right` pixels at the ends unstretched.
void DrawThreeSlice(QPainter& painter, const QRect& target, const QImage& picture, int left,
                    int right);
