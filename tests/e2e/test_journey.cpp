// The program as a user meets it: started on a virtual display of its own, driven with the mouse
// and the keyboard, checked by what the screen shows and by the GIF it saves. One journey through
// a test video whose every frame shows its own index (so the screen tells which frame is shown):
// open it through the open dialog, scrub while paused and while playing, step frames with the
// buttons and the keys, add a caption, convert, save the GIF through the save dialog, open another
// video by starting the program again with it, and close the program.

#include "FixtureList.h"
#include "FramePattern.h"
#include "app/Brand.h"
#include "tests/e2e/Desktop.h"
#include "tests/e2e/ScreenReading.h"
#include "tests/support/GifDecode.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <sys/prctl.h>
#include <vector>

namespace {

// Where a user finds the controls: their design bounds relative to the window's top-left corner
// (the windows are borderless, so that is their client area too).
namespace mainwin {
const QRect Player(10, 64, 798, 265); // the player and the still view, in the same place
const QRect TrackBar(8, 336, 714, 16);
const QPoint ToolBox(64, 488); // the tool group; the buttons below lie inside it
const QRect OpenButton(16, 17, 82, 50);
const QRect PlayButton(104, 17, 82, 50); // Pause takes its place while playing
const QRect SettingButton(440, 17, 82, 50);
const QRect ConvertButton(528, 17, 82, 50);
const QRect PriorFrameButton(628, 17, 20, 50);
const QRect NextFrameButton(651, 17, 20, 50);
const QRect CloseButton(789, 8, 17, 17);
constexpr int ThumbWidth = 14; // the track bar's thumb
} // namespace mainwin

namespace settings {
const QRect OkButton(334, 324, 71, 23);
// The page control's second tab ("Add Text") and the top-left corner of its pages, as they show
// under the program's style.
const QPoint TextTab(115, 53);
const QPoint Page(14, 64);
// On the "Add Text" page.
const QRect TextMemo(128, 26, 338, 160);
const QRect TextX(372, 196, 38, 22);
const QRect TextY(428, 196, 38, 22);
} // namespace settings

namespace preview {
const QSize Design(624, 447);
const QRect GifPanel(22, 48, 579, 336); // grows with the window
const QRect SaveButton(22, 403, 89, 23);
const QRect CloseButton(530, 403, 71, 23);
} // namespace preview

// What a fresh settings file gives a new project: half the video's size at 8 frames per second,
// captions in white.
constexpr int OutputDivisor = 2;
constexpr int OutputFps = 8;

// The caption the journey adds, in video pixels: across the boundary between the first and the
// second row of the picture's index blocks, where it leaves the blocks' middles (which carry the
// index) alone.
const QString CaptionText = QStringLiteral("E2E caption");
const QRect Caption(60, 42, 180, 36);

// The test video: 150 frames at 25 fps (6 s), 320 x 240.
const fixture::TFixture& Clip() {
    return fixture::Fixtures()[0];
}

QString Join(const std::vector<int>& values) {
    QStringList texts;
    for (int value : values)
        texts << QString::number(value);
    return texts.join(QStringLiteral(", "));
}

class ProgramJourney : public ::testing::Test {
protected:
    void SetUp() override {
        FWork = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                QStringLiteral("/gifclipmaker-e2e-XXXXXX"));
        ASSERT_TRUE(FWork->isValid());
        FShots = std::make_unique<TShotLog>(FWork->path());
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            << "xdotool, the test's mouse and keyboard, is not installed (scripts/install-deps)";
        FTimer.start();
        ASSERT_NO_FATAL_FAILURE(StartProgram());
    }

