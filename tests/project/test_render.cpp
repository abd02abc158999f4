// Output sizes and where captions and logo really land, read from rendered pixels.

#include "project/VGProject.h"

#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// The box of pixels brighter than the background.
QRect Ink(const QImage& image, int threshold = 100) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) > threshold || qRed(image.pixel(x, y)) > threshold)
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

QImage Black(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

TTextObj* Caption(TVGProj& project, int x, int y, const QString& text,
                  TTextAlignment alignment = taLeft) {
    TTextObj* caption = project.Texts.Add();
    caption->FontName = QStringLiteral("Liberation Sans");
    caption->FontSize = 10; // em size 20 px
    caption->FontColor = 0xFFFFFF;
    caption->X = x;
    caption->Y = y;
    caption->Alignment = alignment;
    caption->Text = text;
    return caption;
}

QString SolidPicture(const QTemporaryDir& dir, const QString& name, QColor color, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    const QString file = dir.filePath(name);
    image.save(file);
    return file;
}

void Video(TVGProj& project, int w, int h) {
    project.VideoWidth = w;
    project.VideoHeight = h;
    project.CropRect = {0, 0, w, h};
}
} // namespace

TEST(RenderSizes, OutputAndFinalSizesFollowTheStyleCropAndRotation) {
    TVGProj project([] { return TProjectDefaults(); });
    Video(project, 721, 405);
    project.SizeStyle = ssHalf;
    EXPECT_EQ(project.GetOutputSize(), QSize(360, 202));
    project.VideoWidth = 723;
    EXPECT_EQ(project.GetOutputSize().width(), 362);
    Video(project, 640, 360);
    project.Rotate = 1;
    EXPECT_EQ(project.GetFinalSize(), QSize(180, 320));
    project.Rotate = 2;
    EXPECT_EQ(project.GetFinalSize(), QSize(320, 180));
    project.CropEnabled = true;
    project.CropRect = {100, 50, 300, 250};
    project.SizeStyle = ssCustom;
    project.CustomWidth = 400;
    project.CustomHeight = 100;
    EXPECT_EQ(project.GetOutputSize(), QSize(400, 100));
    EXPECT_DOUBLE_EQ(project.ScaleX(), 2.0);
    EXPECT_DOUBLE_EQ(project.ScaleY(), 0.5);
    project.SizeStyle = ssQuarter;
    EXPECT_DOUBLE_EQ(project.ScaleX(), 0.25);
    EXPECT_EQ(project.GetOutputSize(), QSize(50, 50));
    // A crop of zero width with a custom size gives no factor rather than a division by zero.
    project.SizeStyle = ssCustom;
    project.CropRect = {100, 50, 100, 250};
    EXPECT_EQ(project.ScaleX(), 0.0);
    QImage frame = Black(400, 100);
    QPainter painter(&frame);
    Caption(project, 100, 60, QStringLiteral("Hello"));
    project.DrawOutputOverlays(painter, 400, 100);
    painter.end();
    EXPECT_TRUE(Ink(frame).isNull());
}

