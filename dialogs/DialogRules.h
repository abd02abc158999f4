#pragma once
// The reading and display rules the settings and options dialogs share: the GIF speed box, the
// replay count box, lenient whole numbers, the limits of what a GIF can hold, and caption fonts
// as the font dialog sees them.

#include "project/VGConfig.h"
#include "widgets/WinColor.h"

#include <QFont>
#include <QString>
#include <QStringList>

class QComboBox;

// Whole number of a text, `fallback` when the text is not one (blanks around it allowed).
int ReadInteger(const QString& text, int fallback);

// The most frames a second a GIF shows: its frame delays count hundredths of a second, and
// browsers play delays under 2 hundredths as 10, so a faster GIF would play slower.
inline constexpr int MaxGifFPS = SettingLimits::MaxGifFPS;
// The largest width and height the GIF format can hold.
inline constexpr int MaxGifSide = 65535;

// Why a typed whole number cannot be used: `lowMessage` when the text is no whole number or one
// under `low`, `highMessage` when it is over `high` (however many digits it has); empty when it
// lies within low..high.
QString RangeProblem(const QString& text, qint64 low, qint64 high, const QString& lowMessage,
                     const QString& highMessage);
// Why a typed frame rate cannot be used (a whole number from 1 to MaxGifFPS); empty when it can.
QString FrameRateProblem(const QString& text);

// The speed factor a speed box's text stands for: an empty text or the first item ("Keep
// Original", letter case ignored) gives 1.0; otherwise one trailing "%" is dropped and the rest
// read as a decimal number with "." or "," as separator whatever the locale (100 when it is not
// a number) and divided by 100.
double ReadSpeedText(const QString& text, const QString& firstItem);
// The entries of the speed list and of the replay list, the same in every dialog that offers them.
const QStringList& SpeedListItems();
const QStringList& ReplayListItems();
// The text a speed factor is shown as: the first item for 1.0 (within 1e-12), else the factor in
// whole percent followed by "%".
QString SpeedDisplayText(double factor, const QString& firstItem);

// True when a replay text is a whole number of at least 0; anything else is shown as the first
// item ("Infinite").
bool IsReplayCountText(const QString& text);
// The replay count a text stands for: its whole number, -1 ("Infinite") for anything else and
// for negative numbers.
int ReadReplayText(const QString& text);
// The text a replay count is shown as: the first item for -1, else the number.
QString ReplayDisplayText(int count, const QString& firstItem);

// The handlers of a speed box and a replay box when they lose the focus: the text is read and
// shown again by the rules above.
void NormalizeSpeedBox(QComboBox* box);
void NormalizeReplayBox(QComboBox* box);

// A caption font as the font button holds it: name, size in points, style bits (bit 0 bold,
// 1 italic, 2 underline, 3 strike-out) and colour. Kept as the caption's own values, so showing
// and storing a caption never changes them.
struct THeldFont {
    QString Name;
    int Size = 0;
    int Styles = 0;
    TColor Color = 0;

    // The font the font dialog starts from, and the held font of what it returns.
    QFont ToFont() const;
    static THeldFont FromFont(const QFont& font, TColor color);
    bool operator==(const THeldFont&) const = default;
};
