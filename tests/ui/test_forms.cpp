// The window bases offscreen: creation sequence, translated captions, skins, modal results,
// Escape, the title bar, maximizing, edge resizing and the rounded shape.

#include "app/Brand.h"
#include "app/VGApp.h"
#include "localisation/Language.h"
#include "tests/support/TestUtils.h"
#include "tests/widgets/WidgetTestUtils.h"
#include "ui/BaseUIFrm.h"
#include "ui/UIUtils.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Records the creation hooks as they run.
class TProbeForm : public TBaseUIForm {
public:
    QStringList Calls;
    int LeftWidthAtSkin = -1;
    QVariant CharsetAtLanguage;
    void ApplyLanguage() override {
        Calls << QStringLiteral("ApplyLanguage");
        CharsetAtLanguage = btnOkMe->property("FontCharset");
        TBaseUIForm::ApplyLanguage();
    }
    void ApplySkin() override {
        Calls << QStringLiteral("ApplySkin");
        LeftWidthAtSkin = imgLeft->width();
        TBaseUIForm::ApplySkin();
    }
    void AdjustForDpi() override {
        Calls << QStringLiteral("AdjustForDpi");
        TBaseUIForm::AdjustForDpi();
    }
};

// A dialog that can be resized by its edges, like the crop dialog.
class TResizableForm : public TBaseUIForm {
public:
    TResizableForm() {
        resize(655, 484);
        setMinimumSize(570, 430);
        btnMin->show();
        btnMax->show();
        btnRestore->show();
        btnMax->raise();
        FormCreate();
    }
    bool GetBorderInfo(TBorderInfo& info) const override {
        info = TBorderInfo::Standard();
        return true;
    }
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        TBaseForm::SetScreenDpiProvider([] { return 96; });
        TBaseForm::SetLanguageIdOverride(1033);
        TBaseForm::SetTaskbarFactsProvider([] { return TTaskbarFacts{true, 3}; });
        SetDialogOwnerProvider([] { return static_cast<QWidget*>(nullptr); });
    }
    void TearDown() override {
        TBaseForm::SetScreenDpiProvider({});
        TBaseForm::SetLanguageIdOverride(0);
        TBaseForm::SetTaskbarFactsProvider({});
        SetDialogOwnerProvider({});
        delete Language;
        Language = nullptr;
        App = nullptr;
    }

    // Runs `action` once the modal loop is running, and returns the modal result. A safety
    // timer ends the loop if the action does not, so a fault fails instead of hanging.
    int RunModal(TBaseForm& form, std::function<void()> action) {
        QTimer::singleShot(0, &form, [action] { action(); });
        QTimer safety;
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, &form, [&form] { form.SetModalResult(99); });
        safety.start(10000);
        return form.ShowModal();
    }
};

} // namespace

TEST_F(FormTest, CreationSequenceRunsOnceInOrderAndSkipsDpiAt96) {
    TProbeForm form;
    form.FormCreate();
    form.FormCreate();
    EXPECT_EQ(form.Calls, QStringList({"ApplyLanguage", "ApplySkin"}));
    form.show();
    EXPECT_EQ(form.Calls.size(), 2);
}

TEST_F(FormTest, AtAnotherResolutionFramePicturesArePlacedBeforeTheSkinAndFontsBeforeTexts) {
    TBaseForm::SetScreenDpiProvider([] { return 120; });
    TBaseForm::SetLanguageIdOverride(1041);
    TProbeForm form;
    form.imgLeft->setGeometry(0, 0, 20, 400);
    form.lblCaption->move(34, 30);
    form.FormCreate();
    EXPECT_EQ(form.Calls, QStringList({"AdjustForDpi", "ApplyLanguage", "ApplySkin"}));
    EXPECT_EQ(form.LeftWidthAtSkin, form.imgLeft->Picture().width());
    EXPECT_EQ(form.CharsetAtLanguage.toInt(), 128);
    EXPECT_EQ(form.lblCaption->y(), 7);
    EXPECT_EQ(form.imgIco->pos(), QPoint(10, 7));
    EXPECT_EQ(form.btnCloseMe->y(), 8);
}

TEST_F(FormTest, OkAndCancelCaptionsComeFromTheLanguageFileAsReturned) {
    {
        TBaseUIForm form;
        form.FormCreate();
        EXPECT_EQ(form.btnOkMe->text(), "OK");
        EXPECT_EQ(form.btnCancelMe->text(), "Cancel");
    }
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("Languages")));
    ASSERT_TRUE(WriteFile(dir.filePath(QStringLiteral("Languages/German.xml")),
                          "<L Id=\"1031\"><CUI_TBaseUI3Form_btnOkMe>Gut</CUI_TBaseUI3Form_btnOkMe>"
                          "<CUI_TBaseUI3Form_btnCancelMe/></L>"));
    Language = new TLanguage(dir.path() + QLatin1Char('/'));
    ASSERT_TRUE(Language->LoadLanguage(QStringLiteral("German")));
    TBaseUIForm form;
    form.FormCreate();
    EXPECT_EQ(form.btnOkMe->text(), "Gut");
    EXPECT_EQ(form.btnCancelMe->text(), "") << "an empty translation is used as it is";

    // A language object whose load failed leaves the built-in captions.
    delete Language;
    Language = new TLanguage(dir.path() + QLatin1Char('/'));
    Language->LoadFailed = true;
    TBaseUIForm failed;
    failed.FormCreate();
    EXPECT_EQ(failed.btnOkMe->text(), "OK");
}

