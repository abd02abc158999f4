// Panels, pictures, link labels, the track bar with a thumb picture and the owner-drawn menus.

#include "WidgetTestUtils.h"
#include "widgets/FlatControls.h"
#include "widgets/FlatStyle.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

TEST(FlatPanel, FillsItsFaceAndFramesItWithTheBorderWidth) {
    TFlatPanel panel;
    panel.resize(100, 60);
    panel.SetColor(QColor(243, 243, 243));
    panel.SetBorderColor(QColor(223, 223, 223));
    panel.SetBorderWidth(2);
    int paints = 0;
    panel.OnPaint = [&paints](QPainter&) { ++paints; };
    const QImage shown = Grab(&panel);
    EXPECT_EQ(shown.pixelColor(0, 30), QColor(223, 223, 223));
    EXPECT_EQ(shown.pixelColor(1, 30), QColor(223, 223, 223));
    EXPECT_EQ(shown.pixelColor(2, 30), QColor(243, 243, 243));
    EXPECT_EQ(shown.pixelColor(99, 59), QColor(223, 223, 223));
    EXPECT_GE(paints, 1);
    panel.SetBorderWidth(0);
    EXPECT_EQ(Grab(&panel).pixelColor(0, 30), QColor(243, 243, 243));
}

TEST(SkinImage, AutoSizeStretchAndDoubleClick) {
    QImage picture(8, 9, QImage::Format_RGB32);
    picture.fill(Qt::red);
    TSkinImage image;
    image.resize(50, 50);
    image.SetAutoSize(true);
    image.SetPicture(picture);
    EXPECT_EQ(image.size(), QSize(8, 9));

    TSkinImage stretched;
    stretched.resize(40, 31);
    stretched.SetStretch(true);
    stretched.SetPicture(picture);
    EXPECT_EQ(stretched.size(), QSize(40, 31));
    EXPECT_EQ(Grab(&stretched).pixelColor(39, 30), QColor(Qt::red));

    int doubleClicks = 0;
    stretched.OnDblClick = [&doubleClicks] { ++doubleClicks; };
    QTest::mouseDClick(&stretched, Qt::LeftButton);
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_FALSE(stretched.LoadFromFile(QStringLiteral("/nonexistent/x.bmp")));
    EXPECT_EQ(stretched.Picture().pixelColor(0, 0), QColor(Qt::red));
}

TEST(LinkLabel, OpensItsAddressWhenClickedAndUsesTheHighlightColour) {
    TLinkLabel label;
    label.setText(QStringLiteral("Support: www.example.com"));
    label.SetUrl(QStringLiteral("https://www.example.com/support?src=app"));
    label.adjustSize();
    QStringList opened;
    QObject::connect(&label, &QLabel::linkActivated,
                     [&opened](const QString& url) { opened.append(url); });
    QTest::mouseClick(&label, Qt::LeftButton);
    QTest::mouseClick(&label, Qt::RightButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], "https://www.example.com/support?src=app");
    EXPECT_EQ(label.palette().color(QPalette::WindowText),
              label.palette().color(QPalette::Highlight));
}

TEST(TrackBar, ThumbPictureIsDrawnWhereThePositionPutsIt) {
    TTrackBar bar;
    bar.resize(210, 20);
    bar.setRange(0, 100);
    QImage thumb(10, 16, QImage::Format_RGB32);
    thumb.fill(QColor(250, 0, 250));
    bar.SetThumbPicture(thumb);
    bar.setValue(50);
    EXPECT_EQ(bar.ThumbRect(), QRect(100, 2, 10, 16));
    EXPECT_EQ(Grab(&bar).pixelColor(105, 10), QColor(250, 0, 250));
    EXPECT_EQ(bar.PositionAt(5), 0);
    EXPECT_EQ(bar.PositionAt(205), 100);
    EXPECT_EQ(bar.PositionAt(105), 50);

    // A click beside the thumb jumps there.
    QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(185, 10));
    EXPECT_EQ(bar.value(), 90);
    bar.setValue(0);
    EXPECT_EQ(bar.ThumbRect().x(), 0);
}

