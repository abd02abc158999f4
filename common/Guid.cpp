#include "common/Guid.h"

#include <QUuid>

QString CreateNewGUID() {
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}
