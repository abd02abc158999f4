#pragma once
// The main window for the keyboard and for screen readers: which controls Tab reaches and in
// what order, the window's shortcuts, the hints that name them, and the accessible names of the
// controls whose captions say too little.
//
// Shortcuts press the real buttons, so a shortcut does exactly what a click does in every state
// (nothing while the button is disabled or hidden). Keys a text edit uses for typing (Space, the
// arrows, Delete) stay with the edit while it has the focus.

#include <QList>
#include <QObject>
#include <functional>

class QAbstractButton;
class QKeySequence;
class TMainForm;

class TMainKeys : public QObject {
public:
    explicit TMainKeys(TMainForm& form);

    // The controls in reading order (left to right, top to bottom), as Tab walks them.
    QList<QWidget*> TabChain() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetFocusPolicies();
    void SetTabOrder();
    void AddShortcuts();
    void NameShortcutsInHints();
    void NameControls();
    void AddShortcut(const QKeySequence& keys, std::function<void()> action);
    // Presses the button when a click on it would do something now.
    static void Press(QAbstractButton* button);
    void PlayOrPause();

    TMainForm& F;
    bool FShown = false;
};
