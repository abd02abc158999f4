#include "common/MsgBox.h"

#include <QCoreApplication>
#include <QMutex>
#include <cstdio>

namespace {
QMutex handlerLock;
TMsgBoxHandler& currentHandler() {
    static TMsgBoxHandler handler;
    return handler;
}
} // namespace

int DefaultMsgBoxResult(int buttons, int defaultButton) {
    switch (buttons) {
    case mbOKCancel:
        return defaultButton == 2 ? mrCancel : mrOK;
    case mbYesNo:
        return defaultButton == 2 ? mrNo : mrYes;
    default:
        return mrOK;
    }
}

TMsgBoxHandler SetMsgBoxHandler(TMsgBoxHandler handler) {
    QMutexLocker locker(&handlerLock);
    TMsgBoxHandler old = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return old;
}

int MsgBox(const QString& text, int buttons, int icon, int defaultButton) {
    TMsgBoxHandler handler;
    {
        QMutexLocker locker(&handlerLock);
        handler = currentHandler();
    }
    const TMsgBoxRequest request{text, buttons, icon, defaultButton};
    if (handler)
        return handler(request);
    const QString caption = QCoreApplication::applicationName();
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(caption), qUtf8Printable(text));
    return DefaultMsgBoxResult(buttons, defaultButton);
}
