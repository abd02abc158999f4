#include "widgets/NumberEdit.h"

#include <QRegularExpressionValidator>

TNumberEdit::TNumberEdit(QWidget* parent, TNumberDataType type) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetDataType(type);
    setText(QStringLiteral("0"));
}

void TNumberEdit::SetDataType(TNumberDataType type) {
    FType = type;
    const QString pattern = type == dfInteger ? QStringLiteral("[-+]?[0-9]{0,10}")
                                              : QStringLiteral("[-+]?[0-9]{0,12}([.,][0-9]{0,6})?");
    setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), this));
}

int TNumberEdit::AsInteger(int fallback) const {
    bool ok = false;
    const int value = text().trimmed().toInt(&ok);
    return ok ? value : fallback;
}

double TNumberEdit::AsFloat(double fallback) const {
    bool ok = false;
    QString t = text().trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const double value = t.toDouble(&ok);
    return ok ? value : fallback;
}

void TNumberEdit::SetAsInteger(int value) {
    setText(QString::number(value));
}

void TNumberEdit::SetAsFloat(double value, int decimals) {
    setText(QString::number(value, 'f', decimals));
}