    void TearDown() override {
        if (HasFailure())
            FShots->Save(FDesktop.Grab(), QStringLiteral("99-at-failure"));
        if (FProgram.state() != QProcess::NotRunning) {
            FProgram.terminate();
            if (!FProgram.waitForFinished(5000)) {
                FProgram.kill();
                FProgram.waitForFinished(5000);
            }
        }
        const bool keep = HasFailure() || qEnvironmentVariableIsSet("VG_E2E_KEEP");
        FWork->setAutoRemove(!keep);
        if (HasFailure())
            std::cout << "The program's output:\n"
                      << ReadAll(FWork->filePath(QStringLiteral("program.log"))).toStdString();
        std::cout << (keep ? "Screenshots and files kept in "
                           : "Removed (VG_E2E_KEEP=1 keeps it): ")
                  << FWork->path().toStdString() << std::endl;
        std::cout << "The journey took " << FTimer.elapsed() << " ms" << std::endl;
    }

    static QString ReadAll(const QString& fileName) {
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QString Folder(const char* name) const { return FWork->filePath(QString::fromLatin1(name)); }

    // The staged program with fresh per-user folders (settings, log, work folder, the file
    // dialogs' memory) inside the test's temporary folder.
    void StartProgram() {
        for (const char* name : {"home", "data", "config", "cache", "runtime"})
            ASSERT_TRUE(QDir().mkpath(Folder(name)));
        QFile::setPermissions(Folder("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), Folder("home"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), Folder("data"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Folder("config"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), Folder("cache"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), Folder("runtime"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // Qt's own dialogs and style at their own size, whatever the desktop asked for.
        for (const char* name : {"QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "QT_SCALE_FACTOR",
                                 "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI"})
            environment.remove(QString::fromLatin1(name));
        FProgram.setProcessEnvironment(environment);
        // The program ends with the test, even when the test is killed at its time limit.
        FProgram.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        FProgram.setProcessChannelMode(QProcess::MergedChannels);
        FProgram.setStandardOutputFile(Folder("program.log"));
        FProgram.start(QStringLiteral(VG_PROGRAM_DIR "/gifclipmaker"), {});
        ASSERT_TRUE(FProgram.waitForStarted(10000)) << FProgram.errorString().toStdString();

        const std::optional<QRect> window =
            FDesktop.WaitForWindow(QString::fromLatin1(ProductName), 30000);
        ASSERT_TRUE(window) << "the main window did not appear";
        EXPECT_EQ(window->size(), QSize(820, 570));
        FMain = window->topLeft();
    }

    // Runs one step of the journey and reports how long it took.
    void Step(const char* name, const std::function<void()>& step) {
        SCOPED_TRACE(name);
        QElapsedTimer timer;
        timer.start();
        step();
        std::cout << "Step \"" << name << "\": " << timer.elapsed() << " ms" << std::endl;
    }

    // Screen places.
    QPoint MainAt(const QRect& control) const { return FMain + control.center(); }
    QPoint ToolAt(const QRect& button) const { return FMain + mainwin::ToolBox + button.center(); }
    QRect OnMain(const QRect& bounds) const { return bounds.translated(FMain); }
    // The player shows a video smaller than its panel at its own size, centred.
    QRect VideoArea(const fixture::TFixture& clip = Clip()) const {
        const QRect panel = OnMain(mainwin::Player);
        return QRect(panel.x() + (panel.width() - clip.Width) / 2,
                     panel.y() + (panel.height() - clip.Height) / 2, clip.Width, clip.Height);
    }
    QRect CaptionArea() const { return Caption.translated(VideoArea().topLeft()); }
    int TrackY() const { return OnMain(mainwin::TrackBar).center().y(); }
    // The screen x of the thumb's centre at a fraction of the track, and back to the frame the
    // video shows at the time under the thumb there.
    int ThumbX(double fraction) const {
        const QRect track = OnMain(mainwin::TrackBar);
        return track.x() + mainwin::ThumbWidth / 2 +
               int(std::lround(fraction * (track.width() - mainwin::ThumbWidth)));
    }
    int FrameAtThumb(int x) const {
        const QRect track = OnMain(mainwin::TrackBar);
        const double fraction =
            double(x - track.x() - mainwin::ThumbWidth / 2) / (track.width() - mainwin::ThumbWidth);
        const int frame = int(std::floor(std::clamp(fraction, 0.0, 1.0) * Clip().Frames));
        return std::min(frame, Clip().Frames - 1);
    }

    TShownView View(const QImage& shot) const { return ShownView(shot, OnMain(mainwin::Player)); }
    int Frame(const QImage& shot) const { return ShownFrameIndex(shot, VideoArea()); }
    std::string Describe(const QImage& shot) const {
        return std::string("; the panel shows ") + ViewName(View(shot)) + ", frame " +
               std::to_string(Frame(shot));
    }
    bool StillShows(const QImage& shot, int frame) const {
        return View(shot) == TShownView::Still && Frame(shot) == frame;
    }

    // The steps.
    void OpenClip();
    void ScrubWhilePaused();
    void ScrubWhilePlaying();
    void PauseAndStepFrames();
    void StepWithTheKeyboard();
    void SetCaption();
    void ConvertAndSave();
    void OpenWithASecondStart();
    void CloseProgram();

    // Parts of the steps.
    void ScrubTo(double fraction, const QString& shotName);
    void ExpectHeld(int frame);
    void WaitForPlaybackFrom(int frame);
    void TypeInto(const QPoint& field, const QString& text);
    QRect PreviewGifArea(const QImage& shot, const QRect& window) const;
    void CheckSavedGif(const QString& fileName);

    std::unique_ptr<QTemporaryDir> FWork;
    std::unique_ptr<TShotLog> FShots;
    QElapsedTimer FTimer;
    QProcess FProgram;
    TDesktop FDesktop;
    QPoint FMain;
    int FLastPlayed = -1; // the last frame seen playing
    int FStill = -1;      // the frame the still view shows after stepping
};

void ProgramJourney::OpenClip() {
    QImage shot = FDesktop.Grab();
    EXPECT_EQ(View(shot), TShownView::Neither) << "the start screen is not shown";
    FShots->Save(shot, QStringLiteral("00-started"));
    FDesktop.Click(ToolAt(mainwin::OpenButton));
    ASSERT_TRUE(FDesktop.WaitForWindow(QStringLiteral("^Open( |$)"), 10000))
        << "no open dialog after Open";
    // Qt's file dialog opens with the file name field focused and the offered name selected.
    const QString clip = QStringLiteral(VG_FIXTURE_DIR "/") + QString::fromUtf8(Clip().FileName);
    FDesktop.Keys(QStringLiteral("ctrl+a"));
    FDesktop.Type(clip);
    FDesktop.Keys(QStringLiteral("Return"));
    ASSERT_TRUE(FDesktop.WaitForWindowGone(QStringLiteral("^Open( |$)"), 10000))
        << "the open dialog did not take " << clip.toStdString();
    // Once the strip is filled, the still view shows the first frame.
    ASSERT_TRUE(
        FDesktop.WaitForScreen([&](const QImage& s) { return StillShows(s, 0); }, 30000, &shot))
        << "the first frame is not shown after opening" << Describe(shot);
    FShots->Save(shot, QStringLiteral("01-opened"));
    const std::optional<int> thumb = ThumbCentre(shot, OnMain(mainwin::TrackBar));
    ASSERT_TRUE(thumb) << "no track bar thumb";
    EXPECT_NEAR(*thumb, ThumbX(0), 2) << "a new video starts with the thumb at the left end";
}

// Presses on the thumb where the screen shows it, drags it to `fraction` of the track and holds
// it there: the player must show the frame under the thumb and stay on it. Then releases it:
// playback must go on from there.
void ProgramJourney::ScrubTo(double fraction, const QString& shotName) {
    QImage shot = FDesktop.Grab();
    const std::optional<int> thumb = ThumbCentre(shot, OnMain(mainwin::TrackBar));
    ASSERT_TRUE(thumb) << "no track bar thumb";
    FDesktop.Press(QPoint(*thumb, TrackY()));
    FDesktop.DragTo(QPoint(ThumbX(fraction), TrackY()), 12);
    const int expected = FrameAtThumb(ThumbX(fraction));
    int held = -1;
    const bool shown = FDesktop.WaitForScreen(
        [&](const QImage& s) {
            held = Frame(s);
            return View(s) == TShownView::Player && held >= 0 && std::abs(held - expected) <= 2;
        },
        10000, &shot);
    FShots->Save(shot, shotName);
    if (shown)
        ExpectHeld(held);
    FDesktop.Release();
    ASSERT_TRUE(shown) << "with the thumb held at " << fraction * 100 << " % of the track the "
                       << "player does not show frame " << expected << " (+-2)" << Describe(shot);
    ASSERT_NO_FATAL_FAILURE(WaitForPlaybackFrom(held));
}

// While the thumb is held still, the picture stays on the frame under it: nothing plays.
void ProgramJourney::ExpectHeld(int frame) {
    int moved = -1;
    const bool changed = WaitUntil(
        [&] {
            const int now = Frame(FDesktop.Grab());
            moved = now;
            return now >= 0 && now != frame;
        },
        600);
    EXPECT_FALSE(changed) << "the thumb is held, yet the picture went from frame " << frame
                          << " to " << moved;
}

void ProgramJourney::WaitForPlaybackFrom(int frame) {
    std::vector<int> seen;
    QImage shot;
    const bool advanced = FDesktop.WaitForScreen(
        [&](const QImage& s) {
            const int now = Frame(s);
            if (now >= 0 && (seen.empty() || seen.back() != now))
                seen.push_back(now);
            return View(s) == TShownView::Player && now >= frame + 4;
        },
        10000, &shot);
    ASSERT_TRUE(advanced) << "after the release the video does not play on from frame " << frame
                          << "; frames seen: " << Join(seen).toStdString() << Describe(shot);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()))
        << "frames seen playing: " << Join(seen).toStdString();
    EXPECT_GE(*std::min_element(seen.begin(), seen.end()), frame - 2)
        << "playback did not start at the thumb (frame " << frame
        << "); frames seen: " << Join(seen).toStdString();
    FLastPlayed = seen.back();
}

void ProgramJourney::ScrubWhilePaused() {
    const QImage shot = FDesktop.Grab();
    ASSERT_EQ(View(shot), TShownView::Still) << "not paused" << Describe(shot);
    ScrubTo(0.5, QStringLiteral("02-scrub-paused"));
}

void ProgramJourney::ScrubWhilePlaying() {
    const QImage shot = FDesktop.Grab();
    ASSERT_EQ(View(shot), TShownView::Player) << "not playing" << Describe(shot);
    const std::optional<int> thumb = ThumbCentre(shot, OnMain(mainwin::TrackBar));
    ASSERT_TRUE(thumb) << "no track bar thumb";
    EXPECT_NEAR(FrameAtThumb(*thumb), Frame(shot), 6) << "the thumb does not follow the playback";
    ScrubTo(0.25, QStringLiteral("03-scrub-playing"));
}

void ProgramJourney::PauseAndStepFrames() {
    // Pause sits where Play was; the still view then shows where playback stopped.
    FDesktop.Click(ToolAt(mainwin::PlayButton));
    QImage shot;
    int stopped = -1;
    ASSERT_TRUE(FDesktop.WaitForScreen(
        [&](const QImage& s) {
            stopped = Frame(s);
            return View(s) == TShownView::Still && stopped >= FLastPlayed;
        },
        15000, &shot))
        << "after Pause the still view does not show where playback stopped (frame " << FLastPlayed
        << " or later)" << Describe(shot);

    const std::pair<QRect, int> clicks[] = {{mainwin::NextFrameButton, 1},
                                            {mainwin::NextFrameButton, 1},
                                            {mainwin::PriorFrameButton, -1}};
    int expected = stopped;
    for (const auto& [button, step] : clicks) {
        expected += step;
        FDesktop.Click(ToolAt(button));
        ASSERT_TRUE(FDesktop.WaitForScreen([&](const QImage& s) { return StillShows(s, expected); },
                                           5000, &shot))
            << "after a frame button the still view does not show frame " << expected
            << Describe(shot);
        const std::optional<int> thumb = ThumbCentre(shot, OnMain(mainwin::TrackBar));
        ASSERT_TRUE(thumb) << "no track bar thumb";
        EXPECT_NEAR(FrameAtThumb(*thumb), expected, 2)
            << "the thumb does not stand at the frame shown";
    }
    FShots->Save(shot, QStringLiteral("04-stepped"));
    FStill = expected;
}

// The same steps from the keyboard: Right and Left step one frame, Space plays and pauses; Tab
// walks the controls with a visible focus mark.
void ProgramJourney::StepWithTheKeyboard() {
    QImage shot;
    const std::pair<const char*, int> keys[] = {{"Right", 1}, {"Right", 1}, {"Left", -1}};
    int expected = FStill;
    for (const auto& [key, step] : keys) {
        expected += step;
        FDesktop.Keys(QString::fromLatin1(key));
        ASSERT_TRUE(FDesktop.WaitForScreen([&](const QImage& s) { return StillShows(s, expected); },
                                           5000, &shot))
            << "after the key " << key << " the still view does not show frame " << expected
            << Describe(shot);
    }
    FDesktop.Keys(QStringLiteral("space"));
    ASSERT_TRUE(FDesktop.WaitForScreen(
        [&](const QImage& s) { return View(s) == TShownView::Player && Frame(s) > expected; },
        10000, &shot))
        << "Space did not play" << Describe(shot);
    // Paused, the still view settles on where playback stopped (the strip around it may still be
    // filling and move it by a frame): the same frame on every screenshot for a second.
    FDesktop.Keys(QStringLiteral("space"));
    int seen = -1;
    QElapsedTimer seenFor;
    ASSERT_TRUE(FDesktop.WaitForScreen(
        [&](const QImage& s) {
            const int frame = View(s) == TShownView::Still ? Frame(s) : -1;
            if (frame < 0 || frame != seen) {
                seen = frame;
                seenFor.start();
                return false;
            }
            return seenFor.elapsed() >= 1000;
        },
        15000, &shot))
        << "Space did not pause" << Describe(shot);
    FStill = seen;
    FDesktop.Keys(QStringLiteral("Tab"));
    FShots->Save(FDesktop.Grab(), QStringLiteral("04b-keyboard-focus"));
}

void ProgramJourney::TypeInto(const QPoint& field, const QString& text) {
    FDesktop.Click(field);
    FDesktop.Keys(QStringLiteral("ctrl+a"));
    FDesktop.Type(text);
}

void ProgramJourney::SetCaption() {
    QImage shot = FDesktop.Grab();
    ASSERT_EQ(WhiteTextPixels(shot, CaptionArea()), 0) << "white where the caption will go";
    FDesktop.Click(ToolAt(mainwin::SettingButton));
    const std::optional<QRect> dialog =
        FDesktop.WaitForWindow(QStringLiteral("^Output settings"), 10000);
    ASSERT_TRUE(dialog) << "no output settings dialog after Setting";
    const QPoint corner = dialog->topLeft();
    const QPoint page = corner + settings::Page;
    FDesktop.Click(corner + settings::TextTab);
    TypeInto(page + settings::TextMemo.center(), CaptionText);
    TypeInto(page + settings::TextX.center(), QString::number(Caption.x()));
    TypeInto(page + settings::TextY.center(), QString::number(Caption.y()));
    FShots->Save(FDesktop.Grab(), QStringLiteral("05-caption-dialog"));
    FDesktop.Click(corner + settings::OkButton.center());
    ASSERT_TRUE(FDesktop.WaitForWindowGone(QStringLiteral("^Output settings"), 10000))
        << "the dialog did not close with OK";

    // The same frame in the still view, now with the caption, its index still readable.
    ASSERT_TRUE(FDesktop.WaitForScreen(
        [&](const QImage& s) {
            return StillShows(s, FStill) && WhiteTextPixels(s, CaptionArea()) >= 100;
        },
        5000, &shot))
        << "the caption does not show on frame " << FStill
        << " (white pixels where it goes: " << WhiteTextPixels(shot, CaptionArea()) << ")"
        << Describe(shot);
    FShots->Save(shot, QStringLiteral("06-caption"));
}

// Where the preview window shows the animation: whatever is drawn on its white panel.
QRect ProgramJourney::PreviewGifArea(const QImage& shot, const QRect& window) const {
    const QSize growth = window.size() - preview::Design;
    const QRect panel = preview::GifPanel.adjusted(0, 0, growth.width(), growth.height())
                            .translated(window.topLeft());
    // Inside the panel's rounded border.
    return PictureBounds(shot, panel.adjusted(6, 6, -6, -6), qRgb(255, 255, 255));
}

void ProgramJourney::ConvertAndSave() {
    // From the keyboard: the window the settings dialog closed over takes the keys again.
    FDesktop.Keys(QStringLiteral("ctrl+Return"));
    const std::optional<QRect> window =
        FDesktop.WaitForWindow(QStringLiteral("^Preview GIF"), 60000);
    ASSERT_TRUE(window) << "no preview window after Convert";
    QImage shot;
    ASSERT_TRUE(FDesktop.WaitForScreen(
        [&](const QImage& s) { return ShownFrameIndex(s, PreviewGifArea(s, *window)) >= 0; }, 10000,
        &shot))
        << "the preview shows no frame of the clip";
    FShots->Save(shot, QStringLiteral("07-preview"));

    const QString gif = FWork->filePath(QStringLiteral("saved clip.gif"));
    FDesktop.Click(window->topLeft() + preview::SaveButton.center());
    ASSERT_TRUE(FDesktop.WaitForWindow(QStringLiteral("^Save GIF File"), 10000))
        << "no save dialog after Save GIF File";
    FDesktop.Keys(QStringLiteral("ctrl+a"));
    FDesktop.Type(gif);
    FDesktop.Keys(QStringLiteral("Return"));
    ASSERT_TRUE(FDesktop.WaitForWindowGone(QStringLiteral("^Save GIF File"), 10000))
        << "the save dialog did not take " << gif.toStdString();
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo(gif).size() > 0; }, 10000))
        << "no GIF saved as " << gif.toStdString();
    // Saved, the preview closes without asking.
    FDesktop.Click(window->topLeft() + preview::CloseButton.center());
    ASSERT_TRUE(FDesktop.WaitForWindowGone(QStringLiteral("^Preview GIF"), 10000))
        << "the preview did not close after saving";
    CheckSavedGif(gif);
}

