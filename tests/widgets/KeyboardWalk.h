#pragma once
// Walking a window with the keyboard as a user does: real Tab and Shift+Tab key presses at the
// focused control, noting which control the focus lands on; and what screen readers call a
// control. Texts come back as standard strings, so that failed checks print them readably.

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QString>
#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

using TNames = std::vector<std::string>;

// The control the focus is in: the focused widget, or the named control around it when the focus
// is in one of its inner parts (the edit of a spin box or combo box, the bar of a tab widget).
inline std::string FocusedControl() {
    QWidget* widget = QApplication::focusWidget();
    while (widget && (widget->objectName().isEmpty() ||
                      widget->objectName().startsWith(QLatin1String("qt_"))))
        widget = widget->parentWidget();
    return widget ? widget->objectName().toStdString() : "<nothing>";
}

// Presses Tab (Shift+Tab when `backwards`) `steps` times where the focus is and lists the
// controls the focus moves to.
inline TNames WalkTabs(int steps, bool backwards = false) {
    TNames visited;
    for (int i = 0; i < steps; ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus)
            break;
        QTest::keyClick(focus, backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                        backwards ? Qt::ShiftModifier : Qt::NoModifier);
        visited.push_back(FocusedControl());
    }
    return visited;
}

// What screen readers call a widget. A combo box is called by the label that names it (its
// own name on this desktop is the value it shows).
inline std::string AccessibleName(QWidget* widget) {
    QAccessibleInterface* face = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    if (!face)
        return "<no widget>";
    if (qobject_cast<QComboBox*>(widget)) {
        const auto labels = face->relations(QAccessible::Label);
        return labels.isEmpty() ? "<no label>"
                                : labels.first().first->text(QAccessible::Name).toStdString();
    }
    return face->text(QAccessible::Name).toStdString();
}
