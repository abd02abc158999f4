#include "ui/SkinArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

TSkinPalette BuiltInSkinPalette() {
    return {QColor(62, 70, 84),  QColor(44, 50, 61),   QColor(30, 34, 42),   QColor(236, 239, 244),
            QColor(209, 52, 56), QColor(42, 108, 212), QColor(246, 247, 249)};
}

TSkinPalette BrandSkinPalette(const QString& folderKey) {
    if (folderKey == QLatin1String("qopa"))
        return {QColor(32, 112, 196),  QColor(22, 84, 160), QColor(16, 62, 122),
                QColor(255, 255, 255), QColor(214, 58, 58), QColor(26, 124, 214),
                QColor(246, 248, 251)};
    if (folderKey == QLatin1String("pelmat"))
        return {QColor(0, 128, 118),   QColor(0, 98, 92),   QColor(0, 70, 66),
                QColor(255, 255, 255), QColor(214, 58, 58), QColor(0, 138, 126),
                QColor(245, 249, 248)};
    return BuiltInSkinPalette();
}

QString TSkinPart::FileName(const QString& prefix) const {
    QString name = prefix + QLatin1Char('.') + Component;
    if (!State.isEmpty())
        name += QLatin1Char('.') + State;
    return name + QLatin1Char('.') + Extension;
}

QList<TSkinPart> BaseUIFormSkinParts() {
    QList<TSkinPart> parts = {
        {QStringLiteral("imgTop"), {}, QStringLiteral("jpg")},
        {QStringLiteral("imgLeft"), {}, QStringLiteral("bmp")},
        {QStringLiteral("imgRight"), {}, QStringLiteral("bmp")},
        {QStringLiteral("imgBottom"), {}, QStringLiteral("bmp")},
        {QStringLiteral("imgTopLeft"), {}, QStringLiteral("bmp")},
        {QStringLiteral("imgTopRight"), {}, QStringLiteral("bmp")},
        {QStringLiteral("imgBottomLeft"), {}, QStringLiteral("bmp")},
        {QStringLiteral("imgBottomRight"), {}, QStringLiteral("bmp")},
        {QStringLiteral("imgIco"), {}, QStringLiteral("bmp")},
    };
    for (const char* button :
         {"btnMin", "btnMax", "btnRestore", "btnCloseMe", "btnOkMe", "btnCancelMe"}) {
        for (const char* state : {"normal", "hot", "down"})
            parts.append(
                {QString::fromLatin1(button), QString::fromLatin1(state), QStringLiteral("bmp")});
    }
    return parts;
}

namespace {

constexpr int TitleHeight = 31;

// The title bar's colour at a row: a vertical gradient with a light line at the very top.
QLinearGradient TitleGradient(const TSkinPalette& p, int yOffset) {
    QLinearGradient gradient(0, -yOffset, 0, TitleHeight - yOffset);
    gradient.setColorAt(0, p.TitleTop);
    gradient.setColorAt(1, p.TitleBottom);
    return gradient;
}

QImage Solid(int w, int h, const QColor& color) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A frame side: the frame colour with the outer line on the window's edge.
QImage Side(int w, int h, const TSkinPalette& p, Qt::Edge outer) {
    QImage image = Solid(w, h, p.TitleBottom);
    QPainter painter(&image);
    painter.setPen(p.Edge);
    switch (outer) {
    case Qt::LeftEdge:
        painter.drawLine(0, 0, 0, h - 1);
        break;
    case Qt::RightEdge:
        painter.drawLine(w - 1, 0, w - 1, h - 1);
        break;
    case Qt::BottomEdge:
        painter.drawLine(0, h - 1, w - 1, h - 1);
        break;
    case Qt::TopEdge:
        painter.drawLine(0, 0, w - 1, 0);
        break;
    }
    // The inner line next to the white client area.
    painter.setPen(p.TitleBottom.darker(112));
    switch (outer) {
    case Qt::LeftEdge:
        painter.drawLine(w - 1, 0, w - 1, h - 1);
        break;
    case Qt::RightEdge:
        painter.drawLine(0, 0, 0, h - 1);
        break;
    case Qt::BottomEdge:
        painter.drawLine(0, 0, w - 1, 0);
        break;
    case Qt::TopEdge:
        break;
    }
    return image;
}

QImage TitlePiece(int w, const TSkinPalette& p, bool leftEdge, bool rightEdge) {
    QImage image(w, TitleHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), TitleGradient(p, 0));
    painter.setPen(p.TitleTop.lighter(118));
    painter.drawLine(0, 0, w - 1, 0);
    painter.setPen(p.Edge);
    if (leftEdge)
        painter.drawLine(0, 0, 0, TitleHeight - 1);
    if (rightEdge)
        painter.drawLine(w - 1, 0, w - 1, TitleHeight - 1);
    return image;
}

