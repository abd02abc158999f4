#pragma once
// What the player and the still view draw over a video picture: the project's crop rectangle and
// the picture's time in the top-left corner.

#include <QColor>
#include <cstdint>

class QPainter;
class QRect;
class TVGProj;

// The crop rectangle of `proj` over a frame shown in `imageRect`, captioned "Crop Area".
void DrawCropArea(QPainter& painter, const TVGProj& proj, const QRect& imageRect);
// The time `pts` at the top-left corner on a box of `background`.
void DrawTimeStamp(QPainter& painter, int64_t pts, const QColor& background);
