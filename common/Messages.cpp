#include "common/Messages.h"

#include <QCoreApplication>

bool PostMessage(QObject* receiver, int message, qint64 wParam, qint64 lParam,
                 const QString& text) {
    if (!receiver)
        return false;
    QCoreApplication::postEvent(receiver, new TMessageEvent(message, wParam, lParam, text));
    return true;
}

bool SendMessage(QObject* receiver, int message, qint64 wParam, qint64 lParam,
                 const QString& text) {
    if (!receiver)
        return false;
    TMessageEvent event(message, wParam, lParam, text);
    return QCoreApplication::sendEvent(receiver, &event);
}

bool CheckPostMessage(const QPointer<QObject>& receiver, int message, qint64 wParam, qint64 lParam,
                      const QString& text) {
    QObject* target = receiver.data();
    return target ? PostMessage(target, message, wParam, lParam, text) : false;
}