QImage Corner(int w, int h, const TSkinPalette& p, bool right) {
    // The client area shows through the inner part; the frame runs along the outer sides.
    const int side = right ? 6 : 5, bottom = 6;
    QImage image = Solid(w, h, Qt::white);
    QPainter painter(&image);
    painter.fillRect(right ? QRect(w - side, 0, side, h) : QRect(0, 0, side, h), p.TitleBottom);
    painter.fillRect(QRect(0, h - bottom, w, bottom), p.TitleBottom);
    painter.setPen(p.Edge);
    painter.drawLine(0, h - 1, w - 1, h - 1);
    if (right)
        painter.drawLine(w - 1, 0, w - 1, h - 1);
    else
        painter.drawLine(0, 0, 0, h - 1);
    return image;
}

// A title bar button (17 x 17): the title gradient behind a symbol, with a rounded plate
// under the mouse and when pressed.
QImage TitleButton(const QString& component, const QString& state, const TSkinPalette& p) {
    const int size = 17;
    QImage image(size, size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), TitleGradient(p, 8));
    painter.setRenderHint(QPainter::Antialiasing);
    const bool close = component == QLatin1String("btnCloseMe");
    if (state == QLatin1String("hot") || state == QLatin1String("down")) {
        QColor plate = close ? p.CloseHot : QColor(255, 255, 255, 46);
        if (state == QLatin1String("down"))
            plate = close ? p.CloseHot.darker(120) : QColor(0, 0, 0, 50);
        painter.setPen(Qt::NoPen);
        painter.setBrush(plate);
        painter.drawRoundedRect(QRectF(0, 0, size, size), 3, 3);
    }
    painter.setPen(QPen(p.Glyph, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    if (close) {
        painter.drawLine(QPointF(5, 5), QPointF(12, 12));
        painter.drawLine(QPointF(12, 5), QPointF(5, 12));
    } else if (component == QLatin1String("btnMin")) {
        painter.drawLine(QPointF(4.5, 11.5), QPointF(12.5, 11.5));
    } else if (component == QLatin1String("btnMax")) {
        painter.drawRect(QRectF(4.5, 4.5, 8, 8));
    } else {
        painter.drawRect(QRectF(4.5, 6.5, 6, 6));
        painter.drawPolyline(
            QPolygonF({QPointF(6.5, 4.5), QPointF(12.5, 4.5), QPointF(12.5, 10.5)}));
    }
    return image;
}

// OK and Cancel (71 x 23): a light rounded face on the white client area.
QImage DialogButton(const QString& state, const TSkinPalette& p) {
    const int w = 71, h = 23;
    QImage image = Solid(w, h, Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor face = p.ButtonFace, border(200, 204, 210);
    if (state == QLatin1String("hot")) {
        face = QColor(236, 242, 252);
        border = p.Accent.lighter(140);
    } else if (state == QLatin1String("down")) {
        face = QColor(219, 230, 248);
        border = p.Accent;
    }
    QLinearGradient gradient(0, 0, 0, h);
    gradient.setColorAt(0, face.lighter(102));
    gradient.setColorAt(1, face.darker(102));
    painter.setPen(QPen(border, 1));
    painter.setBrush(gradient);
    painter.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 4, 4);
    return image;
}

// The window icon (18 x 18): a rounded tile with a film frame and a play mark.
QImage Icon(const TSkinPalette& p) {
    const int size = 18;
    QImage image(size, size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), TitleGradient(p, 7));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(1, 2, 16, 14), 3, 3);
    painter.setBrush(p.Accent);
    QPainterPath play;
    play.moveTo(7, 5.5);
    play.lineTo(12.5, 9);
    play.lineTo(7, 12.5);
    play.closeSubpath();
    painter.drawPath(play);
    return image;
}

} // namespace

QImage DrawSkinPart(const QString& component, const QString& state, const TSkinPalette& p) {
    if (component == QLatin1String("imgTop"))
        return TitlePiece(64, p, false, false);
    if (component == QLatin1String("imgTopLeft"))
        return TitlePiece(5, p, true, false);
    if (component == QLatin1String("imgTopRight"))
        return TitlePiece(6, p, false, true);
    if (component == QLatin1String("imgLeft"))
        return Side(5, 16, p, Qt::LeftEdge);
    if (component == QLatin1String("imgRight"))
        return Side(6, 16, p, Qt::RightEdge);
    if (component == QLatin1String("imgBottom"))
        return Side(16, 6, p, Qt::BottomEdge);
    if (component == QLatin1String("imgBottomLeft"))
        return Corner(8, 9, p, false);
    if (component == QLatin1String("imgBottomRight"))
        return Corner(9, 9, p, true);
    if (component == QLatin1String("imgIco"))
        return Icon(p);
    if (component == QLatin1String("btnOkMe") || component == QLatin1String("btnCancelMe"))
        return DialogButton(state, p);
    if (component == QLatin1String("btnMin") || component == QLatin1String("btnMax") ||
        component == QLatin1String("btnRestore") || component == QLatin1String("btnCloseMe"))
        return TitleButton(component, state, p);
    return {};
}
