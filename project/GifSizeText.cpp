#include "project/GifSizeText.h"

#include "engine/ConversionPlan.h"

#include <QRegularExpression>
#include <cmath>
#include <utility>

namespace {

// Every unit a size may carry, by its lower-case spelling.
constexpr std::pair<const char*, int64_t> units[] = {
    {"", 1},
    {"b", 1},
    {"k", 1000},
    {"kb", 1000},
    {"m", 1000 * 1000},
    {"mb", 1000 * 1000},
    {"g", 1000 * 1000 * 1000},
    {"gb", 1000 * 1000 * 1000},
    {"ki", 1024},
    {"kib", 1024},
    {"mi", 1024 * 1024},
    {"mib", 1024 * 1024},
    {"gi", 1024 * 1024 * 1024},
    {"gib", 1024 * 1024 * 1024},
};

std::optional<int64_t> UnitBytes(const QString& unit) {
    const QString lower = unit.toLower();
    for (const auto& [name, bytes] : units)
        if (lower == QLatin1String(name))
            return bytes;
    return std::nullopt;
}

// `bytes` in `unit` with at most three decimals ("2.5"), or empty when that is not exact.
QString ExactIn(int64_t bytes, int64_t unit) {
    if (bytes < unit || (bytes * 1000) % unit != 0)
        return {};
    const int64_t thousandths = bytes * 1000 / unit;
    QString text = QString::number(thousandths / 1000);
    if (const int64_t rest = thousandths % 1000; rest != 0) {
        QString decimals = QStringLiteral("%1").arg(rest, 3, 10, QLatin1Char('0'));
        while (decimals.endsWith(QLatin1Char('0')))
            decimals.chop(1);
        text += QLatin1Char('.') + decimals;
    }
    return text;
}

} // namespace

std::optional<int64_t> ParseGifSize(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d+(?:\\.\\d*)?|\\.\\d+)\\s*([A-Za-z]*)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const std::optional<int64_t> unit = UnitBytes(match.captured(2));
    bool ok = false;
    const double number = match.captured(1).toDouble(&ok);
    if (!unit || !ok || !std::isfinite(number))
        return std::nullopt;
    // Rounded down: a limit is never exceeded by reading it.
    const double bytes = std::floor(number * static_cast<double>(*unit) + 1e-6);
    if (bytes > static_cast<double>(LargestGifSizeLimit))
        return std::nullopt;
    return static_cast<int64_t>(bytes);
}

QString FormatGifSize(int64_t bytes) {
    if (bytes <= 0)
        return {};
    // The shortest text; of two as short, one without decimals, then one with a unit.
    const auto rank = [](const QString& text, bool plain) {
        return text.size() * 4 + (text.contains(QLatin1Char('.')) ? 2 : 0) + (plain ? 1 : 0);
    };
    QString best = QString::number(bytes);
    qsizetype bestRank = rank(best, true);
    const std::pair<int64_t, const char*> choices[] = {{1000 * 1000 * 1000, "G"},
                                                       {1024 * 1024 * 1024, "GiB"},
                                                       {1000 * 1000, "M"},
                                                       {1024 * 1024, "MiB"},
                                                       {1000, "K"},
                                                       {1024, "KiB"}};
    for (const auto& [unit, name] : choices) {
        const QString number = ExactIn(bytes, unit);
        if (number.isEmpty())
            continue;
        const QString text = number + QLatin1String(name);
        if (const qsizetype textRank = rank(text, false); textRank < bestRank) {
            best = text;
            bestRank = textRank;
        }
    }
    return best;
}

QString CheckGifSizeLimit(int64_t bytes) {
    if (bytes < 0)
        return QStringLiteral("A size limit cannot be negative.");
    if (bytes > 0 && bytes < MinGifBytes)
        return QStringLiteral("A size limit must be at least %1 bytes: no GIF is smaller.")
            .arg(MinGifBytes);
    return {};
}
