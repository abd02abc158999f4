#include "common/Bitmaps.h"

#include <QFile>
#include <QTransform>
#include <QtEndian>
#include <vector>

QImage RotateImage(const QImage& image, int quarterTurns) {
    const int turns = ((quarterTurns % 4) + 4) % 4;
    if (turns == 0 || image.isNull())
        return image;
    if (turns == 2)
        return image.mirrored(true, true);
    // Exact quarter turns: QTransform with a multiple of 90 degrees moves pixels without
    // resampling.
    return image.transformed(QTransform().rotate(90.0 * turns), Qt::FastTransformation);
}

QImage FlipImage(const QImage& image, int flip) {
    const bool horizontal = (flip & fmHorizontal) != 0;
    const bool vertical = (flip & fmVertical) != 0;
    if ((!horizontal && !vertical) || image.isNull())
        return image;
    return image.mirrored(horizontal, vertical);
}

QImage RotateAndFlip(const QImage& image, int quarterTurns, int flip) {
    return FlipImage(RotateImage(image, quarterTurns), flip);
}

QTransform RotateAndFlipTransform(const QSize& size, int quarterTurns, int flip) {
    const qreal width = size.width(), height = size.height();
    // QTransform(m11, m12, m21, m22, dx, dy) maps (x, y) to
    // (m11 x + m21 y + dx, m12 x + m22 y + dy).
    QTransform turn;
    switch (((quarterTurns % 4) + 4) % 4) {
    case 1: // the left column becomes the top row: (x, y) -> (height - y, x)
        turn = QTransform(0, 1, -1, 0, height, 0);
        break;
    case 2:
        turn = QTransform(-1, 0, 0, -1, width, height);
        break;
    case 3: // the top row becomes the left column: (x, y) -> (y, width - x)
        turn = QTransform(0, -1, 1, 0, 0, width);
        break;
    default:
        break;
    }
    const QSize turned = RotatedSize(size, quarterTurns);
    QTransform mirror;
    if (flip & fmHorizontal)
        mirror = QTransform(-1, 0, 0, 1, turned.width(), 0);
    if (flip & fmVertical)
        mirror = mirror * QTransform(1, 0, 0, -1, 0, turned.height());
    return turn * mirror;
}

QSize RotatedSize(const QSize& size, int quarterTurns) {
    return (((quarterTurns % 4) + 4) % 4) % 2 == 1 ? size.transposed() : size;
}

namespace {
void PutLE32(uchar* at, quint32 value) {
    qToLittleEndian(value, at);
}
void PutLE16(uchar* at, quint16 value) {
    qToLittleEndian(value, at);
}
} // namespace

bool SaveBitmapFile(const QImage& image, const QString& fileName) {
    if (image.isNull())
        return false;
    const bool wide = image.format() == QImage::Format_RGB32 ||
                      image.format() == QImage::Format_ARGB32 ||
                      image.format() == QImage::Format_ARGB32_Premultiplied;
    const QImage source = wide ? image : image.convertToFormat(QImage::Format_RGB888);
    const int width = source.width(), height = source.height();
    const int bits = wide ? 32 : 24;
    const qint64 rowBytes = ((static_cast<qint64>(width) * bits + 31) / 32) * 4;
    const qint64 dataBytes = rowBytes * height;
    if (dataBytes + 54 > 0xFFFFFFFFLL)
        return false;
    uchar header[54] = {};
    header[0] = 'B';
    header[1] = 'M';
    PutLE32(header + 2, static_cast<quint32>(54 + dataBytes));
    PutLE32(header + 10, 54);
    PutLE32(header + 14, 40);
    PutLE32(header + 18, static_cast<quint32>(width));
    PutLE32(header + 22, static_cast<quint32>(-height)); // negative: rows top-down
    PutLE16(header + 26, 1);
    PutLE16(header + 28, static_cast<quint16>(bits));
    PutLE32(header + 34, static_cast<quint32>(dataBytes));
    PutLE32(header + 38, 2835); // 72 dots per inch
    PutLE32(header + 42, 2835);

    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(reinterpret_cast<const char*>(header), sizeof header);
    if (wide && source.bytesPerLine() == rowBytes &&
        QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        // 32-bit pixels lie in memory as blue, green, red, unused: the file's own order.
        file.write(reinterpret_cast<const char*>(source.constBits()), dataBytes);
    } else {
        std::vector<uchar> row(static_cast<size_t>(rowBytes), 0);
        for (int y = 0; y < height; ++y) {
            const uchar* in = source.constScanLine(y);
            if (wide) {
                const QRgb* pixels = reinterpret_cast<const QRgb*>(in);
                for (int x = 0; x < width; ++x)
                    PutLE32(row.data() + x * 4, pixels[x]);
            } else {
                for (int x = 0; x < width; ++x) {
                    row[static_cast<size_t>(x) * 3] = in[x * 3 + 2];
                    row[static_cast<size_t>(x) * 3 + 1] = in[x * 3 + 1];
                    row[static_cast<size_t>(x) * 3 + 2] = in[x * 3];
                }
            }
            file.write(reinterpret_cast<const char*>(row.data()), rowBytes);
        }
    }
    // A short write (a full disk) leaves no broken picture behind.
    const bool ok = file.flush() && file.error() == QFileDevice::NoError;
    file.close();
    if (!ok)
        QFile::remove(fileName);
    return ok;
}
