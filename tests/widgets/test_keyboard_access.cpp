// Keyboard and screen-reader use of the reusable controls: skin buttons and link labels reached
// with Tab and pressed with Return, Enter and Space, a focus mark only after the keyboard moved
// the focus, the flat style's focus marks, and the names screen readers get for symbol buttons
// and the strip's items.

#include "KeyboardWalk.h"
#include "WidgetTestUtils.h"
#include "widgets/ColorSwatchControl.h"
#include "widgets/FlatControls.h"
#include "widgets/FlatStyle.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTabBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// A shown, active window with a line edit first, so that Tab has somewhere to come from.
class KeyboardHost : public ::testing::Test {
protected:
    void SetUp() override {
        Host.resize(300, 200);
        Edit = new QLineEdit(&Host);
        Edit->setGeometry(10, 10, 100, 22);
    }
    // Shows the window, waits until it is active and puts the focus in the edit by a click.
    bool ShowWithFocusInEdit() {
        Host.show();
        Host.activateWindow();
        if (!QTest::qWaitForWindowActive(&Host))
            return false;
        QTest::mouseClick(Edit, Qt::LeftButton);
        return Edit->hasFocus();
    }
    static int Differing(const QImage& a, const QImage& b) {
        int count = 0;
        for (int y = 0; y < qMin(a.height(), b.height()); ++y)
            for (int x = 0; x < qMin(a.width(), b.width()); ++x)
                count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        return count;
    }
    TSkinButton* AddButton(const QString& caption, int x) {
        auto* button = new TSkinButton(&Host);
        button->setObjectName(caption);
        button->setText(caption);
        button->setGeometry(x, 50, 90, 26);
        button->setFocusPolicy(Qt::StrongFocus);
        return button;
    }

    QWidget Host;
    QLineEdit* Edit = nullptr;
};

class SkinButtonKeyboard : public KeyboardHost {};

TEST_F(SkinButtonKeyboard, TabShowsARingOverTheFlatLookAndOverPicturesButAClickDoesNot) {
    TSkinButton* flat = AddButton(QStringLiteral("Convert"), 10);
    TSkinButton* pictured = AddButton(QStringLiteral("Save"), 110);
    QImage picture(90, 26, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 40));
    pictured->SetPicture(TSkinState::Normal, picture);
    ASSERT_TRUE(ShowWithFocusInEdit());
    const QImage flatPlain = Grab(flat), picturedPlain = Grab(pictured);

    EXPECT_EQ(WalkTabs(1), TNames({"Convert"}));
    EXPECT_GT(Differing(Grab(flat), flatPlain), 100) << "a ring round the face";
    EXPECT_TRUE(Near(Grab(flat).pixelColor(2, 13), FlatColors().Accent, 40));
    EXPECT_EQ(WalkTabs(1), TNames({"Save"}));
    EXPECT_EQ(Grab(flat), flatPlain) << "the ring goes with the focus";
    const QImage ringed = Grab(pictured);
    EXPECT_TRUE(Near(ringed.pixelColor(2, 13), FlatColors().Accent, 40)) << "over the picture";
    EXPECT_EQ(ringed.pixelColor(45, 13), QColor(200, 120, 40)) << "the middle stays the picture";

    // A click on the button that has the ring takes the ring away; a key brings it back.
    QTest::mouseClick(pictured, Qt::LeftButton);
    EXPECT_FALSE(pictured->ShowsFocusRing());
    EXPECT_EQ(Grab(pictured), picturedPlain);
    QTest::keyClick(pictured, Qt::Key_Space);
    EXPECT_TRUE(pictured->ShowsFocusRing());
}