TEST_F(FormTest, BrandSkinReplacesTheBuiltInFramePictures) {
    TApp app(QStringLiteral(VG_PROGRAM_DIR));
    App = &app;
    const QString skin = app.GetSkinPath();
    TBaseUIForm builtIn;
    const QImage builtInTop = builtIn.imgTop->Picture();
    TBaseUIForm form;
    form.FormCreate();
    const QImage top = form.imgTop->Picture();
    if (CurrentBrand().OwnSkins) {
        const QImage file(skin + QLatin1String("TBaseUIForm.imgTop.jpg"));
        ASSERT_FALSE(file.isNull()) << "the build draws the brand's skin into " << qPrintable(skin);
        EXPECT_EQ(top.size(), file.size());
        EXPECT_EQ(top.pixel(10, 20), file.pixel(10, 20));
        EXPECT_NE(top.pixel(10, 20), builtInTop.pixel(10, 20));
        const QImage hot(skin + QLatin1String("TBaseUIForm.btnCloseMe.hot.bmp"));
        EXPECT_EQ(form.btnCloseMe->Picture(TSkinState::Hot).pixel(8, 8), hot.pixel(8, 8));
    } else {
        EXPECT_EQ(top.pixel(10, 20), builtInTop.pixel(10, 20));
    }
}

