// Captions and logo in GIFs whose frames are turned or mirrored: converted through the project's
// request and read back from the GIF's pixels. They must read as typed and sit where the turn
// puts the spot they were placed on.

#include "engine/Video2Gif.h"
#include "project/VGProject.h"
#include "tests/support/GifDecode.h"

#include <QPainter>
#include <QTemporaryDir>
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {
// Grey index patterns: red and the logo's colours stand out on every frame.
const QString indexed = QStringLiteral(VG_FIXTURE_DIR "/h264-bframes-320x240-25fps.mp4");
constexpr int RedColorValue = 0x0000FF; // 0x00BBGGRR

bool IsRed(QRgb c) {
    return qRed(c) - qGreen(c) > 90 && qRed(c) - qBlue(c) > 90;
}

QRect RedBox(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (IsRed(image.pixel(x, y)))
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

// The share of ink pixels that differ between two pictures laid over each other at their top
// left corners (a pixel outside a picture has no ink).
double InkMismatch(const QImage& a, const QImage& b) {
    const int width = std::max(a.width(), b.width());
    const int height = std::max(a.height(), b.height());
    int ink = 0, differ = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool inA = a.rect().contains(x, y) && IsRed(a.pixel(x, y));
            const bool inB = b.rect().contains(x, y) && IsRed(b.pixel(x, y));
            ink += inA || inB;
            differ += inA != inB;
        }
    }
    return ink > 0 ? static_cast<double>(differ) / ink : 1.0;
}

bool Near(QRgb c, QColor want) {
    return std::abs(qRed(c) - want.red()) < 60 && std::abs(qGreen(c) - want.green()) < 60 &&
           std::abs(qBlue(c) - want.blue()) < 60;
}

void ExpectCentredAt(const QRect& box, const QPointF& centre) {
    EXPECT_NEAR(QRectF(box).center().x(), centre.x(), 1.0);
    EXPECT_NEAR(QRectF(box).center().y(), centre.y(), 1.0);
}

struct TTurn {
    int Rotate;
    int Flip;
};
const TTurn turns[] = {{0, fmHorizontal}, {0, fmVertical}, {1, fmNone},
                       {2, fmNone},       {3, fmBoth},     {1, fmHorizontal}};

class TurnedOverlays : public testing::Test {
protected:
    void SetUp() override {
        Project.VideoFile = indexed;
        Project.VideoWidth = 320;
        Project.VideoHeight = 240;
        Project.CropRect = {0, 0, 320, 240};
        Project.SizeStyle = ssOriginal;
        Project.StartPTS = 0;
        Project.EndPTS = 40000;
        Project.GifFPS = 25;
        Project.GifFile = Dir.filePath(QStringLiteral("turned.gif"));
    }

    // The GIF's first frame with the frame turned and mirrored as asked.
    QImage Convert(int rotate, int flip) {
        Project.Rotate = static_cast<uint8_t>(rotate);
        Project.Flip = static_cast<TFlipMode>(flip);
        std::atomic<bool> cancel{false};
        const TConversionResult result =
            RunConversion(Project.ConversionRequest(nullptr), {}, cancel);
        EXPECT_TRUE(result.Ok) << result.Error.toStdString();
        const TDecodedGif gif = DecodeGifFile(Project.GifFile);
        if (!gif.Ok || gif.Composed.empty())
            return {};
        return gif.Composed.front().convertToFormat(QImage::Format_RGB32);
    }

    // A bold red caption, 48 pixels high at the original size.
    TTextObj* RedCaption(int x, int y, const QString& text) {
        TTextObj* caption = Project.Texts.Add();
        caption->FontName = QStringLiteral("Liberation Sans");
        caption->FontSize = 24;
        caption->FontStyles = 1;
        caption->FontColor = RedColorValue;
        caption->X = x;
        caption->Y = y;
        caption->Text = text;
        return caption;
    }

    QTransform Turn(int rotate, int flip) const {
        return RotateAndFlipTransform(Project.GetOutputSize(), rotate, flip);
    }

    QTemporaryDir Dir;
    TVGProj Project{[] { return TProjectDefaults(); }};
};

} // namespace

TEST_F(TurnedOverlays, CaptionsReadAsTypedAndFollowTheirSpot) {
    // "L": its mirror and its quarter turns all differ from it.
    const TTextObj* caption = RedCaption(40, 30, QStringLiteral("L"));
    const QImage upright = Convert(0, fmNone);
    const QRect uprightInk = RedBox(upright);
    ASSERT_GT(uprightInk.width(), 15);
    ASSERT_GT(uprightInk.height(), 25);
    const QImage glyph = upright.copy(uprightInk);
    // Where the ink lies within the caption's box, which an upright drawing keeps.
    const QRectF box = Project.MeasureText(caption);
    const QPointF inkFromCentre = QRectF(uprightInk).center() - box.center();

    for (const TTurn& t : turns) {
        SCOPED_TRACE(testing::Message() << "rotate " << t.Rotate << " flip " << t.Flip);
        const QImage frame = Convert(t.Rotate, t.Flip);
        ASSERT_EQ(frame.size(), Project.GetFinalSize());
        const QRect ink = RedBox(frame);
        ASSERT_FALSE(ink.isNull());
        EXPECT_NEAR(ink.width(), uprightInk.width(), 1);
        EXPECT_NEAR(ink.height(), uprightInk.height(), 1);
        const QImage seen = frame.copy(ink);
        EXPECT_LT(InkMismatch(seen, glyph), 0.2);
        // Turning the caption with the frame would have given this.
        EXPECT_GT(InkMismatch(seen, RotateAndFlip(glyph, t.Rotate, t.Flip)), 0.4);
        ExpectCentredAt(ink, Turn(t.Rotate, t.Flip).map(box.center()) + inkFromCentre);
    }
}

