// The program-placed hint: measuring, showing at a point, moving and hiding.

#include "ui/MHintWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <gtest/gtest.h>

TEST(MHint, HideBeforeShowDoesNothingAndShowPlacesTheTipAtThePoint) {
    TMHint hint;
    hint.HideHint();
    EXPECT_FALSE(hint.IsShowing());

    const QString time = QStringLiteral("00:01:02.345");
    const QSize size = hint.MeasureHint(time);
    EXPECT_GT(size.width(), hint.Window()->fontMetrics().horizontalAdvance(time));
    hint.ShowHintAt(QPoint(300 - size.width(), 200), time);
    EXPECT_TRUE(hint.IsShowing());
    EXPECT_EQ(hint.Window()->geometry(), QRect(QPoint(300 - size.width(), 200), size));
    EXPECT_EQ(hint.Window()->text(), time);

    // Shown again while visible: it moves and changes its text.
    hint.ShowHintAt(QPoint(40, 50), QStringLiteral("00:00:09.000"));
    EXPECT_EQ(hint.Window()->pos(), QPoint(40, 50));
    EXPECT_EQ(hint.Window()->text(), "00:00:09.000");
    hint.HideHint();
    EXPECT_FALSE(hint.IsShowing());
    hint.HideHint();
    EXPECT_FALSE(hint.IsShowing());
}

TEST(MHint, LineBreaksMakeItTallerAndWideTextWrapsAtTheScreenWidth) {
    TMHint hint;
    const QSize one = hint.MeasureHint(QStringLiteral("Size: 1920 x 1080"));
    const QSize three =
        hint.MeasureHint(QStringLiteral("Size: 1920 x 1080\nFrame rate: 25\nDuration: 00:01:00"));
    EXPECT_GE(three.height(), one.height() + 2 * hint.Window()->fontMetrics().lineSpacing() - 2);

    const int screenWidth = QGuiApplication::primaryScreen()->geometry().width();
    QString wide;
    while (hint.Window()->fontMetrics().horizontalAdvance(wide) < 3 * screenWidth)
        wide += QStringLiteral("frame ");
    const QSize wrapped = hint.MeasureHint(wide);
    EXPECT_LE(wrapped.width(), screenWidth);
    EXPECT_GE(wrapped.height(), one.height() + 2 * hint.Window()->fontMetrics().lineSpacing() - 2);

    // The tip shows every line: its label wraps at the measured width.
    hint.ShowHintAt(QPoint(0, 0), wide);
    EXPECT_EQ(hint.Window()->size(), wrapped);
    EXPECT_LE(hint.Window()->heightForWidth(wrapped.width()), wrapped.height());
}

TEST(MHint, UsesTheApplicationsHintColour) {
    TMHint hint;
    hint.ShowHintAt(QPoint(10, 10), QStringLiteral("Info"));
    const QImage shown = hint.Window()->grab().toImage();
    const QColor background = hint.Window()->palette().color(QPalette::ToolTipBase);
    EXPECT_EQ(shown.pixelColor(shown.width() - 3, shown.height() - 3).rgb(), background.rgb());
}
