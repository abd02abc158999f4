// Opening pages and folders on the desktop through a stand-in "xdg-open" on the PATH.

#include "common/DesktopOpen.h"
#include "common/MsgBox.h"
#include "tests/support/TestUtils.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// A PATH whose "xdg-open" writes its argument to a file and ends with the given code. The file
// is written beside and moved into place, so a test that sees it also sees what it holds.
class TStandInOpener {
public:
    explicit TStandInOpener(int exitCode) : FOldPath(qgetenv("PATH")) {
        const QString script = FDir.path() + QLatin1String("/xdg-open");
        WriteFile(script,
                  QStringLiteral(
                      "#!/bin/sh\nprintf '%s' \"$1\" > '%1.part' && mv '%1.part' '%1'\nexit %2\n")
                      .arg(ArgumentFile())
                      .arg(exitCode)
                      .toUtf8());
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", FDir.path().toUtf8() + ":/usr/bin:/bin");
        FOldBox = SetMsgBoxHandler([this](const TMsgBoxRequest& request) {
            Boxes << request.Text;
            return int(mrOK);
        });
    }
    ~TStandInOpener() {
        qputenv("PATH", FOldPath);
        SetMsgBoxHandler(FOldBox);
    }
    QString ArgumentFile() const { return FDir.path() + QLatin1String("/argument"); }
    QStringList Boxes;

private:
    QTemporaryDir FDir;
    QByteArray FOldPath;
    TMsgBoxHandler FOldBox;
};
} // namespace

TEST(DesktopOpen, WhatTheDesktopOpensIsSaidNothingAndWhatItCannotIsNamedForTheUser) {
    {
        TStandInOpener desktop(0);
        OpenOnDesktop(QStringLiteral("/tmp/My GIFs"), TDesktopTarget::Folder);
        ASSERT_TRUE(WaitFor([&] { return QFile::exists(desktop.ArgumentFile()); }));
        EXPECT_EQ(ReadTextFile(desktop.ArgumentFile()), QStringLiteral("file:///tmp/My%20GIFs"));
        // The shell around the opener has ended by the time its argument is there and a
        // moment later; no message in any case.
        EXPECT_FALSE(WaitFor([&] { return !desktop.Boxes.isEmpty(); }, 1000));
    }
    for (const TDesktopTarget kind : {TDesktopTarget::WebPage, TDesktopTarget::Folder}) {
        // "xdg-open" ends with 3: no program for this kind of target.
        TStandInOpener desktop(3);
        const QString target = kind == TDesktopTarget::Folder
                                   ? QStringLiteral("/home/user/Pictures")
                                   : QStringLiteral("https://example.org/help?page=1");
        OpenOnDesktop(target, kind);
        ASSERT_TRUE(WaitFor([&] { return !desktop.Boxes.isEmpty(); }));
        ASSERT_EQ(desktop.Boxes.size(), 1);
        EXPECT_EQ(desktop.Boxes[0], DesktopOpenFailureText(target, kind));
        EXPECT_TRUE(desktop.Boxes[0].endsWith(QLatin1String(": ") + target));
        EXPECT_TRUE(desktop.Boxes[0].contains(kind == TDesktopTarget::Folder
                                                  ? QLatin1String("no file manager")
                                                  : QLatin1String("no web browser")));
    }
}
