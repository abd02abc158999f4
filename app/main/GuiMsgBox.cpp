#include "app/main/GuiMsgBox.h"

#include "common/MsgBox.h"
#include "ui/BaseFrm.h"

#include <QApplication>
#include <QMessageBox>

void InstallGuiMsgBox() {
    SetMsgBoxHandler([](const TMsgBoxRequest& request) {
        // Tied to the program's window in front, so the desktop keeps it over that window (and
        // places it there where windows cannot place themselves).
        QMessageBox box(FindOwnerWindow());
        box.setWindowTitle(QApplication::applicationName());
        box.setText(request.Text);
        switch (request.Icon) {
        case miInformation:
            box.setIcon(QMessageBox::Information);
            break;
        case miQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case miWarning:
            box.setIcon(QMessageBox::Warning);
            break;
        case miError:
            box.setIcon(QMessageBox::Critical);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
        }
        QMessageBox::StandardButton first = QMessageBox::Ok, second = QMessageBox::NoButton;
        if (request.Buttons == mbOKCancel) {
            second = QMessageBox::Cancel;
        } else if (request.Buttons == mbYesNo) {
            first = QMessageBox::Yes;
            second = QMessageBox::No;
        }
        box.setStandardButtons(first | second);
        box.setDefaultButton(request.DefaultButton == 2 && second != QMessageBox::NoButton ? second
                                                                                           : first);
        switch (box.exec()) {
        case QMessageBox::Cancel:
            return int(mrCancel);
        case QMessageBox::Yes:
            return int(mrYes);
        case QMessageBox::No:
            return int(mrNo);
        case QMessageBox::Ok:
            return int(mrOK);
        default:
            // Closed with Escape or the window button: the box's cancel answer.
            return request.Buttons == mbOKCancel ? int(mrCancel)
                   : request.Buttons == mbYesNo  ? int(mrNo)
                                                 : int(mrOK);
        }
    });
}
