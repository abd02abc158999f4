// Draws the program folder's pictures and writes the installer's registry values.
//
//   vg_resgen <program folder> <brand folder key>
//
// Pictures are drawn anew on every run. "registry.ini" gets a new installation identifier only
// when it has none, as an installer writes it once: rebuilding does not make a new installation.

#include "common/Guid.h"
#include "common/Registry.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

QImage NewTransparent(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A round badge with a white symbol: the frame strip's markers.
QImage DrawBadge(const QColor& fill, bool cross) {
    const int size = 20;
    QImage image = NewTransparent(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient gradient(QPointF(7, 6), 13);
    gradient.setColorAt(0, fill.lighter(135));
    gradient.setColorAt(1, fill);
    p.setPen(QPen(QColor(255, 255, 255, 230), 1.5));
    p.setBrush(gradient);
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    QPen symbol(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(symbol);
    p.setBrush(Qt::NoBrush);
    if (cross) {
        p.drawLine(QPointF(6.5, 6.5), QPointF(13.5, 13.5));
        p.drawLine(QPointF(13.5, 6.5), QPointF(6.5, 13.5));
    } else {
        QPainterPath check;
        check.moveTo(5.5, 10.5);
        check.lineTo(8.8, 13.8);
        check.lineTo(14.5, 6.5);
        p.drawPath(check);
    }
    return image;
}

// The start screen's banner: a calm gradient with soft film-strip shapes.
QImage DrawStartBackground() {
    const int w = 1200, h = 260;
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, w, h);
    gradient.setColorAt(0, QColor(0x1F, 0x4E, 0x79));
    gradient.setColorAt(1, QColor(0x3A, 0x7C, 0xA5));
    p.fillRect(image.rect(), gradient);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 9; ++i) {
        const qreal x = 660 + i * 78;
        const qreal y = 40 + (i % 3) * 22;
        p.setBrush(QColor(255, 255, 255, 18 + (i % 4) * 6));
        p.drawRoundedRect(QRectF(x, y, 64, 150), 8, 8);
    }
    p.setBrush(QColor(255, 255, 255, 26));
    for (int i = 0; i < 40; ++i)
        p.drawRect(QRectF(620 + i * 18, 12, 9, 9));
    for (int i = 0; i < 40; ++i)
        p.drawRect(QRectF(620 + i * 18, h - 21, 9, 9));
    return image.convertToFormat(QImage::Format_RGB888);
}

QImage DrawStartText() {
    QImage image = NewTransparent(560, 150);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont title(QStringLiteral("Liberation Sans"));
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 560, 60), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Turn a video into a GIF"));
    QFont line(QStringLiteral("Liberation Sans"));
    line.setPixelSize(20);
    p.setFont(line);
    p.setPen(QColor(255, 255, 255, 215));
    p.drawText(QRect(0, 66, 560, 80), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Open a video, mark the part you want, and convert it."));
    return image;
}

bool Save(const QImage& image, const QString& fileName) {
    if (image.save(fileName))
        return true;
    std::fprintf(stderr, "vg_resgen: cannot write %s\n", qPrintable(fileName));
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vg_resgen <program folder> <brand folder key>\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    const QString brand = QString::fromLocal8Bit(argv[2]);
    QDir dir;
    for (const QString& folder : {QStringLiteral("resource"), QStringLiteral("Languages"),
                                  QStringLiteral("Skin/") + brand}) {
        if (!dir.mkpath(root + folder)) {
            std::fprintf(stderr, "vg_resgen: cannot create %s\n", qPrintable(root + folder));
            return 1;
        }
    }
    bool ok = Save(DrawBadge(QColor(0xD0, 0x36, 0x2F), true), root + "resource/DeleteFlag.png");
    ok = Save(DrawBadge(QColor(0x2E, 0x9E, 0x4F), false), root + "resource/SelectFlag.png") && ok;
    ok = Save(DrawStartBackground(), root + "resource/StartBK.bmp") && ok;
    ok = Save(DrawStartText(), root + "resource/StartText.png") && ok;

    const QString registryFile = root + QLatin1String("registry.ini");
    const QString keyPath = QStringLiteral("SOFTWARE\\Classes\\QOPAVG.ProjFile");
    TRegistryStore store;
    store.LoadFromFile(registryFile);
    if (store.Value(keyPath, QStringLiteral("insguid")).isEmpty()) {
        store.SetValue(keyPath, QStringLiteral("insguid"), CreateNewGUID());
        if (!store.SaveToFile(registryFile)) {
            std::fprintf(stderr, "vg_resgen: cannot write %s\n", qPrintable(registryFile));
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