TEST(RenderPlacement, CustomSizeScalesTheLogoByTheWidthFactorAndMovesCaptions) {
    QTemporaryDir dir;
    TVGProj project([] { return TProjectDefaults(); });
    Video(project, 640, 360);
    project.CropEnabled = true;
    project.CropRect = {100, 50, 300, 250}; // 200 × 200
    project.SizeStyle = ssCustom;
    project.CustomWidth = 400;
    project.CustomHeight = 100;
    project.Logo.Enabled = true;
    project.Logo.FileName = SolidPicture(dir, QStringLiteral("logo.png"), Qt::red, {20, 20});
    project.Logo.X = 100;
    project.Logo.Y = 50;
    project.Logo.Width = 20;
    project.Logo.Height = 20;
    QImage frame = Black(400, 100);
    {
        QPainter painter(&frame);
        project.DrawOutputOverlays(painter, 400, 100);
    }
    EXPECT_EQ(Ink(frame), QRect(0, 0, 40, 40));

    // A caption 100 pixels right and down of the crop origin starts at (200, 50), twice as big.
    project.Logo.Enabled = false;
    TTextObj* caption = Caption(project, 200, 150, QStringLiteral("H"));
    const QRectF source = project.MeasureText(caption);
    QImage out = Black(400, 100);
    {
        QPainter painter(&out);
        project.DrawOutputOverlays(painter, 400, 100);
    }
    const QRect ink = Ink(out);
    ASSERT_FALSE(ink.isNull());
    EXPECT_NEAR(ink.left(), 200 + 2 * 2, 4); // the glyph's own side bearing, doubled
    EXPECT_GE(ink.top(), 50);
    // Twice the em size: the letter is about twice as tall as at source size.
    QImage src = Black(640, 360);
    project.DrawOverlays(src);
    const QRect sourceInk = Ink(src);
    EXPECT_NEAR(ink.height(), 2 * sourceInk.height(), 3);
    EXPECT_TRUE(source.contains(QRectF(sourceInk)));
}

TEST(RenderPlacement, ACaptionAtTheCropOriginLandsAtTheTopLeftCorner) {
    TVGProj project([] { return TProjectDefaults(); });
    Video(project, 640, 360);
    project.CropEnabled = true;
    project.CropRect = {300, 200, 500, 300};
    project.SizeStyle = ssOriginal;
    Caption(project, 300, 200, QStringLiteral("Top"));
    QImage frame = Black(200, 100);
    {
        QPainter painter(&frame);
        project.DrawOutputOverlays(painter, 200, 100);
    }
    const QRect ink = Ink(frame);
    ASSERT_FALSE(ink.isNull());
    EXPECT_LE(ink.left(), 4);
    EXPECT_LE(ink.top(), 8);
}

TEST(RenderPlacement, AlignmentPutsTheTextAfterBeforeOrAroundTheOrigin) {
    for (TTextAlignment alignment : {taLeft, taRight, taCenter}) {
        TVGProj project([] { return TProjectDefaults(); });
        Video(project, 400, 100);
        Caption(project, 200, 30, QStringLiteral("MMMM\nMM"), alignment);
        QImage frame = Black(400, 100);
        project.DrawOverlays(frame);
        const QRect ink = Ink(frame);
        ASSERT_FALSE(ink.isNull()) << alignment;
        if (alignment == taLeft)
            EXPECT_NEAR(ink.left(), 200, 4);
        else if (alignment == taRight)
            EXPECT_NEAR(ink.right(), 200, 4);
        else
            EXPECT_NEAR(ink.center().x(), 200, 3);
        // Two lines stack downwards from the origin.
        EXPECT_GE(ink.top(), 30);
        EXPECT_GT(ink.height(), 30);
        EXPECT_TRUE(
            project.MeasureText(project.Texts[0]).adjusted(-1, -1, 1, 1).contains(QRectF(ink)));
    }
}

TEST(RenderOrder, TheLogoCoversCaptionsOnSourcesAndCaptionsCoverTheLogoOnOutput) {
    QTemporaryDir dir;
    TVGProj project([] { return TProjectDefaults(); });
    Video(project, 200, 100);
    project.SizeStyle = ssOriginal;
    TTextObj* caption = Caption(project, 10, 10, QStringLiteral("█████"));
    caption->FontColor = 0x00FF00; // green (0x00BBGGRR)
    project.Logo.Enabled = true;
    project.Logo.FileName = SolidPicture(dir, QStringLiteral("logo.bmp"), Qt::red, {8, 8});
    project.Logo.X = 10;
    project.Logo.Y = 10;
    project.Logo.Width = 60;
    project.Logo.Height = 40;
    QImage source = Black(200, 100);
    project.DrawOverlays(source);
    const QRgb onSource = source.pixel(30, 25);
    EXPECT_GT(qRed(onSource), 200);
    EXPECT_LT(qGreen(onSource), 50);
    QImage output = Black(200, 100);
    {
        QPainter painter(&output);
        project.DrawOutputOverlays(painter, 200, 100);
    }
    const QRgb onOutput = output.pixel(30, 25);
    EXPECT_GT(qGreen(onOutput), 200);
    EXPECT_LT(qRed(onOutput), 50);
}

