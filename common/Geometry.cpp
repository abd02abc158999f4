#include "common/Geometry.h"

#include <cmath>
#include <cstdint>

QSize GetFillSize(int areaWidth, int areaHeight, int imageWidth, int imageHeight, bool enlarge) {
    if (areaWidth <= 0 || areaHeight <= 0 || imageWidth <= 0 || imageHeight <= 0)
        return {};
    if (!enlarge && imageWidth <= areaWidth && imageHeight <= areaHeight)
        return {imageWidth, imageHeight};
    // Compare the proportions in 64 bits: which side of the area limits the picture?
    const int64_t wideByArea = int64_t(imageWidth) * areaHeight;
    const int64_t wideByImage = int64_t(areaWidth) * imageHeight;
    if (wideByArea >= wideByImage) {
        const int height = int(int64_t(imageHeight) * areaWidth / imageWidth);
        return {areaWidth, height > 0 ? height : 1};
    }
    const int width = int(int64_t(imageWidth) * areaHeight / imageHeight);
    return {width > 0 ? width : 1, areaHeight};
}

QRect CenteredRect(const QSize& area, const QSize& size) {
    return {(area.width() - size.width()) / 2, (area.height() - size.height()) / 2, size.width(),
            size.height()};
}

QRect ScaleRect(const QRect& rect, double scale) {
    const int left = int(std::lround(rect.left() * scale));
    const int top = int(std::lround(rect.top() * scale));
    const int right = int(std::lround((rect.left() + rect.width()) * scale));
    const int bottom = int(std::lround((rect.top() + rect.height()) * scale));
    return {left, top, right - left, bottom - top};
}

QRect Intersection(const QRect& a, const QRect& b) {
    return a.intersected(b);
}