// The whole clip at half size and 8 frames per second (as long as the clip, no frame more), every
// frame showing the clip's frame at its time, with the caption.
void ProgramJourney::CheckSavedGif(const QString& fileName) {
    const TDecodedGif gif = DecodeGifFile(fileName);
    ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
    const fixture::TFixture& clip = Clip();
    EXPECT_EQ(QSize(gif.Width, gif.Height),
              QSize(clip.Width / OutputDivisor, clip.Height / OutputDivisor));
    const QRect caption(Caption.x() / OutputDivisor, Caption.y() / OutputDivisor,
                        Caption.width() / OutputDivisor, Caption.height() / OutputDivisor);
    const double sourcePerGifFrame = double(clip.RateNum) / clip.RateDen / OutputFps;
    std::vector<int> indices, wrong, uncaptioned;
    for (size_t k = 0; k < gif.Composed.size(); ++k) {
        const int index = fixture::ReadIndexPattern(gif.Composed[k]);
        indices.push_back(index);
        if (index < 0 || std::abs(index - std::floor(double(k) * sourcePerGifFrame)) > 1)
            wrong.push_back(int(k));
        if (WhiteTextPixels(gif.Composed[k], caption) < 20)
            uncaptioned.push_back(int(k));
    }
    const std::string shown = "; the clip's frames the GIF shows: " + Join(indices).toStdString();
    const double seconds = double(clip.Frames) * clip.RateDen / clip.RateNum;
    // The window's clip includes its end time, and opening sets it to the video's end: one more
    // sample lands at that very time, showing the last picture once more.
    const int samples = int(std::lround(seconds * OutputFps));
    EXPECT_GE(int(gif.Composed.size()), samples) << shown;
    EXPECT_LE(int(gif.Composed.size()), samples + 1) << shown;
    EXPECT_NEAR(gif.TotalDelayCs(), 100.0 * int(gif.Composed.size()) / OutputFps, 2)
        << "the frames' delays do not add up to their number at the frame rate";
    EXPECT_TRUE(wrong.empty()) << "GIF frames not showing the clip's frame at their time: "
                               << Join(wrong).toStdString() << shown;
    EXPECT_TRUE(uncaptioned.empty())
        << "GIF frames without the caption: " << Join(uncaptioned).toStdString();
}

