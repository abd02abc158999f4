#include "ui/BaseUIFrm.h"

#include "app/Brand.h"
#include "localisation/Language.h"
#include "ui/SkinArt.h"
#include "ui/UIUtils.h"
#include "widgets/Anchors.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

std::function<QWidget*()>& OwnerProvider() {
    static std::function<QWidget*()> provider;
    return provider;
}

// The main window: a visible window of ours that is not a dialog.
QWidget* FindDialogOwner(const QWidget* dialog) {
    if (OwnerProvider())
        return OwnerProvider()();
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != dialog && window->isVisible() && qobject_cast<TBaseForm*>(window) &&
            !qobject_cast<TBaseUIForm*>(window))
            return window;
    }
    return nullptr;
}

} // namespace

void SetDialogOwnerProvider(std::function<QWidget*()> provider) {
    OwnerProvider() = std::move(provider);
}

TBaseUIForm::TBaseUIForm(QWidget* parent) : TBaseForm(parent) {
    resize(DesignWidth, DesignHeight);
    setMinimumSize(164, 333);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);

    const int w = DesignWidth, h = DesignHeight;
    AdoptFrameImages(*this, CreateFrameImages(this, QSize(w, h)));

    lblCaption = new QLabel(this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    QFont captionFont(QStringLiteral("Arial"));
    captionFont.setPixelSize(13);
    captionFont.setBold(true);
    lblCaption->setFont(captionFont);
    QPalette captionPalette = lblCaption->palette();
    captionPalette.setColor(QPalette::WindowText, Qt::white);
    lblCaption->setPalette(captionPalette);
    lblCaption->setAttribute(Qt::WA_TranslucentBackground);
    lblCaption->move(34, 8);

    btnMin = CreateSkinButton(this, "btnMin", QRect(w - 77, 8, 17, 17), akTop | akRight);
    btnRestore = CreateSkinButton(this, "btnRestore", QRect(w - 54, 8, 17, 17), akTop | akRight);
    btnMax = CreateSkinButton(this, "btnMax", QRect(w - 54, 8, 17, 17), akTop | akRight);
    btnCloseMe = CreateSkinButton(this, "btnCloseMe", QRect(w - 31, 8, 17, 17), akTop | akRight);
    btnMin->hide();
    btnRestore->hide();
    btnMax->hide();
    btnMin->setToolTip(QStringLiteral("Minimize"));
    btnMax->setToolTip(QStringLiteral("Maximize"));
    btnRestore->setToolTip(QStringLiteral("Restore"));
    btnCloseMe->setToolTip(QStringLiteral("Close"));
    for (TSkinButton* button : {btnMin, btnRestore, btnMax, btnCloseMe})
        button->setFocusPolicy(Qt::NoFocus);

    btnCancelMe =
        CreateSkinButton(this, "btnCancelMe", QRect(w - 89, h - 41, 71, 23), akRight | akBottom);
    btnOkMe = CreateSkinButton(this, "btnOkMe", QRect(w - 168, h - 41, 71, 23), akRight | akBottom);
    btnOkMe->setText(QStringLiteral("OK"));
    btnCancelMe->setText(QStringLiteral("Cancel"));
    QFont buttonFont(QStringLiteral("Arial"));
    buttonFont.setPixelSize(12);
    btnOkMe->setFont(buttonFont);
    btnCancelMe->setFont(buttonFont);
    btnOkMe->SetTextColor(QColor(33, 37, 41));
    btnCancelMe->SetTextColor(QColor(33, 37, 41));
    btnOkMe->setFocusPolicy(Qt::StrongFocus);
    btnCancelMe->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(btnOkMe, btnCancelMe);

    connect(btnMax, &QAbstractButton::clicked, this, [this] { btnMaxClick(); });
    connect(btnRestore, &QAbstractButton::clicked, this, [this] { btnRestoreClick(); });
    connect(btnMin, &QAbstractButton::clicked, this, [this] { btnMinClick(); });
    connect(btnCloseMe, &QAbstractButton::clicked, this, [this] { btnCloseMeClick(); });
    connect(btnOkMe, &QAbstractButton::clicked, this, [this] { btnOkMeClick(); });
    connect(btnCancelMe, &QAbstractButton::clicked, this, [this] { btnCancelMeClick(); });
    MakeRoundRectForm(this, RoundCorner);
}

void TBaseUIForm::SetCaption(const QString& caption) {
    setWindowTitle(caption);
    lblCaption->setText(caption);
    lblCaption->adjustSize();
}

