// Anchors: the placement rule as data, and children kept in place while a parent resizes.

#include "widgets/Anchors.h"

#include <QWidget>
#include <gtest/gtest.h>

TEST(AnchoredRect, EachAnchorCombinationFollowsTheParentAsDesigned) {
    const QRect design(10, 20, 100, 50);
    const QSize from(500, 400), to(600, 450); // 100 wider, 50 taller
    struct Case {
        int Anchors;
        QRect Expected;
    } cases[] = {
        {akLeft | akTop, QRect(10, 20, 100, 50)},
        {akRight | akTop, QRect(110, 20, 100, 50)},
        {akLeft | akRight | akTop, QRect(10, 20, 200, 50)},
        {akLeft | akBottom, QRect(10, 70, 100, 50)},
        {akLeft | akTop | akBottom, QRect(10, 20, 100, 100)},
        {akAll, QRect(10, 20, 200, 100)},
        {akRight | akBottom, QRect(110, 70, 100, 50)},
        {0, QRect(60, 45, 100, 50)}, // neither side: half the change
    };
    for (const Case& c : cases)
        EXPECT_EQ(AnchoredRect(design, from, to, c.Anchors), c.Expected) << "anchors " << c.Anchors;
}

TEST(AnchoredRect, ShrinkingBelowTheDesignNeverGivesNegativeSizes) {
    const QRect stretched =
        AnchoredRect(QRect(10, 10, 50, 50), QSize(500, 400), QSize(100, 100), akAll);
    EXPECT_EQ(stretched.width(), 0);
    EXPECT_EQ(stretched.height(), 0);
    EXPECT_EQ(stretched.topLeft(), QPoint(10, 10));
}

TEST(Anchors, ChildrenFollowTheParentAndProgramMovesBecomeTheNewDesign) {
    QWidget parent;
    parent.resize(500, 400);
    auto* okButton = new QWidget(&parent);
    okButton->setGeometry(400, 360, 80, 24);
    auto* titleBar = new QWidget(&parent);
    titleBar->setGeometry(0, 0, 500, 31);
    auto* plain = new QWidget(&parent);
    plain->setGeometry(20, 40, 30, 30);
    SetAnchors(okButton, akRight | akBottom);
    SetAnchors(titleBar, akLeft | akTop | akRight);
    EXPECT_EQ(GetAnchors(okButton), akRight | akBottom);
    EXPECT_EQ(GetAnchors(plain), akLeftTop);
    parent.show();

    parent.resize(655, 484);
    EXPECT_EQ(okButton->geometry(), QRect(555, 444, 80, 24));
    EXPECT_EQ(titleBar->geometry(), QRect(0, 0, 655, 31));
    EXPECT_EQ(plain->geometry(), QRect(20, 40, 30, 30));

    // The program puts the button somewhere else: that place is kept relative to the right and
    // bottom from now on.
    okButton->move(300, 300);
    parent.resize(555, 384);
    EXPECT_EQ(okButton->geometry(), QRect(200, 200, 80, 24));

    // Back to the default anchors: the child stays where it is.
    SetAnchors(okButton, akLeftTop);
    parent.resize(700, 500);
    EXPECT_EQ(okButton->geometry(), QRect(200, 200, 80, 24));
    EXPECT_EQ(titleBar->width(), 700);
}

TEST(Anchors, ADialogResizedBeforeItShowsPlacesBaseAndOwnChildrenConsistently) {
    // A base part designed for 500 x 400, then the dialog takes its own size while hidden and
    // adds a control designed for that size.
    QWidget dialog;
    dialog.resize(500, 400);
    auto* basePart = new QWidget(&dialog);
    basePart->setGeometry(411, 359, 71, 23);
    SetAnchors(basePart, akRight | akBottom);
    dialog.resize(655, 484);
    auto* own = new QWidget(&dialog);
    own->setGeometry(10, 440, 200, 30);
    SetAnchors(own, akLeft | akRight | akBottom);
    dialog.show();
    EXPECT_EQ(basePart->geometry(), QRect(566, 443, 71, 23));
    EXPECT_EQ(own->geometry(), QRect(10, 440, 200, 30));
    dialog.resize(755, 500);
    EXPECT_EQ(basePart->geometry(), QRect(666, 459, 71, 23));
    EXPECT_EQ(own->geometry(), QRect(10, 456, 300, 30));
}
