#pragma once
// Fitting and placing rectangles: how a picture is shown in an area with its proportions kept,
// scaled rectangles and their overlap. Integer arithmetic truncates toward zero throughout, so a
// picture placed by these routines lands on the same pixels wherever it is drawn.

#include <QRect>
#include <QSize>

// The size at which a picture of imageWidth x imageHeight is shown inside an area of
// areaWidth x areaHeight with its proportions kept. Without `enlarge` a picture that already fits
// keeps its own size; with it, it grows to touch the area's edges. Any side of 0 or below gives
// an empty size.
QSize GetFillSize(int areaWidth, int areaHeight, int imageWidth, int imageHeight, bool enlarge);

// A rectangle of `size` centred in an area of `area` size: left = (area width - width) div 2,
// top likewise.
QRect CenteredRect(const QSize& area, const QSize& size);

// Every edge of `rect` multiplied by `scale` (rounded to the nearest pixel).
QRect ScaleRect(const QRect& rect, double scale);

// The part two rectangles share; empty when they do not overlap.
QRect Intersection(const QRect& a, const QRect& b);
