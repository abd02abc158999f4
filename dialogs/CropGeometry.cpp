#include "dialogs/CropGeometry.h"

#include <cmath>

QSize FitSize(const QSize& area, const QSize& picture) {
    if (area.width() <= 0 || area.height() <= 0 || picture.width() <= 0 || picture.height() <= 0)
        return {0, 0};
    const qint64 w = area.width(), h = area.height();
    const qint64 pw = picture.width(), ph = picture.height();
    // Full width when the height then fits, else full height.
    if (w * ph <= h * pw)
        return {int(w), int(w * ph / pw)};
    return {int(h * pw / ph), int(h)};
}

QRect CropDisplayRect(const QSize& panel, const QSize& video) {
    const QSize fitted = FitSize(
        QSize(panel.width() - 2 * CropPanelMargin, panel.height() - 2 * CropPanelMargin), video);
    const int left = (panel.width() - fitted.width()) / 2;
    const int top = (panel.height() - fitted.height()) / 2;
    return {left, top, fitted.width(), fitted.height()};
}

QRect ScaleEdges(const QRect& rect, double factor) {
    const int left = int(std::lround(rect.x() * factor));
    const int top = int(std::lround(rect.y() * factor));
    const int right = int(std::lround((rect.x() + rect.width()) * factor));
    const int bottom = int(std::lround((rect.y() + rect.height()) * factor));
    return {left, top, right - left, bottom - top};
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
    return ScaleEdges(video, factor).translated(display.topLeft());
}

QRect PanelToVideo(const QRect& frame, const QRect& display, const QSize& video) {
    if (display.width() <= 0)
        return {0, 0, 0, 0};
    const double factor = double(video.width()) / display.width();
    const QRect scaled = ScaleEdges(frame.translated(-display.topLeft()), factor);
    return CutToVideo(scaled.x(), scaled.y(), scaled.width(), scaled.height(), video);
}
