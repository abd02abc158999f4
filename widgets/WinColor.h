#pragma once
// Colours as the program stores them: 0x00BBGGRR in a 32-bit integer (255 is red).

#include <QColor>

using TColor = quint32;

QColor WinColorToQColor(TColor color);
TColor QColorToWinColor(const QColor& color);
