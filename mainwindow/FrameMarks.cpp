#include "mainwindow/FrameMarks.h"

#include "common/CommonFunctions.h"
#include "decoder/CustomDecoder.h"
#include "project/VGConfig.h"
#include "project/VGProj.h"
#include "widgets/WinColor.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

void DrawCropArea(QPainter& painter, const TVGProj& proj, const QRect& imageRect) {
    if (proj.VideoWidth <= 0)
        return;
    const double scale = double(imageRect.width()) / proj.VideoWidth;
    const QRect crop = Intersection(
        ScaleRect(proj.CropRect.ToQRect(), scale).translated(imageRect.topLeft()), imageRect);
    if (crop.isEmpty())
        return;
    const QColor color = WinColorToQColor(Config ? TColor(Config->CropRcColor) : 255);
    painter.save();
    painter.setPen(color);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(crop.adjusted(0, 0, -1, -1));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    painter.setFont(font);
    painter.drawText(crop.topLeft() + QPoint(1, 1 + QFontMetrics(font).ascent()),
                     QStringLiteral("Crop Area"));
    painter.restore();
}

void DrawTimeStamp(QPainter& painter, int64_t pts, const QColor& background) {
    const QString text = FormatPTS(pts, 3);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const QRect box(0, 0, metrics.horizontalAdvance(text) + 4, metrics.height());
    painter.save();
    painter.fillRect(box, background);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
}
