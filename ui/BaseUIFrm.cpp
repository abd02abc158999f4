#include "ui/BaseUIFrm.h"

#include "app/Brand.h"
#include "localisation/Language.h"
#include "ui/SkinArt.h"
#include "ui/UIUtils.h"
#include "widgets/Anchors.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>

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
    if (FPlaced || IsWindowMaximized())
        return;
    FPlaced = true;
    if (QWidget* owner = FindDialogOwner(this)) {
        const QRect area = owner->frameGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    } else {
        CenterInWorkArea();
    }
}

bool TBaseUIForm::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape &&
        !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
        close();
        return true;
    }
    return false;
}

bool TBaseUIForm::IsCaptionWidget(QWidget* widget) const {
    return widget == imgTop || widget == imgTopLeft || widget == imgTopRight ||
           widget == lblCaption;
}
