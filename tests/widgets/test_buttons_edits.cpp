// Skin buttons (states, pictures, drawing), numeric edits and the colour swatch.

#include "WidgetTestUtils.h"
#include "widgets/AskColor.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/NumberEdit.h"
#include "widgets/SkinButton.h"

#include <QEnterEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QImage Filled(int w, int h, const QColor& color) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

void Enter(QWidget* widget) {
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(widget->mapToGlobal(QPoint(2, 2))));
    QApplication::sendEvent(widget, &event);
}

void Leave(QWidget* widget) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

} // namespace

TEST(SkinButton, StateNamesIgnoreLetterCaseAndUnknownNamesAreRefused) {
    TSkinState state = TSkinState::Normal;
    EXPECT_TRUE(TSkinButton::StateFromName(QStringLiteral("Normal"), &state));
    EXPECT_EQ(state, TSkinState::Normal);
    EXPECT_TRUE(TSkinButton::StateFromName(QStringLiteral("HOT"), &state));
    EXPECT_EQ(state, TSkinState::Hot);
    EXPECT_TRUE(TSkinButton::StateFromName(QStringLiteral("down"), &state));
    EXPECT_EQ(state, TSkinState::Down);
    EXPECT_TRUE(TSkinButton::StateFromName(QStringLiteral("Disabled"), &state));
    EXPECT_EQ(state, TSkinState::Disabled);
    EXPECT_TRUE(TSkinButton::StateFromName(QStringLiteral("StayDown"), &state));
    EXPECT_EQ(state, TSkinState::StayDown);
    EXPECT_FALSE(TSkinButton::StateFromName(QStringLiteral("pressed"), &state));
    EXPECT_FALSE(TSkinButton::StateFromName(QString(), &state));
}

TEST(SkinButton, LoadPictureKeepsTheOldPictureForBadFilesAndUnknownStates) {
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("b.hot.bmp"));
    ASSERT_TRUE(Filled(10, 10, Qt::red).save(good));
    const QString bad = dir.filePath(QStringLiteral("c.bmp"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();

    TSkinButton button;
    EXPECT_TRUE(button.LoadPicture(QStringLiteral("Hot"), good));
    EXPECT_EQ(button.Picture(TSkinState::Hot).pixelColor(5, 5), QColor(Qt::red));
    EXPECT_FALSE(button.LoadPicture(QStringLiteral("hot"), bad));
    EXPECT_EQ(button.Picture(TSkinState::Hot).pixelColor(5, 5), QColor(Qt::red));
    EXPECT_FALSE(button.LoadPicture(QStringLiteral("focused"), good));
    EXPECT_TRUE(button.Picture(TSkinState::Normal).isNull());
}

TEST(SkinButton, ShowsThePictureOfItsStateAndFallsBackToTheUpPicture) {
    QWidget host;
    host.resize(100, 40);
    auto* button = new TSkinButton(&host);
    button->setGeometry(0, 0, 40, 20);
    button->SetPicture(TSkinState::Normal, Filled(40, 20, QColor(10, 200, 10)));
    button->SetPicture(TSkinState::Hot, Filled(40, 20, QColor(200, 10, 10)));
    button->SetPicture(TSkinState::Disabled, Filled(40, 20, QColor(90, 90, 90)));
    host.show();
    int clicks = 0;
    QObject::connect(button, &QAbstractButton::clicked, [&clicks] { ++clicks; });

    EXPECT_EQ(button->CurrentState(), TSkinState::Normal);
    EXPECT_EQ(Grab(button).pixelColor(3, 3), QColor(10, 200, 10));

    Enter(button);
    EXPECT_TRUE(button->IsHot());
    EXPECT_EQ(button->CurrentState(), TSkinState::Hot);
    EXPECT_EQ(Grab(button).pixelColor(3, 3), QColor(200, 10, 10));

    // Pressed: no "down" picture, so the up picture shows.
    Press(button, QPoint(5, 5));
    EXPECT_EQ(button->CurrentState(), TSkinState::Down);
    EXPECT_EQ(Grab(button).pixelColor(3, 3), QColor(10, 200, 10));
    Release(button, QPoint(5, 5));
    EXPECT_EQ(clicks, 1);

    Leave(button);
    EXPECT_EQ(button->CurrentState(), TSkinState::Normal);
    button->setEnabled(false);
    EXPECT_EQ(button->CurrentState(), TSkinState::Disabled);
    EXPECT_EQ(Grab(button).pixelColor(3, 3), QColor(90, 90, 90));
    Click(button, QPoint(5, 5));
    EXPECT_EQ(clicks, 1);

    // Latched: shows the down picture while no latched picture exists.
    button->setEnabled(true);
    button->SetPicture(TSkinState::Down, Filled(40, 20, QColor(10, 10, 200)));
    button->SetStayDown(true);
    EXPECT_EQ(button->CurrentState(), TSkinState::StayDown);
    EXPECT_EQ(Grab(button).pixelColor(3, 3), QColor(10, 10, 200));
}

TEST(SkinButton, StretchMarginsKeepThePictureEndsAtTheirSize) {
    // 30 pixels: 10 red, 10 green, 10 blue.
    QImage picture(30, 10, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.fillRect(0, 0, 10, 10, Qt::red);
    painter.fillRect(10, 0, 10, 10, Qt::green);
    painter.fillRect(20, 0, 10, 10, Qt::blue);
    painter.end();
    TSkinButton button;
    button.resize(120, 10);
    button.SetPicture(TSkinState::Normal, picture);
    button.SetStretchMargins(10, 10);
    const QImage shown = Grab(&button);
    EXPECT_EQ(shown.pixelColor(8, 5), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(12, 5), QColor(Qt::green));
    EXPECT_EQ(shown.pixelColor(100, 5), QColor(Qt::green));
    EXPECT_EQ(shown.pixelColor(112, 5), QColor(Qt::blue));
}

TEST(SkinButton, WithoutPicturesItDrawsTheFlatLookAndItsCaption) {
    TSkinButton button;
    button.setText(QStringLiteral("Convert"));
    button.resize(82, 30);
    const QImage normal = Grab(&button);
    int dark = 0;
    for (int x = 10; x < 72; ++x)
        for (int y = 8; y < 22; ++y)
            dark += qGray(normal.pixel(x, y)) < 120 ? 1 : 0;
    EXPECT_GT(dark, 20) << "the caption is drawn";
    Enter(&button);
    EXPECT_NE(Grab(&button).pixel(5, 15), normal.pixel(5, 15))
        << "the face changes under the mouse";
}

TEST(NumberEdit, TakesOnlyNumberCharactersAndReadsLeniently) {
    TNumberEdit edit;
    EXPECT_EQ(edit.text(), "0");
    EXPECT_TRUE(edit.alignment() & Qt::AlignRight);
    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("1a2b-3"));
    EXPECT_EQ(edit.text(), "123") << "letters and a sign after digits are refused";
    EXPECT_EQ(edit.AsInteger(), 123);

    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("-"));
    EXPECT_EQ(edit.AsInteger(-7), -7) << "a lone sign is not a number";
    QTest::keyClicks(&edit, QStringLiteral("40"));
    EXPECT_EQ(edit.AsInteger(), -40);

    // Text put there by the program is read the same lenient way.
    edit.setText(QStringLiteral("abc"));
    EXPECT_EQ(edit.AsInteger(5), 5);
    edit.setText(QStringLiteral(" 640 "));
    EXPECT_EQ(edit.AsInteger(), 640);

    QSignalSpy changed(&edit, &QLineEdit::textChanged);
    edit.SetAsInteger(1918);
    EXPECT_EQ(edit.text(), "1918");
    EXPECT_EQ(changed.count(), 1);

    TNumberEdit decimal(nullptr, dfFloat);
    decimal.clear();
    QTest::keyClicks(&decimal, QStringLiteral("1,5x"));
    EXPECT_DOUBLE_EQ(decimal.AsFloat(), 1.5);
}

