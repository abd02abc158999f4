#pragma once
// A modal message box with the program's button and result codes.
//
// Buttons: 1 OK, 2 OK + Cancel, 3 Yes + No. Results: 1 OK, 2 Cancel, 6 Yes, 7 No.
// Icon kinds: 0 none, 1 information, 2 question, 3 warning, 4 error.
// The default button is 1-based within the buttons shown.
//
// This layer does not draw windows: the user-interface layer installs the handler that shows a
// real box, and tests install one that answers without a person. Without a handler the text is
// written to standard error and the default button's result is returned.

#include <QString>
#include <functional>

enum TMsgButtons { mbOK = 1, mbOKCancel = 2, mbYesNo = 3 };
enum TMsgResult { mrOK = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };
enum TMsgIcon { miNone = 0, miInformation = 1, miQuestion = 2, miWarning = 3, miError = 4 };

struct TMsgBoxRequest {
    QString Text;
    int Buttons = mbOK;
    int Icon = miNone;
    int DefaultButton = 1;
};

using TMsgBoxHandler = std::function<int(const TMsgBoxRequest&)>;

int MsgBox(const QString& text, int buttons, int icon, int defaultButton);

// Installs the handler and returns the one it replaces (an empty one restores the fallback).
TMsgBoxHandler SetMsgBoxHandler(TMsgBoxHandler handler);

// The result a box returns when its default button is taken.
int DefaultMsgBoxResult(int buttons, int defaultButton);