TEST_F(SkinButtonKeyboard, ReturnEnterAndSpacePressTheFocusedButtonOnce) {
    TSkinButton* save = AddButton(QStringLiteral("Save"), 10);
    TSkinButton* close = AddButton(QStringLiteral("Close"), 110);
    QSignalSpy saved(save, &QAbstractButton::clicked);
    QSignalSpy closed(close, &QAbstractButton::clicked);
    ASSERT_TRUE(ShowWithFocusInEdit());
    ASSERT_EQ(WalkTabs(1), TNames({"Save"}));
    QTest::keyClick(save, Qt::Key_Return);
    QTest::keyClick(save, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(save, Qt::Key_Space);
    EXPECT_EQ(saved.count(), 3);
    // With a modifier Return is another command's key; held down, it does not press again.
    QTest::keyClick(save, Qt::Key_Return, Qt::ControlModifier);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(save, &repeat);
    EXPECT_EQ(saved.count(), 3);
    EXPECT_EQ(closed.count(), 0);
}

TEST(SkinButtonAccessible, SymbolCaptionsAreNamedByTheirHintAndWordsByTheirCaption) {
    EXPECT_TRUE(TSkinButton::IsSymbolCaption(QString()));
    EXPECT_TRUE(TSkinButton::IsSymbolCaption(QStringLiteral("...")));
    EXPECT_TRUE(TSkinButton::IsSymbolCaption(QStringLiteral(" i ")));
    EXPECT_TRUE(TSkinButton::IsSymbolCaption(QStringLiteral("&>>")));
    EXPECT_FALSE(TSkinButton::IsSymbolCaption(QStringLiteral("OK")));

    auto button = [](const char* caption, const char* hint) {
        auto* made = new TSkinButton;
        made->setText(QString::fromLatin1(caption));
        made->setToolTip(QString::fromLatin1(hint));
        return std::unique_ptr<TSkinButton>(made);
    };
    auto text = [](QWidget* w, QAccessible::Text t) {
        return QAccessible::queryAccessibleInterface(w)->text(t).toStdString();
    };
    const auto next = button(">", "Next group"), info = button("i", "More info (F2)");
    const auto bare = button("", "Close"), save = button("&Save GIF File", "Saves a copy");
    EXPECT_EQ(text(next.get(), QAccessible::Name), "Next group");
    EXPECT_EQ(text(next.get(), QAccessible::Description), "") << "the hint is not said twice";
    EXPECT_EQ(text(info.get(), QAccessible::Name), "More info (F2)") << "the hint as it is";
    EXPECT_EQ(text(bare.get(), QAccessible::Name), "Close");
    EXPECT_EQ(text(save.get(), QAccessible::Name), "Save GIF File");
    EXPECT_EQ(text(save.get(), QAccessible::Description), "Saves a copy");
    next->setAccessibleName(QStringLiteral("Later frames"));
    EXPECT_EQ(text(next.get(), QAccessible::Name), "Later frames") << "a name set wins";
    EXPECT_EQ(text(next.get(), QAccessible::Description), "Next group");

    // A screen reader can press it, and hears whether a latching one is down.
    QSignalSpy clicked(save.get(), &QAbstractButton::clicked);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(save.get());
    EXPECT_EQ(face->role(), QAccessible::Button);
    face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicked.count(), 1);
    save->SetStayDown(true);
    EXPECT_TRUE(face->state().checkable && face->state().checked);
}

class LinkLabelKeyboard : public KeyboardHost {};

TEST_F(LinkLabelKeyboard, TabReachesTheLinkAndReturnOrSpaceOpensIt) {
    auto* link = new TLinkLabel(&Host);
    link->setObjectName(QStringLiteral("link"));
    link->setText(QStringLiteral("Support: www.example.com"));
    link->SetUrl(QStringLiteral("https://www.example.com/support"));
    link->setGeometry(10, 60, 200, 18);
    link->setFocusPolicy(Qt::StrongFocus);
    QStringList opened;
    QObject::connect(link, &QLabel::linkActivated,
                     [&opened](const QString& url) { opened << url; });
    ASSERT_TRUE(ShowWithFocusInEdit());
    const QImage plain = Grab(link);

    EXPECT_EQ(WalkTabs(1), TNames({"link"}));
    EXPECT_GT(Differing(Grab(link), plain), 50) << "an outline shows where the focus is";
    QTest::keyClick(link, Qt::Key_Return);
    QTest::keyClick(link, Qt::Key_Space);
    QTest::keyClick(link, Qt::Key_A);
    EXPECT_EQ(opened.size(), 2);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(link);
    EXPECT_EQ(face->role(), QAccessible::Link);
    EXPECT_EQ(face->text(QAccessible::Name).toStdString(), "Support: www.example.com");
    face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(opened.size(), 3);
}

