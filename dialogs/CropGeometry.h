#pragma once
// The arithmetic of the crop dialog: where the frame picture is shown in its panel, and how a
// rectangle in video pixels maps to the panel and back. Integer divisions drop the remainder.

#include <QRect>
#include <QSize>

// The margin the picture keeps from each side of its panel.
inline constexpr int CropPanelMargin = 18;

// The largest size with the picture's proportions that fits the area (empty for any side of 0
// or below).
QSize FitSize(const QSize& area, const QSize& picture);
// Where the frame picture is drawn in a panel of `panel` size: the fitted size of the panel less
// the margins, centred.
QRect CropDisplayRect(const QSize& panel, const QSize& video);
// A rectangle scaled by `factor`, each edge taken to the nearest whole pixel.
QRect ScaleEdges(const QRect& rect, double factor);
// The rectangle X, Y, X + W, Y + H cut to the video; an empty rectangle at 0, 0 when nothing of
// it lies inside.
QRect CutToVideo(int x, int y, int w, int h, const QSize& video);
// A video rectangle in the panel's pixels, for a picture shown at `display`.
QRect VideoToPanel(const QRect& video, const QRect& display, int videoWidth);
// A frame in the panel's pixels back in video pixels, cut to the video.
QRect PanelToVideo(const QRect& frame, const QRect& display, const QSize& video);
