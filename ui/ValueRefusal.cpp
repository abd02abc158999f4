#include "ui/ValueRefusal.h"

#include "common/MsgBox.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTabWidget>

namespace {

// Every page on the way from the control up to its window is made the current one, so that a
// control on a hidden tab page can be seen.
void BringPagesForward(QWidget* control) {
    for (QWidget* w = control; w && !w->isWindow(); w = w->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
        if (!stack)
            continue;
        // A tab widget's pages sit in its own stack; the tab bar must follow too.
        if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()))
            tabs->setCurrentWidget(w);
        else
            stack->setCurrentWidget(w);
    }
}

void SelectText(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->selectAll();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(control))
        spin->selectAll();
    else if (auto* box = qobject_cast<QComboBox*>(control); box && box->lineEdit())
        box->lineEdit()->selectAll();
}

} // namespace

bool RefuseValue(const TUnusableValue& value) {
    if (!value.Control)
        return false;
    MsgBox(value.Message, mbOK, miWarning, 1);
    BringPagesForward(value.Control);
    value.Control->setFocus(Qt::OtherFocusReason);
    SelectText(value.Control);
    return true;
}