TEST(RenderHitTest, TheLaterCaptionAndTheLogoRulesDecideWhatIsHit) {
    TVGProj project([] { return TProjectDefaults(); });
    Video(project, 400, 200);
    TTextObj* first = Caption(project, 50, 50, QStringLiteral("Same place"));
    TTextObj* second = Caption(project, 50, 50, QStringLiteral("Same place"));
    EXPECT_EQ(project.ElementAt({60, 60}), second);
    EXPECT_NE(project.ElementAt({60, 60}), first);
    EXPECT_EQ(project.ElementAt({5, 5}), nullptr);
    // The logo: a zero side is never hit; a switched-off logo with a size is.
    project.Logo.X = 40;
    project.Logo.Y = 40;
    project.Logo.Width = 0;
    project.Logo.Height = 50;
    EXPECT_EQ(project.ElementAt({60, 60}), second);
    project.Logo.Width = 50;
    project.Logo.Enabled = false;
    EXPECT_EQ(project.ElementAt({60, 60}), &project.Logo);
    // Edges are outside.
    EXPECT_NE(project.ElementAt({40, 60}), &project.Logo);
    EXPECT_NE(project.ElementAt({90, 60}), &project.Logo);
    EXPECT_EQ(project.ElementAt({89.5, 89.5}), &project.Logo);
}

TEST(RenderBadInput, NothingOddCrashesOrDraws) {
    QTemporaryDir dir;
    TVGProj project([] { return TProjectDefaults(); });
    Video(project, 320, 180);
    project.SizeStyle = ssOriginal;
    Caption(project, 10, 10, QString())->FontSize = 12; // empty
    Caption(project, 10, 10, QStringLiteral("zero"))->FontSize = 0;
    Caption(project, 10, 10, QStringLiteral("negative"))->FontSize = -5;
    project.Logo.Enabled = true;
    const QString notPicture = dir.filePath(QStringLiteral("logo.png"));
    {
        QFile file(notPicture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("this is text, not a picture");
    }
    project.Logo.FileName = notPicture;
    project.Logo.Width = 30;
    project.Logo.Height = 30;
    QImage frame = Black(320, 180);
    project.DrawOverlays(frame);
    {
        QPainter painter(&frame);
        project.DrawOutputOverlays(painter, 320, 180);
    }
    EXPECT_TRUE(Ink(frame).isNull());
    // Captions that draw nothing are never hit; the logo rule alone decides.
    EXPECT_EQ(project.ElementAt({12, 12}), &project.Logo);
    EXPECT_EQ(project.ElementAt({40, 40}), nullptr);

    // A missing logo draws nothing and is looked for again on the next call.
    project.Logo.FileName = dir.filePath(QStringLiteral("later.png"));
    project.DrawOverlays(frame);
    EXPECT_TRUE(Ink(frame).isNull());
    SolidPicture(dir, QStringLiteral("later.png"), Qt::white, {4, 4});
    project.DrawOverlays(frame);
    EXPECT_EQ(Ink(frame), QRect(0, 0, 30, 30));

    // A very long caption is drawn without trouble.
    TVGProj big([] { return TProjectDefaults(); });
    Video(big, 320, 180);
    Caption(big, 0, 0, QString(10000, QLatin1Char('x')));
    QImage wide = Black(320, 180);
    big.DrawOverlays(wide);
    EXPECT_FALSE(Ink(wide).isNull());
    EXPECT_GT(big.MeasureText(big.Texts[0]).width(), 10000);
    // A custom size of 0 draws nothing.
    big.SizeStyle = ssCustom;
    QImage none = Black(320, 180);
    {
        QPainter painter(&none);
        big.DrawOutputOverlays(painter, 0, 0);
    }
    EXPECT_TRUE(Ink(none).isNull());
}
