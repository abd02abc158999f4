// The start loads the language "English" before any window and reports a broken file once.

#include "app/VGApp.h"
#include "app/main/MainRoutine.h"
#include "common/MsgBox.h"
#include "common/Registry.h"
#include "localisation/Language.h"
#include "tests/support/TestUtils.h"

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

struct TStartFixture {
    TScopedUserFolders Folders;
    QString ProgramDir;
    TMsgBoxHandler OldHandler;
    QStringList Boxes;
    int WindowsShownAtBox = 0;

    explicit TStartFixture(const QByteArray& englishFile) {
        ProgramDir = Folders.Root() + QLatin1String("program/");
        QDir().mkpath(ProgramDir + QLatin1String("Languages"));
        WriteFile(ProgramDir + QLatin1String("Languages/English.xml"), englishFile);
        WriteFile(Folders.Root() + QLatin1String("registry.ini"),
                  "[SOFTWARE\\Classes\\QOPAVG.ProjFile]\ninsguid={1}\n");
        SetRegistryFileName(Folders.Root() + QLatin1String("registry.ini"));
        OldHandler = SetMsgBoxHandler([this](const TMsgBoxRequest& request) {
            Boxes.append(request.Text);
            const auto windows = QApplication::topLevelWidgets();
            for (QWidget* window : windows)
                WindowsShownAtBox += window->isVisible() ? 1 : 0;
            return int(mrOK);
        });
    }
    ~TStartFixture() {
        SetMsgBoxHandler(OldHandler);
        SetRegistryFileName({});
    }
};

// Notes what the language layer answers when the first window shows.
class TLanguageProbe : public QObject {
public:
    QString Name, OkCaption;
    bool Seen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!Seen && event->type() == QEvent::Show && watched->isWidgetType() && Language) {
            Seen = true;
            Name = Language->LanguageName;
            OkCaption = GetLanguageText(QStringLiteral("CUI_TBaseUI3Form_btnOkMe"));
        }
        return false;
    }
};

} // namespace

TEST(StartLanguage, ABrokenEnglishFileIsReportedOnceBeforeAnyWindow) {
    TStartFixture start("<?xml version=\"1.0\"?><Language><CUI_A>x</Language>");
    EXPECT_EQ(RunApplication({start.ProgramDir, true, {}, {}}), 0);
    ASSERT_EQ(start.Boxes.size(), 1);
    EXPECT_EQ(start.Boxes[0], "Load language failed, please check!");
    EXPECT_EQ(start.WindowsShownAtBox, 0);
    EXPECT_EQ(Language, nullptr) << "the language object ends with the core";
}

TEST(StartLanguage, AGoodFileIsActiveWhileTheProgramRuns) {
    TStartFixture start(
        "<Language Id=\"1033\"><CUI_TBaseUI3Form_btnOkMe>OK</CUI_TBaseUI3Form_btnOkMe>"
        "</Language>");
    // Looked at from inside the run, when the main window shows.
    TLanguageProbe probe;
    QCoreApplication::instance()->installEventFilter(&probe);
    EXPECT_EQ(RunApplication({start.ProgramDir, true, {}, {}}), 0);
    QCoreApplication::instance()->removeEventFilter(&probe);
    EXPECT_TRUE(start.Boxes.isEmpty());
    ASSERT_TRUE(probe.Seen);
    EXPECT_EQ(probe.Name, "English");
    EXPECT_EQ(probe.OkCaption, "OK");
}
