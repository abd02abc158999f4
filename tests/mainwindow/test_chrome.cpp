// The main window's frame and commands: resize margins, maximizing onto the work area, the title
// bar, the help menu of the brand, the information hint, and Crop while playing.

#include "MainWindowTest.h"
#include "app/Brand.h"
#include "mainwindow/MainChrome.h"
#include "tests/support/DesktopRecorder.h"
#include "ui/MHintWindow.h"
#include "widgets/SkinButton.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTimer>

namespace {

bool InFront(QWidget* a, QWidget* b) {
    const auto siblings = a->parent()->children();
    return siblings.indexOf(a) > siblings.indexOf(b);
}

TEST_F(MainWindow, ResizeMarginsMaximizeAndTheTitleBar) {
    Form->resize(820, 570);
    EXPECT_EQ(Form->HitTest(QPoint(7, 300)), htLeft);
    EXPECT_EQ(Form->HitTest(QPoint(8, 300)), htClient);
    EXPECT_EQ(Form->HitTest(QPoint(812, 300)), htRight);
    EXPECT_EQ(Form->HitTest(QPoint(400, 3)), htTop);
    EXPECT_EQ(Form->HitTest(QPoint(400, 4)), htClient);
    EXPECT_EQ(Form->HitTest(QPoint(400, 562)), htBottom);
    EXPECT_EQ(Form->HitTest(QPoint(11, 11)), htTopLeft);
    EXPECT_EQ(Form->HitTest(QPoint(808, 558)), htBottomRight);

    QTest::mouseClick(Form->btnMax, Qt::LeftButton);
    EXPECT_TRUE(Form->IsWindowMaximized());
    EXPECT_EQ(Form->geometry(), Form->GetMaximizeArea());
    // Exactly the work area: not a pixel past its right or bottom edge.
    EXPECT_EQ(Form->frameGeometry(), Form->screen()->availableGeometry());
    EXPECT_TRUE(InFront(Form->btnRestore, Form->btnMax));
    EXPECT_EQ(Form->HitTest(QPoint(3, 300)), htClient); // no resizing edges while maximized
    // The layout follows: the tool box stays centred, the track bar keeps its rule.
    EXPECT_EQ(Form->gbTool->x(), 5 + (Form->width() - 5 - 6 - 686 - 1) / 2);
    EXPECT_EQ(Form->TrackBar->maximum(), Form->TrackBar->width() - 20);
    Form->imgTopDblClick();
    EXPECT_FALSE(Form->IsWindowMaximized());
    EXPECT_TRUE(InFront(Form->btnMax, Form->btnRestore));
    EXPECT_EQ(Form->size(), QSize(820, 570));
}

TEST_F(MainWindow, HelpMenuOfTheBrandOpensItsPages) {
    TDesktopRecorder desktop;
    const QStringList& opened = desktop.Opened;
    const TBrandProfile& brand = CurrentBrand();
    EXPECT_EQ(Form->pmiHelp->text(), brand.DefaultBrand ? "Homepage" : "Help Content");
    EXPECT_EQ(Form->pmiSupport->isVisible(), !brand.DefaultBrand);
    EXPECT_EQ(Form->pmiRelated->isVisible(), brand.DefaultBrand && !brand.SkipInstallChecks);
    EXPECT_FALSE(Form->Option1->isVisible());
    EXPECT_TRUE(Form->About1->isVisible());
    Form->pmiHelp->trigger();
    Form->pmiSupport->trigger();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], TApp::GetGuideUrl());
    EXPECT_EQ(opened[1], TApp::GetSupportUrl());
    // The menu opens under the Help button.
    QTimer::singleShot(0, Form->pmHelp, [&] {
        // (moved left only as far as the screen's edge needs)
        const QPoint corner = Form->btnHelp->mapToGlobal(QPoint(0, Form->btnHelp->height()));
        EXPECT_EQ(Form->pmHelp->y(), corner.y());
        EXPECT_TRUE(Form->pmHelp->x() == corner.x() ||
                    Form->pmHelp->geometry().right() == Form->screen()->geometry().right());
        Form->pmHelp->close();
    });
    QTest::mouseClick(Form->btnHelp, Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return !Form->pmHelp->isVisible(); }, 5000));
}

TEST_F(MainWindow, InformationHintNamesSizeAndRate) {
    Form->btnInfoEnter();
    EXPECT_FALSE(Form->Hint()->IsShowing()); // only with a video
    Open(FixturePath(LongClip));
    Form->btnInfoEnter();
    ASSERT_TRUE(Form->Hint()->IsShowing());
    EXPECT_EQ(Form->Hint()->Window()->text(), "More info:\r\nSize: 320 x 240\r\nFPS: 25");
    const QPoint corner = Form->btnInfo->mapToGlobal(QPoint(Form->btnInfo->width(), 0));
    const QRect hint = Form->Hint()->Window()->geometry();
    const int screenRight = Form->screen()->geometry().right() + 1;
    if (corner.x() + hint.width() > screenRight)
        EXPECT_EQ(hint.x(), corner.x() - Form->btnInfo->width() - hint.width());
    else
        EXPECT_EQ(hint.topLeft(), corner);
    Form->btnInfoMouseDown();
    EXPECT_FALSE(Form->Hint()->IsShowing());
    // Near the right edge of the screen it flips to the left of the button.
    Form->move(Form->screen()->geometry().right() - Form->width() + 1, 50);
    Form->btnInfoEnter();
    const QPoint moved = Form->btnInfo->mapToGlobal(QPoint(Form->btnInfo->width(), 0));
    EXPECT_EQ(Form->Hint()->Window()->x(),
              moved.x() - Form->btnInfo->width() - Form->Hint()->Window()->width());
    Form->btnInfoExit();
}

TEST_F(MainWindow, CropWhilePlayingPausesOnOneFrameAndOpensTheDialog) {
    Open(FixturePath(LongClip));
    QTest::mouseClick(Form->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Form->CurPTS() > 200000; }, 10000));
    QString dialogClass;
    QTimer::singleShot(0, Form.get(), [&] {
        // The crop dialog is modal: answer it with Cancel.
        WaitFor([&] { return QApplication::activeModalWidget() != nullptr; }, 5000);
        if (auto* dialog = qobject_cast<TBaseForm*>(QApplication::activeModalWidget())) {
            dialogClass = QString::fromLatin1(dialog->metaObject()->className());
            dialog->SetModalResult(2);
        }
    });
    QTest::mouseClick(Form->btnCrop, Qt::LeftButton);
    EXPECT_EQ(dialogClass, "TCropForm");
    EXPECT_FALSE(Form->IsPlaying());
    ASSERT_EQ(Form->ShotView->Count(), 1);
    EXPECT_EQ(Form->StripFirstPTS(), Form->CurPTS());
    EXPECT_FALSE(Form->Project()->CropEnabled); // Cancel changed nothing
}

} // namespace
