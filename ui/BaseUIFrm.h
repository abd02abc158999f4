#pragma once
// The base of the dialogs: a frame and title bar of eight pictures, an icon and a caption, its
// own minimize, maximize, restore and close buttons, OK and Cancel, a title bar that moves the
// window, Escape to close, and rounded corners. Its design client area is 500 x 400; the parts
// are anchored, so a dialog resizes it to its own design size first and then adds its controls.

#include "ui/BaseFrm.h"

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

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool FormKeyDown(QKeyEvent* event) override;
    bool IsCaptionWidget(QWidget* widget) const override;
    void CaptionDoubleClicked() override { imgTopDblClick(); }

private:
    bool FPlaced = false;
};

// The window a dialog centres itself over when shown (the main window); replaceable by tests.
void SetDialogOwnerProvider(std::function<QWidget*()> provider);