TEST_F(FormTest, OkCancelCloseAndEscapeEndTheModalDialog) {
    TBaseUIForm form;
    EXPECT_EQ(RunModal(form, [&] { QTest::mouseClick(form.btnOkMe, Qt::LeftButton); }), 1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(RunModal(form, [&] { QTest::mouseClick(form.btnCancelMe, Qt::LeftButton); }), 2);
    EXPECT_EQ(RunModal(form, [&] { QTest::mouseClick(form.btnCloseMe, Qt::LeftButton); }), 2);
    EXPECT_EQ(RunModal(form, [&] { QTest::keyClick(&form, Qt::Key_Escape); }), 2);

    // Escape reaches the window before the focused control does.
    auto* edit = new QLineEdit(&form);
    edit->setGeometry(20, 50, 100, 22);
    EXPECT_EQ(RunModal(form,
                       [&] {
                           edit->setFocus();
                           QTest::keyClick(edit, Qt::Key_Escape);
                       }),
              2);
}

TEST_F(FormTest, EscapeWithAModifierDoesNotClose) {
    TBaseUIForm form;
    form.show();
    QTest::keyClick(&form, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_TRUE(form.isVisible());
    QTest::keyClick(&form, Qt::Key_Escape, Qt::ShiftModifier);
    QTest::keyClick(&form, Qt::Key_Escape, Qt::AltModifier);
    EXPECT_TRUE(form.isVisible());
    QTest::keyClick(&form, Qt::Key_Return);
    EXPECT_TRUE(form.isVisible()) << "Enter has no handling of its own";
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(FormTest, DoubleClickOnTheTitleBarTogglesMaximizeOnlyWithTheMaximizeButton) {
    TBaseUIForm plain;
    plain.show();
    DoubleClick(plain.imgTop, QPoint(200, 10));
    EXPECT_FALSE(plain.IsWindowMaximized());

    TResizableForm form;
    form.show();
    const QRect normal = form.geometry();
    EXPECT_EQ(form.FrontMaxButton(), form.btnMax);
    DoubleClick(form.lblCaption, QPoint(2, 2));
    EXPECT_TRUE(form.IsWindowMaximized());
    EXPECT_EQ(form.FrontMaxButton(), form.btnRestore);
    EXPECT_EQ(form.geometry(), form.GetMaximizeArea());
    // The self-hiding task bar at the bottom: one pixel above the screen's bottom edge.
    const QRect screen = form.screen()->availableGeometry();
    EXPECT_EQ(form.geometry().bottom() + 1, screen.bottom() + 1 - 1);
    EXPECT_EQ(form.HitTest(QPoint(3, 3)), htClient) << "a maximized window is not resizable";

    // A maximized window does not move by its title bar.
    Press(form.imgTop, QPoint(200, 10));
    MoveHeld(form.imgTop, QPoint(201, 11));
    MoveHeld(form.imgTop, QPoint(260, 60));
    Release(form.imgTop, QPoint(260, 60));
    EXPECT_EQ(form.geometry(), form.GetMaximizeArea());

    DoubleClick(form.imgTop, QPoint(200, 10));
    EXPECT_FALSE(form.IsWindowMaximized());
    EXPECT_EQ(form.geometry(), normal);
    EXPECT_EQ(form.FrontMaxButton(), form.btnMax);
    EXPECT_EQ(form.HitTest(QPoint(3, 3)), htTopLeft);
}

TEST_F(FormTest, MaximizeAndRestoreButtonsSwapPlaces) {
    TResizableForm form;
    form.show();
    QTest::mouseClick(form.btnMax, Qt::LeftButton);
    EXPECT_TRUE(form.IsWindowMaximized());
    EXPECT_EQ(form.FrontMaxButton(), form.btnRestore);
    EXPECT_EQ(form.childAt(form.btnRestore->geometry().center()), form.btnRestore);
    QTest::mouseClick(form.btnRestore, Qt::LeftButton);
    EXPECT_FALSE(form.IsWindowMaximized());
    EXPECT_EQ(form.childAt(form.btnMax->geometry().center()), form.btnMax);
}

TEST_F(FormTest, MinimizeSendsTheWholeProgramAway) {
    TBaseForm mainWindow;
    mainWindow.resize(820, 600);
    mainWindow.show();
    TResizableForm dialog;
    dialog.show();
    QTest::mouseClick(dialog.btnMin, Qt::LeftButton);
    EXPECT_TRUE(dialog.isMinimized());
    EXPECT_TRUE(mainWindow.isMinimized());
}

TEST_F(FormTest, EdgesResizeOnlyResizableNormalWindowsAndShowSizeCursors) {
    TBaseUIForm fixed;
    fixed.show();
    EXPECT_EQ(fixed.HitTest(QPoint(3, 3)), htClient);
    EXPECT_EQ(fixed.HitTest(QPoint(498, 200)), htClient);

    TResizableForm form;
    form.move(300, 200);
    form.show();
    EXPECT_EQ(form.HitTest(QPoint(3, 3)), htTopLeft);
    const QRect before = form.geometry();

    // Over the right edge the cursor says so; inside it does not.
    SendMouse(&form, QEvent::MouseMove, QPoint(651, 200), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form.cursor().shape(), Qt::SizeHorCursor);
    SendMouse(form.imgBottomRight, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form.cursor().shape(), Qt::SizeFDiagCursor);
    SendMouse(&form, QEvent::MouseMove, QPoint(300, 200), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);

    // Dragging the top-left corner (it lies on a title bar picture, and resizing wins).
    Press(form.imgTopLeft, QPoint(3, 3));
    MoveHeld(form.imgTopLeft, QPoint(-17, -27));
    Release(form.imgTopLeft, QPoint(-17, -27));
    EXPECT_EQ(form.geometry(), before.adjusted(-20, -30, 0, 0));

    // Not below the minimum size.
    const QPoint rightEdge(form.width() - 3, 300);
    EXPECT_EQ(form.HitTest(rightEdge), htRight);
    Press(&form, rightEdge);
    MoveHeld(&form, QPoint(-600, 300));
    Release(&form, QPoint(-600, 300));
    EXPECT_EQ(form.width(), 570);
    EXPECT_EQ(form.x(), before.x() - 20);
}

TEST_F(FormTest, DraggingTheTitleBarMovesTheWindow) {
    TBaseUIForm form;
    form.move(200, 150);
    form.SetCaption(QStringLiteral("Crop Video"));
    form.show();
    const QPoint start = form.pos();
    Press(form.lblCaption, QPoint(5, 5));
    MoveHeld(form.lblCaption, QPoint(6, 6));
    MoveHeld(form.lblCaption, QPoint(46, 31));
    Release(form.lblCaption, QPoint(46, 31));
    EXPECT_EQ(form.pos(), start + QPoint(40, 25));

    // A press on the client area moves nothing.
    Press(&form, QPoint(200, 200));
    MoveHeld(&form, QPoint(260, 260));
    Release(&form, QPoint(260, 260));
    EXPECT_EQ(form.pos(), start + QPoint(40, 25));
}

TEST_F(FormTest, DialogIsCentredOverTheMainWindowAndClippedToRoundedCorners) {
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 820, 600);
    SetDialogOwnerProvider([&mainWindow] { return &mainWindow; });
    TBaseUIForm form;
    form.SetCaption(QStringLiteral("About"));
    EXPECT_EQ(form.windowTitle(), "About");
    EXPECT_EQ(form.lblCaption->text(), "About");
    EXPECT_EQ(form.minimumSize(), QSize(164, 333));
    form.show();
    EXPECT_EQ(form.pos(), QPoint(260, 200));

    form.resize(426, 360);
    EXPECT_FALSE(form.mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(form.mask().contains(QPoint(425, 359)));
    EXPECT_TRUE(form.mask().contains(QPoint(425, 180)));
    // Anchored parts follow the size.
    EXPECT_EQ(form.btnCloseMe->geometry(), QRect(426 - 31, 8, 17, 17));
    EXPECT_EQ(form.imgTop->width(), 426);
    EXPECT_EQ(form.btnCancelMe->geometry().bottomRight(), QPoint(426 - 19, 360 - 19));
}

TEST_F(FormTest, WithoutAMainWindowTheDialogIsCentredInTheWorkArea) {
    TBaseUIForm form;
    form.show();
    const QRect area = form.GetMaximizeArea();
    EXPECT_EQ(form.pos(), CenteredPosition(area, form.size()));
}