// "Open with" while the program runs: a second start with a file ends at once and the running
// window opens the file.
void ProgramJourney::OpenWithASecondStart() {
    const fixture::TFixture& other = fixture::Fixtures()[7];
    const QString file = QStringLiteral(VG_FIXTURE_DIR "/") + QString::fromUtf8(other.FileName);
    QProcess second;
    second.setProcessEnvironment(FProgram.processEnvironment());
    second.start(QStringLiteral(VG_PROGRAM_DIR "/gifclipmaker"), {file});
    ASSERT_TRUE(second.waitForFinished(20000)) << "the second start did not end";
    EXPECT_EQ(second.exitCode(), 0);
    const QString title = QRegularExpression::escape(QString::fromUtf8(other.FileName)) +
                          QStringLiteral(" - .*") + QString::fromLatin1(ProductName);
    ASSERT_TRUE(FDesktop.WaitForWindow(QLatin1Char('^') + title, 20000))
        << "the running window did not open " << file.toStdString();
    QImage shot;
    ASSERT_TRUE(FDesktop.WaitForScreen(
        [&](const QImage& s) {
            return View(s) == TShownView::Still && ShownFrameIndex(s, VideoArea(other)) == 0;
        },
        30000, &shot))
        << "the window does not show the first frame of " << file.toStdString() << Describe(shot);
    FShots->Save(shot, QStringLiteral("08-opened-by-second-start"));
}

