// The time text routines: "hh:mm:ss.fff" in both directions.

#include "decoder/CustomDecoder.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int MaxFractionDigits = 6; // a PTS tick is one microsecond

int64_t PowerOfTen(int exponent) {
    int64_t value = 1;
    for (int i = 0; i < exponent; ++i)
        value *= 10;
    return value;
}

bool IsBlank(QChar ch) {
    return ch == QLatin1Char('_') || ch == QLatin1Char(' ');
}

// Only the digits 0 to 9: digits of other scripts are no part of a time.
bool IsDigit(QChar ch) {
    return ch.unicode() >= u'0' && ch.unicode() <= u'9';
}

// The longest field. Nine digits of hours still fit a PTS, so whatever is read here can be
// written by FormatPTS and read again.
constexpr qsizetype MaxFieldLength = 9;

// Reads a whole-number field in which blanks stand for the digit 0. False for any other character,
// a field too long to be a time, or a value that is not below `limit` (0: no limit).
bool ReadField(QStringView field, int64_t limit, int64_t& value) {
    if (field.size() > MaxFieldLength)
        return false;
    value = 0;
    for (QChar ch : field) {
        if (IsDigit(ch))
            value = value * 10 + (ch.unicode() - u'0');
        else if (IsBlank(ch))
            value *= 10;
        else
            return false;
    }
    return limit == 0 || value < limit;
}

} // namespace

QString FormatPTS(int64_t pts, int digits) {
    if (pts == AV_NOPTS_VALUE)
        return QString();
    if (digits < 0)
        digits = 0;
    if (digits > MaxFractionDigits)
        digits = MaxFractionDigits;
    const bool negative = pts < 0;
    const uint64_t magnitude = negative ? uint64_t(0) - uint64_t(pts) : uint64_t(pts);
    const uint64_t seconds = magnitude / uint64_t(PtsTicksPerSecond);
    const uint64_t fraction = magnitude % uint64_t(PtsTicksPerSecond);
    QString text = QStringLiteral("%1:%2:%3")
                       .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                       .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (digits > 0) {
        const uint64_t shown = fraction / uint64_t(PowerOfTen(MaxFractionDigits - digits));
        text += QLatin1Char('.') + QStringLiteral("%1").arg(shown, digits, 10, QLatin1Char('0'));
    }
    if (negative)
        text.prepend(QLatin1Char('-'));
    return text;
}

int64_t StrToPTS(const QString& text, int digits) {
    if (digits < 0)
        digits = 0;
    if (digits > MaxFractionDigits)
        digits = MaxFractionDigits;

    QStringView rest(text);
    // A text without a single digit (empty, all blanks, only separators) is no time at all.
    if (std::none_of(rest.begin(), rest.end(), IsDigit))
        return AV_NOPTS_VALUE;

    bool negative = false;
    qsizetype start = 0;
    while (start < rest.size() && rest[start] == QLatin1Char(' '))
        ++start;
    if (start < rest.size() && rest[start] == QLatin1Char('-')) {
        negative = true;
        rest = rest.mid(start + 1);
    }

    QStringView whole = rest;
    QStringView fraction;
    const qsizetype point = rest.indexOf(QLatin1Char('.'));
    if (point >= 0) {
        whole = rest.left(point);
        fraction = rest.mid(point + 1);
    }

    const QList<QStringView> fields = whole.split(QLatin1Char(':'));
    if (fields.size() > 3)
        return AV_NOPTS_VALUE;
    // The leftmost field may be as large as it likes ("90" is 90 seconds); the minutes and seconds
    // after it are below 60.
    int64_t seconds = 0;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        int64_t value = 0;
        if (!ReadField(fields[i], i == 0 ? 0 : 60, value))
            return AV_NOPTS_VALUE;
        seconds = seconds * 60 + value;
    }

    // The fraction is read position by position: "5__" is half a second.
    int64_t micro = 0;
    for (qsizetype i = 0; i < fraction.size(); ++i) {
        const QChar ch = fraction[i];
        if (!IsDigit(ch) && !IsBlank(ch))
            return AV_NOPTS_VALUE;
        if (i < digits && IsDigit(ch))
            micro += (ch.unicode() - u'0') * PowerOfTen(MaxFractionDigits - 1 - int(i));
    }

    const int64_t pts = seconds * PtsTicksPerSecond + micro;
    return negative ? -pts : pts;
}
