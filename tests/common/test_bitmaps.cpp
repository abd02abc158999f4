#include "common/Bitmaps.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {
// A 3 × 2 picture with a distinct colour per pixel: row 0 = a b c, row 1 = d e f.
QImage Grid() {
    QImage image(3, 2, QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x, ++n)
            image.setPixel(x, y, qRgb(n * 40, 0, 0));
    return image;
}
int At(const QImage& image, int x, int y) {
    return qRed(image.pixel(x, y)) / 40;
}
} // namespace

TEST(Bitmaps, QuarterTurnsGoClockwise) {
    const QImage r1 = RotateImage(Grid(), 1);
    ASSERT_EQ(r1.size(), QSize(2, 3));
    // Clockwise: the left column of the bottom row comes to the top left.
    EXPECT_EQ(At(r1, 0, 0), 3);
    EXPECT_EQ(At(r1, 1, 0), 0);
    EXPECT_EQ(At(r1, 1, 2), 2);
    const QImage r2 = RotateImage(Grid(), 2);
    EXPECT_EQ(At(r2, 0, 0), 5);
    EXPECT_EQ(At(r2, 2, 1), 0);
    const QImage r3 = RotateImage(Grid(), 3);
    ASSERT_EQ(r3.size(), QSize(2, 3));
    EXPECT_EQ(At(r3, 0, 0), 2);
    EXPECT_EQ(At(r3, 0, 2), 0);
    EXPECT_EQ(RotateImage(Grid(), 4), Grid());
    EXPECT_EQ(RotateImage(Grid(), -1), r3);
    EXPECT_EQ(RotatedSize(QSize(640, 360), 1), QSize(360, 640));
    EXPECT_EQ(RotatedSize(QSize(640, 360), 2), QSize(640, 360));
}

TEST(Bitmaps, FlipsMirrorAndTurningComesFirst) {
    const QImage h = FlipImage(Grid(), 1);
    EXPECT_EQ(At(h, 0, 0), 2);
    EXPECT_EQ(At(h, 2, 1), 3);
    const QImage v = FlipImage(Grid(), 2);
    EXPECT_EQ(At(v, 0, 0), 3);
    const QImage both = FlipImage(Grid(), 3);
    EXPECT_EQ(At(both, 0, 0), 5);
    EXPECT_EQ(FlipImage(Grid(), 0), Grid());
    // Turn, then mirror left to right: different from mirroring first.
    const QImage turned = RotateAndFlip(Grid(), 1, 1);
    EXPECT_EQ(At(turned, 0, 0), 0);
    EXPECT_EQ(At(turned, 1, 0), 3);
    EXPECT_NE(turned, RotateImage(FlipImage(Grid(), 1), 1));
}

TEST(Bitmaps, TheTurnTransformMovesEveryPixelWhereRotateAndFlipDoes) {
    // Non-square pictures with a colour per pixel: a wrong turn, mirror or offset shows.
    for (const QSize size : {QSize(5, 3), QSize(4, 7)}) {
        QImage image(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                image.setPixel(x, y, qRgb(x * 40, y * 30, 99));
        for (int turns : {-1, 0, 1, 2, 3, 4, 5}) {
            for (int flip : {fmNone, fmHorizontal, fmVertical, fmBoth}) {
                SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " turns "
                                                << turns << " flip " << flip);
                const QImage turned = RotateAndFlip(image, turns, flip);
                const QTransform t = RotateAndFlipTransform(size, turns, flip);
                EXPECT_EQ(t.mapRect(QRectF(QPointF(0, 0), QSizeF(size))),
                          QRectF(QPointF(0, 0), QSizeF(turned.size())));
                for (int y = 0; y < size.height(); ++y) {
                    for (int x = 0; x < size.width(); ++x) {
                        const QPointF to = t.map(QPointF(x + 0.5, y + 0.5));
                        const QPoint pixel(static_cast<int>(std::floor(to.x())),
                                           static_cast<int>(std::floor(to.y())));
                        ASSERT_TRUE(turned.rect().contains(pixel)) << x << "," << y;
                        EXPECT_EQ(turned.pixel(pixel), image.pixel(x, y)) << x << "," << y;
                    }
                }
            }
        }
    }
    // Neither turned nor mirrored: positions stay exactly as they are.
    EXPECT_TRUE(RotateAndFlipTransform(QSize(640, 360), 0, fmNone).isIdentity());
    EXPECT_TRUE(RotateAndFlipTransform(QSize(640, 360), 4, fmNone).isIdentity());
}

TEST(Bitmaps, EdgeRectanglesConvertToAndFromQtRectangles) {
    const TRectL r{10, 20, 110, 70};
    EXPECT_EQ(r.Width(), 100);
    EXPECT_EQ(r.Height(), 50);
    EXPECT_EQ(r.ToQRect(), QRect(10, 20, 100, 50));
    EXPECT_EQ(TRectL::FromQRect(QRect(10, 20, 100, 50)), r);
    EXPECT_TRUE((TRectL{5, 5, 5, 9}).IsEmpty());
    EXPECT_TRUE((TRectL{5, 5, 4, 9}).IsEmpty());
    EXPECT_FALSE(r.IsEmpty());
}

TEST(Bitmaps, BitmapFilesReadBackPixelForPixelInBothDepthsAndOddWidths) {
    QTemporaryDir dir;
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
        for (int width : {1, 3, 5, 64, 175}) {
            QImage image(width, 7, format);
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < width; ++x)
                    image.setPixel(x, y, qRgb((x * 37) & 255, (y * 91) & 255, (x + y) & 255));
            const QString file = dir.filePath(QStringLiteral("f.bmp"));
            ASSERT_TRUE(SaveBitmapFile(image, file));
            const QImage back(file);
            ASSERT_EQ(back.size(), image.size()) << width;
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < width; ++x)
                    ASSERT_EQ(back.pixel(x, y) & 0xFFFFFF, image.pixel(x, y) & 0xFFFFFF)
                        << format << " " << width << " at " << x << "," << y;
        }
    }
    EXPECT_FALSE(SaveBitmapFile(QImage(), dir.filePath(QStringLiteral("none.bmp"))));
    EXPECT_FALSE(SaveBitmapFile(QImage(4, 4, QImage::Format_RGB32),
                                dir.filePath(QStringLiteral("missing/folder.bmp"))));
}
