// The reading and display rules of the speed and replay boxes, lenient numbers, held fonts and
// the colour edit.

#include "dialogs/ColorBox.h"
#include "dialogs/DialogRules.h"
#include "project/VGElements.h"
#include "widgets/AskColor.h"

#include <QComboBox>
#include <QLocale>
#include <gtest/gtest.h>

namespace {
const QString Keep = QStringLiteral("Keep Original");
const QString Infinite = QStringLiteral("Infinite");
} // namespace

TEST(SpeedRule, ReadingTexts) {
    EXPECT_DOUBLE_EQ(ReadSpeedText(QString(), Keep), 1.0);
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("keep original"), Keep), 1.0);
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("150%"), Keep), 1.5);
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("75"), Keep), 0.75);
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("100%"), Keep), 1.0);
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("0"), Keep), 0.0);
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("fast"), Keep), 1.0);
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("-50%"), Keep), -0.5);
    // Only one "%" is dropped.
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("50%%"), Keep), 1.0);
}

TEST(SpeedRule, DecimalSeparatorOfAnyLocale) {
    const QLocale old;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("1.5"), Keep), 0.015);
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("1,5"), Keep), 0.015);
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("12.5%"), Keep), 0.125);
    QLocale::setDefault(old);
    EXPECT_DOUBLE_EQ(ReadSpeedText(QStringLiteral("12,5%"), Keep), 0.125);
}

TEST(SpeedRule, Display) {
    EXPECT_EQ(SpeedDisplayText(1.0, Keep), Keep);
    EXPECT_EQ(SpeedDisplayText(1.0 + 1e-13, Keep), Keep);
    EXPECT_EQ(SpeedDisplayText(1.5, Keep), QStringLiteral("150%"));
    EXPECT_EQ(SpeedDisplayText(0.0, Keep), QStringLiteral("0%"));
    EXPECT_EQ(SpeedDisplayText(0.333, Keep), QStringLiteral("33%"));
    EXPECT_EQ(SpeedDisplayText(1.001, Keep), QStringLiteral("100%"));
}

TEST(SpeedRule, BoxShowsItsReadingWhenLeft) {
    QComboBox box;
    box.setEditable(true);
    box.addItems({Keep, QStringLiteral("20%")});
    const std::pair<const char*, const char*> cases[] = {{"100", "Keep Original"},
                                                         {"100%", "Keep Original"},
                                                         {"word", "Keep Original"},
                                                         {"", "Keep Original"},
                                                         {"0", "0%"},
                                                         {"250", "250%"},
                                                         {"1,5%", "2%"}};
    for (const auto& [typed, shown] : cases) {
        box.setEditText(QString::fromLatin1(typed));
        NormalizeSpeedBox(&box);
        EXPECT_EQ(box.currentText(), QString::fromLatin1(shown)) << typed;
    }
}

TEST(ReplayRule, ReadingAndShowing) {
    EXPECT_EQ(ReadReplayText(Infinite), -1);
    EXPECT_EQ(ReadReplayText(QStringLiteral("0")), 0);
    EXPECT_EQ(ReadReplayText(QStringLiteral(" 3 ")), 3);
    EXPECT_EQ(ReadReplayText(QStringLiteral("-2")), -1);
    EXPECT_EQ(ReadReplayText(QStringLiteral("2.5")), -1);
    EXPECT_EQ(ReplayDisplayText(-1, Infinite), Infinite);
    EXPECT_EQ(ReplayDisplayText(0, Infinite), QStringLiteral("0"));

    QComboBox box;
    box.setEditable(true);
    box.addItems({Infinite, QStringLiteral("0")});
    for (const char* typed : {"-2", "word", "", "1e3"}) {
        box.setEditText(QString::fromLatin1(typed));
        NormalizeReplayBox(&box);
        EXPECT_EQ(box.currentText(), Infinite) << typed;
    }
    box.setEditText(QStringLiteral("7"));
    NormalizeReplayBox(&box);
    EXPECT_EQ(box.currentText(), QStringLiteral("7"));
}

TEST(HeldFont, RoundTripKeepsEveryField) {
    const THeldFont held{QStringLiteral("Liberation Serif"), 22,
                         fsBoldBit | fsUnderlineBit | fsStrikeOutBit, 0x123456};
    const QFont font = held.ToFont();
    EXPECT_TRUE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_TRUE(font.underline());
    EXPECT_TRUE(font.strikeOut());
    EXPECT_EQ(font.pointSize(), 22);
    EXPECT_EQ(THeldFont::FromFont(font, 0x123456), held);
}

TEST(ColorBox, StandardAndCustomColours) {
    TColorBox box;
    box.SetSelectedColor(0x0000FF);
    EXPECT_EQ(box.currentText(), QStringLiteral("Red"));
    EXPECT_EQ(box.SelectedColor(), 0x0000FFu);
    box.SetSelectedColor(0x123456);
    EXPECT_EQ(box.SelectedColor(), 0x123456u);
    EXPECT_EQ(box.currentIndex(), 1);
    const int withCustom = box.count();
    box.SetSelectedColor(0x654321); // the one custom entry is reused
    EXPECT_EQ(box.count(), withCustom);
    EXPECT_EQ(box.SelectedColor(), 0x654321u);

    // "Custom..." asks for a colour; cancelling keeps the one shown.
    bool answer = false;
    const auto old = SetColorChooser([&](QColor& color, QWidget*) {
        color = QColor(1, 2, 3);
        return answer;
    });
    emit box.activated(TColorBox::CustomEntry);
    EXPECT_EQ(box.SelectedColor(), 0x654321u);
    answer = true;
    emit box.activated(TColorBox::CustomEntry);
    EXPECT_EQ(box.SelectedColor(), 0x030201u);
    SetColorChooser(old);
}
