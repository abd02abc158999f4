// Draws the program's desktop icon: PNG pictures at the sizes desktops look up, and a scalable
// SVG of the same drawing, into a hicolor icon theme tree.
//
//   vg_icongen <output folder> <icon name>
//
// writes <output folder>/hicolor/<n>x<n>/apps/<icon name>.png for n = 48, 128, 256 and
// <output folder>/hicolor/scalable/apps/<icon name>.svg.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextStream>
#include <cstdio>
#include <vector>

namespace {

// The drawing is laid out on a 256 by 256 canvas.
constexpr int CanvasSize = 256;

// One filled shape: a rounded rectangle, or a polygon when Points is not empty. From and To are
// the colours at the top-left and bottom-right corners of the shape's box (equal for a solid fill).
struct TShape {
    QRectF Box;
    qreal Radius = 0;
    QPolygonF Points;
    QColor From, To;
};

// The icon: a blue tile, a film strip across it and a play sign on the strip's picture.
std::vector<TShape> IconShapes() {
    const QColor holes(0x1F, 0x4E, 0x79);
    std::vector<TShape> shapes;
    shapes.push_back({QRectF(8, 8, 240, 240), 44, {}, QColor(0x2A, 0x5F, 0x8F), holes});
    shapes.push_back(
        {QRectF(24, 66, 208, 124), 12, {}, QColor(0xF4, 0xF7, 0xFA), QColor(0xDD, 0xE6, 0xEE)});
    for (int i = 0; i < 7; ++i) {
        const qreal x = 36 + i * 27.5;
        shapes.push_back({QRectF(x, 74, 16, 11), 3, {}, holes, holes});
        shapes.push_back({QRectF(x, 171, 16, 11), 3, {}, holes, holes});
    }
    shapes.push_back(
        {QRectF(36, 93, 184, 70), 6, {}, QColor(0xFF, 0xC1, 0x4D), QColor(0xF0, 0x5A, 0x3C)});
    const QPolygonF play({QPointF(112, 104), QPointF(150, 128), QPointF(112, 152)});
    shapes.push_back({play.boundingRect(), 0, play, Qt::white, Qt::white});
    return shapes;
}

QBrush ShapeBrush(const TShape& shape) {
    if (shape.From == shape.To)
        return shape.From;
    QLinearGradient gradient(shape.Box.topLeft(), shape.Box.bottomRight());
    gradient.setColorAt(0, shape.From);
    gradient.setColorAt(1, shape.To);
    return gradient;
}

QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(size) / CanvasSize, qreal(size) / CanvasSize);
    p.setPen(Qt::NoPen);
    for (const TShape& shape : IconShapes()) {
        p.setBrush(ShapeBrush(shape));
        if (!shape.Points.isEmpty())
            p.drawPolygon(shape.Points);
        else
            p.drawRoundedRect(shape.Box, shape.Radius, shape.Radius);
    }
    return image;
}

QString SvgNumber(qreal value) {
    return QString::number(value, 'g', 6);
}

// The same shapes as SVG elements; gradients are defined as they are met.
QString IconSvg() {
    QString defs, body;
    int gradients = 0;
    for (const TShape& shape : IconShapes()) {
        QString fill = shape.From.name();
        if (shape.From != shape.To) {
            const QString id = QStringLiteral("g%1").arg(++gradients);
            const QRectF& box = shape.Box;
            defs += QStringLiteral("    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" "
                                   "x1=\"%2\" y1=\"%3\" x2=\"%4\" y2=\"%5\">\n")
                        .arg(id, SvgNumber(box.left()), SvgNumber(box.top()),
                             SvgNumber(box.right()), SvgNumber(box.bottom()));
            defs += QStringLiteral("      <stop offset=\"0\" stop-color=\"%1\"/>\n"
                                   "      <stop offset=\"1\" stop-color=\"%2\"/>\n"
                                   "    </linearGradient>\n")
                        .arg(shape.From.name(), shape.To.name());
            fill = QStringLiteral("url(#%1)").arg(id);
        }
        if (!shape.Points.isEmpty()) {
            QStringList points;
            for (const QPointF& point : shape.Points)
                points << SvgNumber(point.x()) + QLatin1Char(',') + SvgNumber(point.y());
            body += QStringLiteral("  <polygon points=\"%1\" fill=\"%2\"/>\n")
                        .arg(points.join(QLatin1Char(' ')), fill);
        } else {
            body += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" "
                                   "rx=\"%5\" fill=\"%6\"/>\n")
                        .arg(SvgNumber(shape.Box.x()), SvgNumber(shape.Box.y()),
                             SvgNumber(shape.Box.width()), SvgNumber(shape.Box.height()),
                             SvgNumber(shape.Radius), fill);
        }
    }
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                          "viewBox=\"0 0 %1 %1\">\n  <defs>\n%2  </defs>\n%3</svg>\n")
        .arg(QString::number(CanvasSize), defs, body);
}

bool WriteSvg(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray text = IconSvg().toUtf8();
    return file.write(text) == text.size() && file.flush();
}

bool MakeFolder(const QString& folder) {
    if (QDir().mkpath(folder))
        return true;
    std::fprintf(stderr, "vg_icongen: cannot create %s\n", qPrintable(folder));
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vg_icongen <output folder> <icon name>\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]) + QLatin1String("/hicolor/");
    const QString name = QString::fromLocal8Bit(argv[2]);
    bool ok = true;
    for (const int size : {48, 128, 256}) {
        const QString folder = root + QStringLiteral("%1x%1/apps").arg(size);
        const QString fileName = folder + QLatin1Char('/') + name + QLatin1String(".png");
        if (!MakeFolder(folder) || !DrawIcon(size).save(fileName)) {
            std::fprintf(stderr, "vg_icongen: cannot write %s\n", qPrintable(fileName));
            ok = false;
        }
    }
    const QString folder = root + QLatin1String("scalable/apps");
    const QString svgName = folder + QLatin1Char('/') + name + QLatin1String(".svg");
    if (!MakeFolder(folder) || !WriteSvg(svgName)) {
        std::fprintf(stderr, "vg_icongen: cannot write %s\n", qPrintable(svgName));
        ok = false;
    }
    return ok ? 0 : 1;
}
