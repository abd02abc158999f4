#pragma once
// Picture routines shared by the conversion engine and the settings preview, so both turn and
// mirror pictures the same way.

#include <QImage>
#include <QRect>
#include <QTransform>
#include <cstdint>

// A rectangle by its edges, as pictures and the settings store it: Right and Bottom lie just
// outside it, so the width is Right - Left.
struct TRectL {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    QRect ToQRect() const { return QRect(Left, Top, Width(), Height()); }
    static TRectL FromQRect(const QRect& r) {
        return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
    bool operator==(const TRectL&) const = default;
};

// Turns the picture clockwise by `quarterTurns` × 90 degrees (0 none, 1 90°, 2 180°, 3 270°;
// other values are taken modulo 4).
QImage RotateImage(const QImage& image, int quarterTurns);

// How a picture is mirrored: a set of two bits, horizontally (left and right swap) and
// vertically.
enum TFlipMode : uint8_t { fmNone = 0, fmHorizontal = 1, fmVertical = 2, fmBoth = 3 };

// Mirrors the picture by the bits of `flip` (a TFlipMode).
QImage FlipImage(const QImage& image, int flip);

// Rotation first, then the horizontal flip, then the vertical flip: the order every output
// frame is turned in.
QImage RotateAndFlip(const QImage& image, int quarterTurns, int flip);

// Where RotateAndFlip puts the points of a picture of `size`: maps a position on the picture
// before turning to the same spot of the picture after it. Positions are continuous, so pixel
// (x, y) covers x..x+1 and y..y+1 and its centre (x + 0.5, y + 0.5) maps into the pixel it
// moves to. No turn and no flip give the identity.
QTransform RotateAndFlipTransform(const QSize& size, int quarterTurns, int flip);

// Writes the picture as an uncompressed bitmap file (BMP, rows stored top-down): 32 bits per
// pixel from a 32-bit picture, stored as it lies in memory, else 24 bits. Much faster than the
// generic image writer, which matters for frame pictures written while the user waits. A file
// that cannot be written whole is removed.
[[nodiscard]] bool SaveBitmapFile(const QImage& image, const QString& fileName);

// The size a picture of `size` has after `quarterTurns` clockwise quarter turns.
QSize RotatedSize(const QSize& size, int quarterTurns);