// Each control the flat style draws looks different once Tab brings the focus to it, with
// pixels in the accent colours that were not there before.
class FlatFocusMarks : public KeyboardHost {
protected:
    void SetUp() override {
        ApplyFlatStyle();
        KeyboardHost::SetUp();
    }
    void ExpectMarkAfterTab(QWidget* control) {
        control->setGeometry(10, 60, 160, 30);
        control->setFocusPolicy(Qt::StrongFocus);
        ASSERT_TRUE(ShowWithFocusInEdit());
        const QImage before = Grab(control);
        WalkTabs(1);
        ASSERT_TRUE(control->hasFocus());
        const QImage after = Grab(control);
        auto accented = [](const QColor& c) {
            return Near(c, FlatColors().Accent, 24) || Near(c, FlatColors().AccentSoft, 24);
        };
        int marked = 0;
        for (int y = 0; y < after.height(); ++y)
            for (int x = 0; x < after.width(); ++x)
                marked += accented(after.pixelColor(x, y)) && !accented(before.pixelColor(x, y));
        EXPECT_GT(marked, 10);
    }
};

TEST_F(FlatFocusMarks, CheckBoxes) {
    ExpectMarkAfterTab(new QCheckBox(QStringLiteral("Show crop area"), &Host));
}

TEST_F(FlatFocusMarks, ToolButtons) {
    auto* button = new QToolButton(&Host);
    button->setText(QStringLiteral("+"));
    ExpectMarkAfterTab(button);
}

TEST_F(FlatFocusMarks, TabBars) {
    auto* tabs = new QTabBar(&Host);
    tabs->addTab(QStringLiteral("General"));
    tabs->addTab(QStringLiteral("Logo"));
    ExpectMarkAfterTab(tabs);
}

TEST_F(FlatFocusMarks, Sliders) {
    ExpectMarkAfterTab(new QSlider(Qt::Horizontal, &Host));
}

TEST_F(FlatFocusMarks, TrackBars) {
    ExpectMarkAfterTab(new TTrackBar(&Host));
}

TEST_F(FlatFocusMarks, ColourSwatches) {
    ExpectMarkAfterTab(new TColorSwatchControl(&Host));
}

TEST(ThumbStripAccessible, ItemsAreNamedByTheDescriberOrTheirCaptionOrTheirNumber) {
    TThumbStrip strip;
    for (int i = 0; i < 3; ++i)
        strip.AddPhoto(QStringLiteral("/nonexistent/frame%1.bmp").arg(i),
                       i == 2 ? QStringLiteral("Last") : QString());
    auto cell = [&strip](int row) {
        return QAccessible::queryAccessibleInterface(&strip)->tableInterface()->cellAt(row, 0);
    };
    auto name = [&cell](int row) { return cell(row)->text(QAccessible::Name).toStdString(); };
    EXPECT_EQ(name(0), "Frame 1");
    EXPECT_EQ(name(2), "Last");
    EXPECT_EQ(cell(1)->text(QAccessible::Description).toStdString(), "Frame 2 of 3");

    QStringList states = {QStringLiteral("in the clip"), QStringLiteral("deleted"), QString()};
    strip.SetItemDescriber([&states](int index) {
        return states[index].isEmpty()
                   ? QString() // nothing to say: the strip's own name stands
                   : QStringLiteral("00:00:0%1.125, %2").arg(index).arg(states[index]);
    });
    EXPECT_EQ(name(0), "00:00:00.125, in the clip");
    EXPECT_EQ(name(1), "00:00:01.125, deleted");
    EXPECT_EQ(name(2), "Last");
    states[1] = QStringLiteral("in the clip"); // asked again each time
    EXPECT_EQ(name(1), "00:00:01.125, in the clip");
}

} // namespace
