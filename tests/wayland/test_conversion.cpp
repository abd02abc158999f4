// The program's main routine run in this process on the weston desktop, with a clip named as on
// the command line, and driven by the mouse on its real windows: the hint of the information
// button is a pop-up of the main window, Convert makes the GIF with the conversion window tied
// to the main window, and the preview that follows is tied to it too, plays the new GIF and
// shows on the desktop. Closing the main window ends the routine.

#include "app/VGApp.h"
#include "app/main/MainRoutine.h"
#include "common/MsgBox.h"
#include "common/Registry.h"
#include "conversion/PreviewFrm.h"
#include "gifimage/GIFImage.h"
#include "gifimage/GIFView.h"
#include "tests/support/TestUtils.h"
#include "tests/wayland/WaylandTest.h"
#include "widgets/SkinButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr int WaitMs = 20000;
const QString Clip = QStringLiteral(VG_MEDIA_DIR "/bear-theora-320x180.ogv");

QWindow* TransientParentOf(QWidget* widget) {
    return widget && widget->windowHandle() ? widget->windowHandle()->transientParent() : nullptr;
}

// The visible tool-tip windows of the program.
std::vector<QLabel*> ShownTips() {
    std::vector<QLabel*> tips;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* tip = qobject_cast<QLabel*>(window);
            tip && tip->windowType() == Qt::ToolTip && tip->isVisible())
            tips.push_back(tip);
    return tips;
}

// Whether the desktop shows the preview with the GIF in its picture place: the preview is found
// by its button row (which does not animate) pixel for pixel, and the picture place there is
// mostly not the panel's white (which is all it shows while the GIF loads, but a caption).
bool ShowsTheGif(TPreviewForm* preview) {
    const QRect buttons(preview->btnSave->x(), preview->btnSave->y() - 4,
                        preview->btnClose->geometry().right() - preview->btnSave->x(),
                        preview->btnSave->height() + 8);
    const QImage row = preview->grab(buttons).toImage();
    const QImage shot = Desktop()->Screenshot();
    const std::optional<QPoint> at = FindPatch(shot, row);
    if (!at)
        return false;
    const QRect picture =
        QRect(preview->Image1->mapTo(preview, QPoint(0, 0)), preview->Image1->size())
            .translated(*at - buttons.topLeft());
    const QRect drawn = BoundsOfOtherThan(shot, qRgb(255, 255, 255), picture);
    return drawn.width() >= picture.width() * 4 / 5 && drawn.height() >= picture.height() * 4 / 5;
}

// What the journey saw, checked by the test once the routine has ended.
struct TSeen {
    bool MainExposed = false;
    QString Title;
    QString TipText;
    bool TipTiedToMain = false;
    bool TipGone = false;
    bool ConversionTiedToMain = false;
    bool PreviewExposed = false;
    bool PreviewTiedToMain = false;
    int GifFrames = 0;
    QSize GifSize;
    bool PreviewOnDesktop = false;
    bool PreviewClosed = false;
};

// Drives the main window once it shows; all of it runs inside the program's message loop.
class TJourney : public QObject {
public:
    explicit TJourney(TSeen& seen) : FSeen(seen) {}

    void Start(QWidget* main) {
        FMain = main;
        QTimer::singleShot(0, main, [this] { Run(); });
    }

protected:
    // The conversion window and the preview, as they show (both modal, inside Convert's click).
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<QWidget*>(watched);
        if (event->type() != QEvent::Show || !window || !window->isWindow())
            return false;
        if (window->inherits("TPublishForm"))
            FSeen.ConversionTiedToMain = TransientParentOf(window) == FMain->windowHandle();
        if (auto* preview = qobject_cast<TPreviewForm*>(window))
            QTimer::singleShot(0, preview, [this, preview] { LookAtPreview(preview); });
        return false;
    }