TEST(TrackBar, TheThumbFollowsTheMouseAndNeverCreepsOnByItself) {
    TTrackBar bar;
    bar.resize(210, 20);
    bar.setRange(0, 100);
    bar.show();
    QList<int> values;
    QObject::connect(&bar, &QSlider::valueChanged, [&](int value) { values << value; });
    // Taken by its edge, the thumb does not jump; it moves with the mouse, pressed or not moved.
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(2, 10));
    EXPECT_TRUE(bar.isSliderDown());
    EXPECT_EQ(bar.value(), 0);
    QTest::mouseMove(&bar, QPoint(100, 10));
    EXPECT_EQ(bar.value(), 50);
    QTest::mouseMove(&bar, QPoint(500, 10));
    EXPECT_EQ(bar.value(), 100);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(500, 10));
    EXPECT_FALSE(bar.isSliderDown());
    EXPECT_EQ(values, QList<int>({50, 100}));

    // Pressed and held on the groove: one jump to the mouse, then nothing until the release.
    values.clear();
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(56, 10));
    // A slider repeats page steps 500 ms after a press on its groove, then every 50 ms.
    QSignalSpy moved(&bar, &QSlider::valueChanged);
    EXPECT_FALSE(moved.wait(800));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(56, 10));
    EXPECT_EQ(values, QList<int>({25}));
    // Other buttons do nothing.
    QTest::mouseClick(&bar, Qt::RightButton, {}, QPoint(150, 10));
    EXPECT_EQ(bar.value(), 25);
}

TEST(TrackBar, AMarkedRangeTintsItsStretchOfTheGroove) {
    TTrackBar bar;
    bar.resize(210, 20);
    bar.setRange(0, 100);
    EXPECT_FALSE(bar.HasMarkedRange());
    EXPECT_TRUE(bar.MarkedRect().isEmpty());
    const QImage plain = Grab(&bar);
    bar.SetMarkedRange(0.25, 0.75);
    ASSERT_TRUE(bar.HasMarkedRange());
    // The thumb's centre travels from 7 to 203: a quarter is at 56, three quarters at 154.
    EXPECT_EQ(bar.MarkedRect().left(), 56);
    EXPECT_EQ(bar.MarkedRect().right() + 1, 154);
    const QImage marked = Grab(&bar);
    const int y = bar.MarkedRect().top();
    EXPECT_NE(marked.pixel(100, y), plain.pixel(100, y));
    EXPECT_EQ(marked.pixel(30, y), plain.pixel(30, y));
    EXPECT_EQ(marked.pixel(180, y), plain.pixel(180, y));
    // Inverted, out of range or not a number: cut to the track, or nothing marked.
    bar.SetMarkedRange(0.8, 0.2);
    EXPECT_FALSE(bar.HasMarkedRange());
    bar.SetMarkedRange(-1, 2);
    EXPECT_EQ(bar.MarkedRect().left(), 7);
    bar.SetMarkedRange(0, std::nan(""));
    EXPECT_FALSE(bar.HasMarkedRange());
}

TEST(FlatStyle, OwnerDrawnMenusShowAShadedPictureColumnOnTheMenuColour) {
    ApplyFlatStyle();
    QMenu menu;
    MakeOwnerDrawnMenu(&menu);
    QPixmap icon(16, 16);
    icon.fill(QColor(0, 160, 0));
    menu.addAction(QIcon(icon), QStringLiteral("Delete"));
    menu.addAction(QStringLiteral("Restore"))->setEnabled(false);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Set as start frame"));
    menu.popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const QImage shown = Grab(&menu);
    const QColor face = shown.pixelColor(shown.width() - 6, shown.height() / 2);
    EXPECT_EQ(face, QColor(249, 248, 247));
    const QColor column = shown.pixelColor(TFlatStyle::MenuColumnWidth - 2, shown.height() - 6);
    EXPECT_NE(column, face);
    // The first item's picture sits in the column.
    const int firstItemY = menu.actionGeometry(menu.actions().first()).center().y();
    EXPECT_EQ(shown.pixelColor(TFlatStyle::MenuColumnWidth / 2, firstItemY), QColor(0, 160, 0));
    menu.close();
}
