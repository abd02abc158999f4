#pragma once
// Writes small GIF files with giflib for the tests: any frame rectangles, disposal methods,
// transparency, local colour tables, interlacing, with or without a loop extension.

#include <QByteArray>
#include <QRect>
#include <QtGui/qrgb.h>
#include <optional>
#include <vector>

struct TTestFrame {
    QRect Rect;
    std::vector<unsigned char> Indices; // Rect.width() × Rect.height(), row by row
    int DelayCs = 10;
    int Disposal = 1;
    int Transparent = -1;
    bool Interlaced = false;
    std::vector<QRgb> LocalPalette; // empty: the global one
};

struct TTestGif {
    int Width = 0;
    int Height = 0;
    std::vector<QRgb> Palette; // a power of two of colours, 2 to 256
    std::optional<int> Loop;   // the loop extension's count; none: no extension
    std::vector<TTestFrame> Frames;
};

QByteArray WriteTestGif(const TTestGif& gif);

// A frame of one colour index.
TTestFrame FilledFrame(const QRect& rect, unsigned char index, int disposal = 1, int delayCs = 10);

// The four colours most tests use: 0 red, 1 green, 2 blue, 3 white.
std::vector<QRgb> FourColours();