private:
    void Run() {
        auto* info = FMain->findChild<QWidget*>(QStringLiteral("btnInfo"));
        auto* convert = FMain->findChild<QAbstractButton*>(QStringLiteral("btnConvert"));
        auto* close = FMain->findChild<QAbstractButton*>(QStringLiteral("btnClose"));
        if (!info || !convert || !close) {
            ADD_FAILURE() << "the main window has no information, Convert or close button";
            FMain->close();
            return;
        }
        FSeen.MainExposed = QTest::qWaitForWindowExposed(FMain, WaitMs);
        FSeen.Title = FMain->windowTitle();
        ShowInformation(info);
        qApp->installEventFilter(this);
        QTest::mouseClick(convert, Qt::LeftButton);
        qApp->removeEventFilter(this);
        QTest::mouseClick(close, Qt::LeftButton);
    }

    // A click on the information button shows its hint; a press on it takes the hint away (the
    // button released off itself, so that it is no click).
    void ShowInformation(QWidget* info) {
        QTest::mouseClick(info, Qt::LeftButton);
        if (!WaitFor([] { return ShownTips().size() == 1; }, WaitMs))
            return;
        QLabel* tip = ShownTips().front();
        FSeen.TipText = tip->text();
        FSeen.TipTiedToMain = QTest::qWaitForWindowExposed(tip, WaitMs) &&
                              TransientParentOf(tip) == FMain->windowHandle();
        QTest::mousePress(info, Qt::LeftButton);
        QTest::mouseRelease(info, Qt::LeftButton, {}, QPoint(-40, -40));
        FSeen.TipGone = WaitFor([] { return ShownTips().empty(); }, WaitMs);
    }

    void LookAtPreview(TPreviewForm* preview) {
        FSeen.PreviewExposed = QTest::qWaitForWindowExposed(preview, WaitMs);
        FSeen.PreviewTiedToMain = TransientParentOf(preview) == FMain->windowHandle();
        if (WaitFor([preview] { return preview->Gif() && preview->Gif()->FrameCount() > 0; },
                    WaitMs)) {
            FSeen.GifFrames = preview->Gif()->FrameCount();
            FSeen.GifSize = preview->GifSize();
        }
        FSeen.PreviewOnDesktop = WaitFor([preview] { return ShowsTheGif(preview); }, WaitMs);
        // Closed without saving: the question it asks is answered by the test's message box.
        QPointer<TPreviewForm> alive(preview);
        QTest::mouseClick(preview->btnClose, Qt::LeftButton);
        FSeen.PreviewClosed = !alive || !alive->isVisible();
    }

    TSeen& FSeen;
    QWidget* FMain = nullptr;
};

struct TRegistryFile {
    explicit TRegistryFile(const QString& fileName, const QByteArray& contents) {
        WriteFile(fileName, contents);
        SetRegistryFileName(fileName);
    }
    ~TRegistryFile() { SetRegistryFileName({}); }
};

} // namespace

TEST(ProgramOnWeston, ConvertsTheClipWithItsWindowsTiedToTheMainWindow) {
    REQUIRE_WESTON_DESKTOP();
    TScopedUserFolders folders;
    TRegistryFile registry(folders.Root() + QLatin1String("registry.ini"),
                           "[SOFTWARE\\Classes\\QOPAVG.ProjFile]\ninsguid={X}\n");
    QStringList questions;
    const TMsgBoxHandler old = SetMsgBoxHandler([&questions](const TMsgBoxRequest& request) {
        questions << request.Text;
        return int(mrOK);
    });
    // Should the journey stop halfway, this ends the routine and the test fails.
    bool rescued = false;
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&rescued] {
        rescued = true;
        QCoreApplication::exit(0);
    });
    rescue.start(50000);

    TSeen seen;
    TJourney journey(seen);
    TRunOptions options;
    options.AppPath = QStringLiteral(VG_PROGRAM_DIR);
    options.Files = {Clip};
    options.WhenShown = [&journey](QWidget* main) { journey.Start(main); };
    EXPECT_EQ(RunApplication(options), 0);
    SetMsgBoxHandler(old);

    EXPECT_FALSE(rescued) << "the journey did not end";
    EXPECT_TRUE(seen.MainExposed);
    EXPECT_EQ(seen.Title, QStringLiteral("bear-theora-320x180.ogv - Qopasoft GIF Clip Maker"));
    EXPECT_EQ(seen.TipText, "More info:\r\nSize: 320 x 180\r\nFPS: 29.97");
    EXPECT_TRUE(seen.TipTiedToMain);
    EXPECT_TRUE(seen.TipGone);
    EXPECT_TRUE(seen.ConversionTiedToMain);
    EXPECT_TRUE(seen.PreviewExposed);
    EXPECT_TRUE(seen.PreviewTiedToMain);
    // A fresh settings file: half the video's size at 8 frames per second over its 1 s.
    EXPECT_EQ(seen.GifSize, QSize(160, 90));
    EXPECT_GE(seen.GifFrames, 7);
    EXPECT_TRUE(seen.PreviewOnDesktop) << "the desktop does not show the preview with the GIF";
    EXPECT_TRUE(seen.PreviewClosed);
    EXPECT_EQ(questions, QStringList{QStringLiteral("Close without saving gif file?")});
}
