#include "tests/e2e/ScreenReading.h"

#include "FramePattern.h"

#include <QDir>
#include <algorithm>
#include <iostream>

namespace {

bool IsInk(QRgb pixel) {
    return std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)}) < 220;
}

bool IsColour(QRgb pixel, int level) {
    return qRed(pixel) == level && qGreen(pixel) == level && qBlue(pixel) == level;
}

} // namespace

int ShownFrameIndex(const QImage& shot, const QRect& area) {
    if (!shot.rect().contains(area))
        return -1;
    return fixture::ReadIndexPattern(shot.copy(area));
}

QRect PictureBounds(const QImage& shot, const QRect& area, QRgb background) {
    const QRect inside = area & shot.rect();
    QRect bounds;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if ((shot.pixel(x, y) & RGB_MASK) != (background & RGB_MASK))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

int WhiteTextPixels(const QImage& shot, const QRect& area) {
    const QRect inside = area & shot.rect();
    int count = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QRgb pixel = shot.pixel(x, y);
            count += std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)}) >= 245 ? 1 : 0;
        }
    return count;
}

std::optional<int> ThumbCentre(const QImage& shot, const QRect& trackBar) {
    if (!shot.rect().contains(trackBar))
        return std::nullopt;
    // The groove and the marked stretch fill the middle rows from end to end; only the thumb
    // reaches the rows above and below them. The duration's text reaches into the right end, in
    // narrow letters: the thumb is the widest run of inked columns.
    const int middle = trackBar.height() / 2;
    int runStart = -1, bestStart = -1, bestWidth = 0;
    for (int x = trackBar.left(); x <= trackBar.right() + 1; ++x) {
        bool ink = false;
        for (int row = 0; x <= trackBar.right() && row < trackBar.height() && !ink; ++row)
            if (row < middle - 3 || row > middle + 2)
                ink = IsInk(shot.pixel(x, trackBar.top() + row));
        if (ink && runStart < 0)
            runStart = x;
        if (!ink && runStart >= 0) {
            if (x - runStart > bestWidth) {
                bestStart = runStart;
                bestWidth = x - runStart;
            }
            runStart = -1;
        }
    }
    if (bestStart < 0)
        return std::nullopt;
    return bestStart + bestWidth / 2;
}

TShownView ShownView(const QImage& shot, const QRect& panel) {
    if (!shot.rect().contains(panel))
        return TShownView::Neither;
    // The box's left column, below its top edge: the box's colour, never its text.
    const QRgb mark = shot.pixel(panel.left(), panel.top() + 2);
    if (IsColour(mark, 255))
        return TShownView::Player;
    if (IsColour(mark, 243))
        return TShownView::Still;
    return TShownView::Neither;
}

const char* ViewName(TShownView view) {
    switch (view) {
    case TShownView::Player:
        return "the player";
    case TShownView::Still:
        return "the still view";
    case TShownView::Neither:
        break;
    }
    return "neither the player nor the still view";
}

QString TShotLog::Save(const QImage& shot, const QString& name) {
    const QString path = QDir(FFolder).filePath(name + QStringLiteral(".png"));
    if (shot.save(path, "PNG")) {
        FPaths << path;
        std::cout << "Screenshot: " << path.toStdString() << std::endl;
    }
    return path;
}
