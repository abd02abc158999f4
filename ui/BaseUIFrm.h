#pragma once
// The base of the dialogs: a frame and title bar of eight pictures, an icon and a caption, its
// own minimize, maximize, restore and close buttons, OK and Cancel, a title bar that moves the
// window, Escape to close, and rounded corners. Its design client area is 500 x 400; the parts
// are anchored, so a dialog resizes it to its own design size first and then adds its controls.
//
// Keyboard: OK and Cancel take the focus by Tab and by a click; Return, Enter or Space presses
// the button that has the focus (tool buttons and colour swatches too); the title bar's buttons
// stay out of the Tab chain, Escape and the desktop's close key stand for them.

#include "ui/BaseFrm.h"

#include <QList>
#include <QPointer>
#include <initializer_list>

class QLabel;
class TSkinButton;
class TSkinImage;

class TBaseUIForm : public TBaseForm {
    Q_OBJECT
public:
    explicit TBaseUIForm(QWidget* parent = nullptr);

    // Caption of the window and of its title bar.
    void SetCaption(const QString& caption);

    void ApplyLanguage() override;
    void ApplySkin() override;
    void AdjustForDpi() override;

    // Handlers of the title bar and the buttons.
    virtual void btnMaxClick();
    virtual void btnRestoreClick();
    virtual void btnMinClick();
    virtual void btnCloseMeClick();
    virtual void btnOkMeClick();
    virtual void btnCancelMeClick();
    void imgTopDblClick();

    // The button of the shared maximize/restore place that the user sees.
    TSkinButton* FrontMaxButton() const;

    // The parts of the frame, named as the skin files name them.
    TSkinImage* imgTop;
    TSkinImage* imgLeft;
    TSkinImage* imgRight;
    TSkinImage* imgBottom;
    TSkinImage* imgTopLeft;
    TSkinImage* imgTopRight;
    TSkinImage* imgBottomLeft;
    TSkinImage* imgBottomRight;
    TSkinImage* imgIco;
    QLabel* lblCaption;
    TSkinButton* btnMin;
    TSkinButton* btnRestore;
    TSkinButton* btnMax;
    TSkinButton* btnCloseMe;
    TSkinButton* btnOkMe;
    TSkinButton* btnCancelMe;

    static constexpr int DesignWidth = 500;
    static constexpr int DesignHeight = 400;
    static constexpr int RoundCorner = 9;

    // Makes Tab visit the controls in this order (and Shift+Tab in the reverse one); hidden and
    // disabled controls are passed over. Dialogs list their controls in reading order: left to
    // right, top to bottom, ending with OK and Cancel. The dialog opens with the focus on the
    // first of them that can take it.
    void SetTabChain(std::initializer_list<QWidget*> controls);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool FormKeyDown(QKeyEvent* event) override;
    bool IsCaptionWidget(QWidget* widget) const override;
    void CaptionDoubleClicked() override { imgTopDblClick(); }

private:
    void FocusFirstControl();

    bool FPlaced = false;
    QList<QPointer<QWidget>> FTabChain;
};

// The window a dialog centres itself over when shown (the main window); replaceable by tests.
// Where the desktop places the windows (Wayland) the desktop opens it over its owner instead.
void SetDialogOwnerProvider(std::function<QWidget*()> provider);