void ProgramJourney::CloseProgram() {
    FDesktop.Click(MainAt(mainwin::CloseButton));
    ASSERT_TRUE(FProgram.waitForFinished(20000)) << "the program did not end after Close";
    EXPECT_EQ(FProgram.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(FProgram.exitCode(), 0);
    // The settings were saved in the test's data folder, and the work folder was emptied.
    QDirIterator settingsFile(Folder("data"), {QStringLiteral("ConfigSet.vgset")}, QDir::Files,
                              QDirIterator::Subdirectories);
    ASSERT_TRUE(settingsFile.hasNext()) << "no settings file in " << Folder("data").toStdString();
    const QDir work(QFileInfo(settingsFile.next()).absolutePath() + QStringLiteral("/Temp"));
    const QStringList left = work.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_TRUE(left.isEmpty()) << "left in the work folder: "
                                << left.join(QStringLiteral(", ")).toStdString();
}

TEST_F(ProgramJourney, OpenScrubStepCaptionConvertSaveAndClose) {
    ASSERT_NO_FATAL_FAILURE(Step("open the clip", [this] { OpenClip(); }));
    ASSERT_NO_FATAL_FAILURE(Step("scrub while paused", [this] { ScrubWhilePaused(); }));
    ASSERT_NO_FATAL_FAILURE(Step("scrub while playing", [this] { ScrubWhilePlaying(); }));
    ASSERT_NO_FATAL_FAILURE(Step("pause and step frames", [this] { PauseAndStepFrames(); }));
    ASSERT_NO_FATAL_FAILURE(Step("step with the keyboard", [this] { StepWithTheKeyboard(); }));
    ASSERT_NO_FATAL_FAILURE(Step("set a caption", [this] { SetCaption(); }));
    ASSERT_NO_FATAL_FAILURE(Step("convert and save", [this] { ConvertAndSave(); }));
    ASSERT_NO_FATAL_FAILURE(Step("open with a second start", [this] { OpenWithASecondStart(); }));
    ASSERT_NO_FATAL_FAILURE(Step("close the program", [this] { CloseProgram(); }));
}

} // namespace
