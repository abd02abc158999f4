// The borderless windows as Wayland surfaces on a weston desktop, where the desktop places every
// window and no window knows where it is: the hint is a pop-up of the window it belongs to and
// shows at its place in that window wherever weston put the window, a modal dialog is tied to its
// owner, and maximizing is done by the desktop. Checked on weston's own screenshots.

#include "tests/support/TestUtils.h"
#include "tests/wayland/WaylandTest.h"
#include "ui/BaseUIFrm.h"
#include "ui/MHintWindow.h"
#include "widgets/SkinButton.h"

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr int WaitMs = 5000;

// A window of ours in one plain colour, so that it is found on the desktop's screenshots.
class TPlainWindow : public TBaseForm {
public:
    static constexpr QRgb Colour = 0xff40c040;
    TPlainWindow() {
        resize(480, 320);
        QPalette colours = palette();
        colours.setColor(QPalette::Window, QColor::fromRgb(Colour));
        setPalette(colours);
        setAutoFillBackground(true);
    }
};

// A dialog with the maximize and restore buttons, like the crop dialog.
class TMaximizableDialog : public TBaseUIForm {
public:
    TMaximizableDialog() {
        resize(600, 440);
        btnMax->show();
        btnRestore->show();
        btnMax->raise();
        FormCreate();
    }
};

// Shows the window and waits until weston has it on the desktop; its bounds there.
QRect ShowOnDesktop(TPlainWindow& window) {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, WaitMs))
        return {};
    QRect bounds;
    WaitFor(
        [&] {
            bounds = BoundsOf(Desktop()->Screenshot(), TPlainWindow::Colour);
            return bounds.size() == window.size();
        },
        WaitMs);
    return bounds;
}

// Waits until the desktop shows, inside `area`, nothing but `colour` except exactly `expected`
// (nothing at all when it is empty); the bounds it showed last.
QRect WaitForOnly(const QRect& expected, QRgb colour, const QRect& area) {
    QRect shown;
    WaitFor(
        [&] {
            shown = BoundsOfOtherThan(Desktop()->Screenshot(), colour, area);
            return shown == expected;
        },
        WaitMs);
    return shown;
}

QWindow* TransientParentOf(QWidget* widget) {
    return widget && widget->windowHandle() ? widget->windowHandle()->transientParent() : nullptr;
}

} // namespace

TEST(WaylandWindows, TheHintIsAPopupOfItsWindowAndShowsAtItsPlaceInItWhereverTheWindowIs) {
    REQUIRE_WESTON_DESKTOP();
    TPlainWindow owner;
    const QRect onDesktop = ShowOnDesktop(owner);
    ASSERT_EQ(onDesktop.size(), owner.size()) << "the window does not show on the desktop";

    // Without an owner given (as the main window makes it) and with one: the tip belongs to the
    // window and shows where the program put it relative to that window.
    for (const bool ownerGiven : {false, true}) {
        SCOPED_TRACE(ownerGiven ? "owner given" : "owner found");
        auto hint = std::make_unique<TMHint>(ownerGiven ? &owner : nullptr);
        hint->ShowHintAt(owner.mapToGlobal(QPoint(50, 60)), QStringLiteral("00:00:01.000"));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(hint->Window(), WaitMs));
        EXPECT_EQ(TransientParentOf(hint->Window()), owner.windowHandle());
        const QSize size = hint->Window()->size();
        EXPECT_EQ(WaitForOnly(QRect(onDesktop.topLeft() + QPoint(50, 60), size),
                              TPlainWindow::Colour, onDesktop),
                  QRect(onDesktop.topLeft() + QPoint(50, 60), size));

        // Shown again somewhere else while it shows: it moves there.
        hint->ShowHintAt(owner.mapToGlobal(QPoint(300, 200)), QStringLiteral("00:00:02.000"));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(hint->Window(), WaitMs));
        EXPECT_EQ(WaitForOnly(QRect(onDesktop.topLeft() + QPoint(300, 200), size),
                              TPlainWindow::Colour, onDesktop),
                  QRect(onDesktop.topLeft() + QPoint(300, 200), size));

        hint->HideHint();
        EXPECT_EQ(WaitForOnly(QRect(), TPlainWindow::Colour, onDesktop), QRect());
    }
}