TEST_F(TurnedOverlays, CaptionsOnCroppedAndScaledFramesFollowTheirSpotInOutputPixels) {
    Project.CropEnabled = true;
    Project.CropRect = {20, 40, 300, 220}; // 280 × 180, half: 140 × 90
    Project.SizeStyle = ssHalf;
    const TTextObj* caption = RedCaption(60, 50, QStringLiteral("F"));
    const QImage upright = Convert(0, fmNone);
    const QRect uprightInk = RedBox(upright);
    ASSERT_GT(uprightInk.height(), 10);
    const QImage glyph = upright.copy(uprightInk);
    // The caption's box in output pixels: moved by the crop origin, half size.
    const QRectF source = Project.MeasureText(caption);
    const QPointF centre = (source.center() - QPointF(20, 40)) * 0.5;
    const QPointF inkFromCentre = QRectF(uprightInk).center() - centre;

    const QImage frame = Convert(3, fmHorizontal);
    ASSERT_EQ(frame.size(), QSize(90, 140));
    const QRect ink = RedBox(frame);
    ASSERT_FALSE(ink.isNull());
    EXPECT_LT(InkMismatch(frame.copy(ink), glyph), 0.25);
    ExpectCentredAt(ink, Turn(3, fmHorizontal).map(centre) + inkFromCentre);
}

TEST_F(TurnedOverlays, TheLogoStaysUprightAtItsSizeAroundItsTurnedCentre) {
    // 40 × 20 with four coloured quarters: any mirror or turn moves a colour.
    QImage logo(40, 20, QImage::Format_RGB32);
    logo.fill(Qt::red);
    QPainter painter(&logo);
    painter.fillRect(20, 0, 20, 10, Qt::green);
    painter.fillRect(0, 10, 20, 10, Qt::blue);
    painter.fillRect(20, 10, 20, 10, Qt::yellow);
    painter.end();
    Project.Logo.FileName = Dir.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(logo.save(Project.Logo.FileName));
    Project.Logo.Enabled = true;
    Project.Logo.X = 200;
    Project.Logo.Y = 150;
    Project.Logo.Width = 40;
    Project.Logo.Height = 20;
    const QPointF placed = QRectF(200, 150, 40, 20).center();

    for (const TTurn& t : turns) {
        SCOPED_TRACE(testing::Message() << "rotate " << t.Rotate << " flip " << t.Flip);
        const QImage frame = Convert(t.Rotate, t.Flip);
        ASSERT_FALSE(frame.isNull());
        const QPoint c = Turn(t.Rotate, t.Flip).map(placed).toPoint();
        EXPECT_TRUE(Near(frame.pixel(c + QPoint(-10, -5)), Qt::red));
        EXPECT_TRUE(Near(frame.pixel(c + QPoint(10, -5)), Qt::green));
        EXPECT_TRUE(Near(frame.pixel(c + QPoint(-10, 5)), Qt::blue));
        EXPECT_TRUE(Near(frame.pixel(c + QPoint(10, 5)), Qt::yellow));
        // 40 wide and 20 high, as placed: not 20 × 40.
        EXPECT_TRUE(Near(frame.pixel(c + QPoint(-17, 0)), Qt::red) ||
                    Near(frame.pixel(c + QPoint(-17, 0)), Qt::blue));
        EXPECT_FALSE(Near(frame.pixel(c + QPoint(-5, -14)), Qt::red));
        EXPECT_FALSE(Near(frame.pixel(c + QPoint(-5, 14)), Qt::blue));
    }
}

TEST_F(TurnedOverlays, AWideCaptionNearAnEdgeStaysWhollyOnATurnedFrame) {
    // Wider than the 240 pixels of the frame turned on its side would leave around its centre.
    const TTextObj* caption = RedCaption(10, 20, QStringLiteral("Hello GIF"));
    const QRect upright = RedBox(Convert(0, fmNone));
    ASSERT_GT(upright.width(), 150);
    ASSERT_TRUE(QRect(0, 0, 320, 240).contains(upright));
    const QRectF box = Project.MeasureText(caption);
    for (int rotate : {1, 3}) {
        SCOPED_TRACE(testing::Message() << "rotate " << rotate);
        const QImage frame = Convert(rotate, fmNone);
        const QRect ink = RedBox(frame);
        // Whole (not cut at the frame's edge), inside the frame, and as near its spot as fits.
        EXPECT_NEAR(ink.width(), upright.width(), 1);
        EXPECT_TRUE(QRect(QPoint(0, 0), frame.size()).contains(ink));
        const QPointF spot = Turn(rotate, fmNone).map(box.center());
        EXPECT_NEAR(QRectF(ink).center().y(),
                    spot.y() + (QRectF(upright).center() - box.center()).y(), 1.0);
        // Its box (a little wider than the ink) moved just far enough: against one edge.
        EXPECT_TRUE(ink.left() <= 5 || ink.right() >= frame.width() - 6)
            << ink.left() << ".." << ink.right();
    }
}