TEST(ColorSwatch, ShowsTheColourAndReportsOnlyRealChanges) {
    TColorSwatchControl swatch;
    swatch.resize(40, 22);
    int handlerCalls = 0;
    swatch.OnChange = [&handlerCalls] { ++handlerCalls; };
    QSignalSpy changed(&swatch, &TColorSwatchControl::Changed);

    swatch.SetSelectedColor(0x0000FF); // red in 0x00BBGGRR
    EXPECT_EQ(swatch.SelectedColor(), 0x0000FFu);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(handlerCalls, 1);
    swatch.SetSelectedColor(0x0000FF);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(Near(Grab(&swatch).pixelColor(10, 11), QColor(255, 0, 0), 2));

    // Signals blocked (the program's silent write): no handler runs either.
    swatch.blockSignals(true);
    swatch.SetSelectedColor(0xFF0000);
    swatch.blockSignals(false);
    EXPECT_EQ(handlerCalls, 1);
    EXPECT_TRUE(Near(Grab(&swatch).pixelColor(10, 11), QColor(0, 0, 255), 2));
}

TEST(ColorSwatch, AClickAsksForAColourAndCancelKeepsTheOldOne) {
    TColorSwatchControl swatch;
    swatch.resize(40, 22);
    swatch.SetSelectedColor(0x000000);
    QColor offered;
    bool answer = true;
    auto old = SetColorChooser([&](QColor& color, QWidget*) {
        offered = color;
        color = QColor(0x11, 0x22, 0x33);
        return answer;
    });
    QSignalSpy changed(&swatch, &TColorSwatchControl::Changed);
    QTest::mouseClick(&swatch, Qt::LeftButton);
    EXPECT_EQ(offered, QColor(Qt::black));
    EXPECT_EQ(swatch.SelectedColor(), 0x332211u);
    EXPECT_EQ(changed.count(), 1);

    answer = false;
    QTest::mouseClick(&swatch, Qt::LeftButton);
    EXPECT_EQ(swatch.SelectedColor(), 0x332211u);
    EXPECT_EQ(changed.count(), 1);
    SetColorChooser(old);
}

TEST(WinColor, ConvertsBothWays) {
    EXPECT_EQ(WinColorToQColor(255), QColor(255, 0, 0));
    EXPECT_EQ(WinColorToQColor(16777215), QColor(255, 255, 255));
    EXPECT_EQ(WinColorToQColor(15987699), QColor(243, 243, 243));
    EXPECT_EQ(QColorToWinColor(QColor(223, 223, 223)), 14671839u);
    EXPECT_EQ(QColorToWinColor(QColor(1, 2, 3)), 0x030201u);
}