void TBaseUIForm::ApplyLanguage() {
    if (!IsLanguageLoaded())
        return;
    btnOkMe->setText(GetLanguageText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe")));
    btnCancelMe->setText(GetLanguageText(QStringLiteral("CUI_TBaseUI3Form_btnCancelMe")));
}

void TBaseUIForm::ApplySkin() {
    if (CurrentBrand().OwnSkins)
        LoadFormSkin(this, QStringLiteral("TBaseUIForm"));
}

void TBaseUIForm::AdjustForDpi() {
    LayoutFrameImages(this, imgLeft, imgRight, imgTop, imgBottom, imgTopLeft, imgTopRight,
                      imgBottomLeft, imgBottomRight);
    imgIco->move(10, 7);
    lblCaption->move(lblCaption->x(), 7);
    for (TSkinButton* button : {btnMin, btnMax, btnRestore, btnCloseMe})
        button->move(button->x(), 8);
}

TSkinButton* TBaseUIForm::FrontMaxButton() const {
    // The later sibling paints over the earlier one.
    const auto siblings = children();
    const qsizetype max = siblings.indexOf(btnMax), restore = siblings.indexOf(btnRestore);
    return restore > max ? btnRestore : btnMax;
}

void TBaseUIForm::btnMaxClick() {
    SetMaximized(true);
    btnRestore->raise();
}

void TBaseUIForm::btnRestoreClick() {
    SetMaximized(false);
    btnMax->raise();
}

void TBaseUIForm::btnMinClick() {
    // The whole program goes to the task bar, not only the dialog.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->isVisible() &&
            !(window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip))
            window->showMinimized();
    }
}

void TBaseUIForm::btnCloseMeClick() {
    close();
}

void TBaseUIForm::btnOkMeClick() {
    SetModalResult(1);
}

void TBaseUIForm::btnCancelMeClick() {
    SetModalResult(2);
}

void TBaseUIForm::imgTopDblClick() {
    if (!btnMax->isVisibleTo(this))
        return;
    if (IsWindowMaximized())
        btnRestoreClick();
    else
        btnMaxClick();
}

void TBaseUIForm::resizeEvent(QResizeEvent* event) {
    TBaseForm::resizeEvent(event);
    MakeRoundRectForm(this, RoundCorner);
}

void TBaseUIForm::showEvent(QShowEvent* event) {
    TBaseForm::showEvent(event);
    FocusFirstControl();
    // Where the desktop places the windows it opens the dialog over its owner (ShowModal ties
    // the two together); the owner's position is unknown there anyway.
    if (FPlaced || IsWindowMaximized() || DesktopPlacesWindows())
        return;
    FPlaced = true;
    if (QWidget* owner = FindDialogOwner(this)) {
        const QRect area = owner->frameGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    } else {
        CenterInWorkArea();
    }
}

void TBaseUIForm::SetTabChain(std::initializer_list<QWidget*> controls) {
    FTabChain.clear();
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        FTabChain.append(control);
        if (previous)
            setTabOrder(previous, control);
        previous = control;
    }
}

void TBaseUIForm::FocusFirstControl() {
    // Left to itself the window would start at the control it holds first, which need not be
    // the first of the chain: the chain is a ring, and OK and Cancel are made before the rest.
    if (focusWidget())
        return;
    for (QWidget* control : std::as_const(FTabChain)) {
        if (control && control->isVisibleTo(this) && control->isEnabled() &&
            (control->focusPolicy() & Qt::TabFocus)) {
            control->setFocus(Qt::ActiveWindowFocusReason);
            return;
        }
    }
}

namespace {

// The focused button Return and Enter press here: push buttons and skin buttons press
// themselves, check boxes and radio buttons take Space only.
QAbstractButton* ButtonForReturn(QWidget* focus) {
    auto* button = qobject_cast<QAbstractButton*>(focus);
    if (!button || !button->isEnabled() || qobject_cast<QPushButton*>(button) ||
        qobject_cast<TSkinButton*>(button) || qobject_cast<QCheckBox*>(button) ||
        qobject_cast<QRadioButton*>(button))
        return nullptr;
    return button;
}

} // namespace

bool TBaseUIForm::FormKeyDown(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (event->key() == Qt::Key_Escape &&
        !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
        close();
        return true;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (modifiers & ~Qt::KeypadModifier) == Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QAbstractButton* button =
            focus && focus->window() == this ? ButtonForReturn(focus) : nullptr;
        if (button) {
            if (!event->isAutoRepeat())
                button->click();
            return true;
        }
    }
    return false;
}

bool TBaseUIForm::IsCaptionWidget(QWidget* widget) const {
    return widget == imgTop || widget == imgTopLeft || widget == imgTopRight ||
           widget == lblCaption;
}
