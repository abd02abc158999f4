#include "dialogs/CropGeometry.h"

#include "common/Geometry.h"

QRect CropDisplayRect(const QSize& panel, const QSize& video) {
    QSize fitted =
        GetFillSize(panel.width() - 2 * CropPanelMargin, panel.height() - 2 * CropPanelMargin,
                    video.width(), video.height(), true);
    if (fitted.isEmpty())
        fitted = QSize(0, 0);
    return CenteredRect(panel, fitted);
}

QRect CutToVideo(int x, int y, int w, int h, const QSize& video) {
    // Edges in 64 bits: typed numbers may be as large as an int holds.
    const qint64 left = qMax<qint64>(x, 0), top = qMax<qint64>(y, 0);
    const qint64 right = qMin<qint64>(qint64(x) + w, video.width());
    const qint64 bottom = qMin<qint64>(qint64(y) + h, video.height());
    if (right <= left || bottom <= top)
        return {0, 0, 0, 0};
    return {int(left), int(top), int(right - left), int(bottom - top)};
}

QRect VideoToPanel(const QRect& video, const QRect& display, int videoWidth) {
    if (videoWidth <= 0)
        return {};
    const double factor = double(display.width()) / videoWidth;
    return ScaleRect(video, factor).translated(display.topLeft());
}

QRect PanelToVideo(const QRect& frame, const QRect& display, const QSize& video) {
    if (display.width() <= 0)
        return {0, 0, 0, 0};
    const double factor = double(video.width()) / display.width();
    const QRect scaled = ScaleRect(frame.translated(-display.topLeft()), factor);
    return CutToVideo(scaled.x(), scaled.y(), scaled.width(), scaled.height(), video);
}
