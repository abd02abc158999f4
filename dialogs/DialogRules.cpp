#include "dialogs/DialogRules.h"

#include "project/VGElements.h"

#include <QComboBox>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

int ReadInteger(const QString& text, int fallback) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : fallback;
}

QString RangeProblem(const QString& text, qint64 low, qint64 high, const QString& lowMessage,
                     const QString& highMessage) {
    const QString t = text.trimmed();
    bool ok = false;
    const qint64 value = t.toLongLong(&ok);
    // All digits but too many for a number: over any range.
    static const QRegularExpression digits(QStringLiteral("^\\+?[0-9]+$"));
    if (!ok && digits.match(t).hasMatch())
        return highMessage;
    if (!ok || value < low)
        return lowMessage;
    return value > high ? highMessage : QString();
}

QString FrameRateProblem(const QString& text) {
    return RangeProblem(
        text, 1, MaxGifFPS,
        QStringLiteral("\"%1\" is not a frame rate. Type a whole number of frames per second, 1 or "
                       "more.")
            .arg(text.trimmed()),
        QStringLiteral("The frame rate must be between 1 and %1 frames per second.")
            .arg(MaxGifFPS));
}

double ReadSpeedText(const QString& text, const QString& firstItem) {
    QString t = text.trimmed();
    if (t.isEmpty() || t.compare(firstItem.trimmed(), Qt::CaseInsensitive) == 0)
        return 1.0;
    if (t.endsWith(QLatin1Char('%')))
        t.chop(1);
    t = t.trimmed();
    // A decimal comma from another locale's habit must not turn 1,5 into 15.
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    double percent = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(percent))
        percent = 100;
    return percent / 100;
}

QString SpeedDisplayText(double factor, const QString& firstItem) {
    if (std::fabs(factor - 1.0) <= 1e-12)
        return firstItem;
    return QString::number(std::llround(factor * 100)) + QLatin1Char('%');
}

bool IsReplayCountText(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= 0;
}

int ReadReplayText(const QString& text) {
    return IsReplayCountText(text) ? text.trimmed().toInt() : -1;
}

QString ReplayDisplayText(int count, const QString& firstItem) {
    return count < 0 ? firstItem : QString::number(count);
}

void NormalizeSpeedBox(QComboBox* box) {
    const QString first = box->itemText(0);
    const QString shown = SpeedDisplayText(ReadSpeedText(box->currentText(), first), first);
    if (shown != box->currentText())
        box->setEditText(shown);
}

void NormalizeReplayBox(QComboBox* box) {
    if (!IsReplayCountText(box->currentText()))
        box->setEditText(box->itemText(0));
}

QFont THeldFont::ToFont() const {
    QFont font(Name);
    if (Size > 0)
        font.setPointSize(Size);
    font.setBold((Styles & fsBoldBit) != 0);
    font.setItalic((Styles & fsItalicBit) != 0);
    font.setUnderline((Styles & fsUnderlineBit) != 0);
    font.setStrikeOut((Styles & fsStrikeOutBit) != 0);
    return font;
}

THeldFont THeldFont::FromFont(const QFont& font, TColor color) {
    THeldFont held;
    held.Name = font.family();
    held.Size = font.pointSize() > 0 ? font.pointSize() : qRound(font.pointSizeF());
    held.Styles = (font.bold() ? fsBoldBit : 0) | (font.italic() ? fsItalicBit : 0) |
                  (font.underline() ? fsUnderlineBit : 0) | (font.strikeOut() ? fsStrikeOutBit : 0);
    held.Color = color & 0xFFFFFF;
    return held;
}

const QStringList& SpeedListItems() {
    static const QStringList items = {QStringLiteral("Keep Original"), QStringLiteral("20%"),
                                      QStringLiteral("50%"),           QStringLiteral("150%"),
                                      QStringLiteral("200%"),          QStringLiteral("300%")};
    return items;
}

const QStringList& ReplayListItems() {
    static const QStringList items = {QStringLiteral("Infinite"), QStringLiteral("0"),
                                      QStringLiteral("1"), QStringLiteral("2"),
                                      QStringLiteral("3")};
    return items;
}