TEST(WaylandWindows, TheHintOutlivesItsWindowAndThenBelongsToTheNextOne) {
    REQUIRE_WESTON_DESKTOP();
    TMHint hint;
    {
        TPlainWindow first;
        ASSERT_FALSE(ShowOnDesktop(first).isEmpty());
        hint.ShowHintAt(first.mapToGlobal(QPoint(10, 10)), QStringLiteral("first"));
        EXPECT_EQ(TransientParentOf(hint.Window()), first.windowHandle());
    }
    // The tip went with its window; the next one gets a tip of its own.
    EXPECT_FALSE(hint.IsShowing());
    TPlainWindow second;
    const QRect onDesktop = ShowOnDesktop(second);
    ASSERT_FALSE(onDesktop.isEmpty());
    hint.ShowHintAt(second.mapToGlobal(QPoint(20, 30)), QStringLiteral("second"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(hint.Window(), WaitMs));
    EXPECT_EQ(TransientParentOf(hint.Window()), second.windowHandle());
    EXPECT_EQ(hint.Window()->text(), "second");
    const QRect expected(onDesktop.topLeft() + QPoint(20, 30), hint.Window()->size());
    EXPECT_EQ(WaitForOnly(expected, TPlainWindow::Colour, onDesktop), expected);
}

TEST(WaylandWindows, AModalDialogIsTiedToTheWindowItBelongsToWhileItShows) {
    REQUIRE_WESTON_DESKTOP();
    TPlainWindow owner;
    ASSERT_FALSE(ShowOnDesktop(owner).isEmpty());
    TBaseUIForm dialog, inner;
    QWindow* dialogParent = nullptr;
    QWindow* innerParent = nullptr;
    bool dialogExposed = false, innerExposed = false;
    // A dialog opened from a dialog belongs to that dialog.
    QTimer::singleShot(0, &dialog, [&] {
        dialogExposed = QTest::qWaitForWindowExposed(&dialog, WaitMs);
        dialogParent = TransientParentOf(&dialog);
        QTimer::singleShot(0, &inner, [&] {
            innerExposed = QTest::qWaitForWindowExposed(&inner, WaitMs);
            innerParent = TransientParentOf(&inner);
            QTest::mouseClick(inner.btnCancelMe, Qt::LeftButton);
        });
        EXPECT_EQ(inner.ShowModal(), 2);
        QTest::mouseClick(dialog.btnOkMe, Qt::LeftButton);
    });
    QTimer safety; // a fault fails the test instead of hanging it
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, &dialog, [&] {
        inner.SetModalResult(99);
        dialog.SetModalResult(99);
    });
    safety.start(3 * WaitMs);
    EXPECT_EQ(dialog.ShowModal(), 1);
    EXPECT_TRUE(dialogExposed);
    EXPECT_TRUE(innerExposed);
    EXPECT_EQ(dialogParent, owner.windowHandle());
    EXPECT_EQ(innerParent, dialog.windowHandle());
    // Closed, it belongs to nobody until it shows again.
    EXPECT_EQ(TransientParentOf(&dialog), nullptr);
}

TEST(WaylandWindows, MaximizingIsAskedOfTheDesktopAndRestoringGivesTheSizeBack) {
    REQUIRE_WESTON_DESKTOP();
    TMaximizableDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog, WaitMs));
    const QSize normal = dialog.size();
    const QRect desktop(QPoint(0, 0), Desktop()->Size());

    QTest::mouseClick(dialog.btnMax, Qt::LeftButton);
    EXPECT_TRUE(
        WaitFor([&] { return dialog.isMaximized() && dialog.size() == desktop.size(); }, WaitMs))
        << "the desktop did not maximize the dialog";
    EXPECT_TRUE(dialog.IsWindowMaximized());
    EXPECT_EQ(dialog.FrontMaxButton(), dialog.btnRestore);
    EXPECT_EQ(dialog.HitTest(QPoint(3, 3)), htClient) << "a maximized window is not resizable";
    // The desktop shows the dialog over all of itself: no background at its edges.
    EXPECT_EQ(WaitForOnly(desktop, TWestonDesktop::Background, desktop), desktop);

    QTest::mouseClick(dialog.btnRestore, Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return !dialog.isMaximized() && dialog.size() == normal; }, WaitMs))
        << "the desktop did not restore the dialog";
    EXPECT_FALSE(dialog.IsWindowMaximized());
    EXPECT_EQ(dialog.FrontMaxButton(), dialog.btnMax);
}
