#pragma once
// The arithmetic of the crop dialog: where the frame picture is shown in its panel, and how a
// rectangle in video pixels maps to the panel and back. Integer divisions drop the remainder.

#include <QRect>
#include <QSize>

// The margin the picture keeps from each side of its panel.
inline constexpr int CropPanelMargin = 18;

// Where the frame picture is drawn in a panel of `panel` size: the fitted size of the panel less
// the margins (the picture grows or shrinks to touch them), centred.
QRect CropDisplayRect(const QSize& panel, const QSize& video);
// The rectangle X, Y, X + W, Y + H cut to the video; an empty rectangle at 0, 0 when nothing of
// it lies inside.
QRect CutToVideo(int x, int y, int w, int h, const QSize& video);
// A video rectangle in the panel's pixels, for a picture shown at `display`.
QRect VideoToPanel(const QRect& video, const QRect& display, int videoWidth);
// A frame in the panel's pixels back in video pixels, cut to the video.
QRect PanelToVideo(const QRect& frame, const QRect& display, const QSize& video);
