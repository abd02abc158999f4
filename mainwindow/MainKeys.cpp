#include "mainwindow/MainKeys.h"

#include "mainwindow/MainFrm.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QShortcut>

TMainKeys::TMainKeys(TMainForm& form) : QObject(&form), F(form) {
    SetFocusPolicies();
    SetTabOrder();
    AddShortcuts();
    NameShortcutsInHints();
    NameControls();
    // The window opens with the strip focused, not the first button in the chain: Space then
    // plays, and Tab begins where the user's eye does.
    F.installEventFilter(this);
}

bool TMainKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &F && event->type() == QEvent::Show && !FShown) {
        FShown = true;
        F.ShotView->setFocus(Qt::OtherFocusReason);
    }
    return false;
}

QList<QWidget*> TMainKeys::TabChain() const {
    return {F.btnOptions, F.btnHelp,     F.TrackBar,   F.btnInfo,       F.btnPriorMore,
            F.ShotView,   F.btnNextMore, F.Button1,    F.btnPlay,       F.btnPause,
            F.btnMore,    F.btnStart,    F.edtStart,   F.btnEnd,        F.edtEnd,
            F.btnCrop,    F.btnSetting,  F.btnConvert, F.btnPriorFrame, F.btnNextFrame};
}

void TMainKeys::SetFocusPolicies() {
    // Tab reaches the buttons, a click leaves the focus where it was: the strip keeps it for
    // Delete and the arrows after a click on Play.
    for (QWidget* control : TabChain())
        if (qobject_cast<TSkinButton*>(control) || control == F.TrackBar)
            control->setFocusPolicy(Qt::TabFocus);
}

void TMainKeys::SetTabOrder() {
    const QList<QWidget*> chain = TabChain();
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TMainKeys::AddShortcut(const QKeySequence& keys, std::function<void()> action) {
    auto* shortcut = new QShortcut(keys, &F);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, std::move(action));
}

void TMainKeys::Press(QAbstractButton* button) {
    if (button->isEnabled() && button->isVisible())
        button->click();
}

void TMainKeys::PlayOrPause() {
    // Space on a button that has the focus presses that button, as everywhere.
    if (auto* focused = qobject_cast<QAbstractButton*>(F.focusWidget())) {
        Press(focused);
        return;
    }
    Press(F.btnPlay->isVisible() ? F.btnPlay : F.btnPause);
}

void TMainKeys::AddShortcuts() {
    AddShortcut(Qt::Key_Space, [this] { PlayOrPause(); });
    AddShortcut(Qt::Key_Left, [this] { Press(F.btnPriorFrame); });
    AddShortcut(Qt::Key_Right, [this] { Press(F.btnNextFrame); });
    AddShortcut(Qt::SHIFT | Qt::Key_Left, [this] { Press(F.btnPriorMore); });
    AddShortcut(Qt::SHIFT | Qt::Key_Right, [this] { Press(F.btnNextMore); });
    AddShortcut(QKeySequence::Open, [this] { Press(F.Button1); });
    AddShortcut(Qt::CTRL | Qt::Key_Return, [this] { Press(F.btnConvert); });
    AddShortcut(Qt::CTRL | Qt::Key_Enter, [this] { Press(F.btnConvert); });
    AddShortcut(Qt::Key_Delete, [this] { F.acDeleteExecute(); });
    AddShortcut(Qt::CTRL | Qt::Key_Q, [this] { F.close(); });
    // The help menu shows F1 beside "Help Content"; the window carries the action so the key
    // works while the menu is closed.
    F.pmiHelp->setShortcut(Qt::Key_F1);
    F.pmiHelp->setShortcutContext(Qt::WindowShortcut);
    F.addAction(F.pmiHelp);
}

void TMainKeys::NameShortcutsInHints() {
    struct THint {
        TSkinButton* Button;
        const char* Name;
        const char* Keys;
    };
    const THint hints[] = {{F.Button1, "Open", "Ctrl+O"},
                           {F.btnPlay, "Play", "Space"},
                           {F.btnPause, "Pause", "Space"},
                           {F.btnConvert, "Convert", "Ctrl+Return"},
                           {F.btnPriorFrame, "Last frame", "Left"},
                           {F.btnNextFrame, "Next frame", "Right"},
                           {F.btnPriorMore, "Last group", "Shift+Left"},
                           {F.btnNextMore, "Next group", "Shift+Right"},
                           {F.btnClose, "Close", "Ctrl+Q"}};
    // The hint shows the key beside the name; a screen reader says the name, then the key.
    for (const THint& hint : hints) {
        const QString name = QString::fromLatin1(hint.Name), keys = QString::fromLatin1(hint.Keys);
        hint.Button->setToolTip(QStringLiteral("%1 (%2)").arg(name, keys));
        hint.Button->setAccessibleName(name);
        hint.Button->setAccessibleDescription(QStringLiteral("Shortcut: ") + keys);
    }
}

void TMainKeys::NameControls() {
    F.TrackBar->setAccessibleName(QStringLiteral("Position"));
    F.edtStart->setAccessibleName(QStringLiteral("Start time"));
    F.edtEnd->setAccessibleName(QStringLiteral("End time"));
    F.ShotView->setAccessibleName(QStringLiteral("Frames"));
    // Its hover shows the video information in a hint of its own, so no tool tip.
    F.btnInfo->setAccessibleName(QStringLiteral("Video information"));
    F.pnlPlayer->setAccessibleName(QStringLiteral("Player"));
    F.lblDuration->setAccessibleName(QStringLiteral("Duration"));
}
