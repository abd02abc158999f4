// The staged program started as real processes: single instance, the message to the running
// instance, the shared log, and a lock left by a killed instance.

#include "app/VGApp.h"
#include "common/CommonFunctions.h"
#include "tests/support/TestUtils.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {
const QString program = QStringLiteral(VG_PROGRAM_DIR "/gifclipmaker");

QString LogFile() {
    return TApp::GetDataPath() + QLatin1String("Log.txt");
}

// Log texts written by one process.
QStringList TextsOf(qint64 pid) {
    QStringList texts;
    const QString marker = QStringLiteral("[%1:").arg(pid);
    for (const QString& line : ReadLines(LogFile()))
        if (line.contains(marker))
            texts << line.section(QLatin1String("] "), 1);
    return texts;
}

std::unique_ptr<QProcess> Start(const QString& locale = QStringLiteral("en_US.UTF-8"),
                                const QStringList& arguments = {},
                                const QString& workingFolder = {}) {
    auto process = std::make_unique<QProcess>();
    process->setArguments(arguments);
    if (!workingFolder.isEmpty())
        process->setWorkingDirectory(workingFolder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), locale);
    process->setProcessEnvironment(env);
    process->setProgram(program);
    process->start();
    return process;
}

// The running instance is ready once it listens for other starts.
bool WaitUntilRunning(QProcess& process) {
    const QString socket = InstanceSocketPath(TApp::GetTitle());
    return WaitFor(
        [&] {
            return QFileInfo::exists(socket) &&
                   TextsOf(process.processId()).contains(QStringLiteral("not Debug Version"));
        },
        20000);
}

class TMessageRecorder : public QObject {
public:
    bool event(QEvent* event) override {
        if (auto* message = dynamic_cast<TMessageEvent*>(event)) {
            Messages.push_back({message->Message(), message->WParam, message->LParam});
            Texts.push_back(message->Text);
            return true;
        }
        return QObject::event(event);
    }
    std::vector<std::tuple<int, qint64, qint64>> Messages;
    QStringList Texts;
};
} // namespace

TEST(Instances, ASecondStartOpensNothingAndSharesTheLog) {
    TScopedUserFolders folders;
    auto first = Start(QStringLiteral("de_DE.UTF-8"));
    ASSERT_TRUE(WaitUntilRunning(*first)) << first->readAllStandardError().toStdString();

    auto second = Start();
    const qint64 secondPid = second->processId();
    ASSERT_TRUE(second->waitForFinished(15000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    EXPECT_EQ(
        TextsOf(secondPid),
        (QStringList{QStringLiteral("Qopasoft GIF Clip Maker"), QStringLiteral("Start program"),
                     QStringLiteral("not Debug Version"), QStringLiteral("over")}));
    const QStringList lines = ReadLines(LogFile());
    ASSERT_GE(lines.size(), 6);
    EXPECT_TRUE(lines[0].contains(QLatin1String("] OS: ")));
    // The header of the first start, in its locale, and only once.
    EXPECT_TRUE(lines[1].endsWith(QLatin1String("] Language: $407"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[5].endsWith(QLatin1String("] ===============")));
    EXPECT_EQ(lines.filter(QStringLiteral("] OS: ")).size(), 1);
    EXPECT_EQ(lines.filter(QStringLiteral("] ===============")).size(), 1);

    // A request to terminate ends the first instance the regular way.
    const qint64 firstPid = first->processId();
    first->terminate();
    ASSERT_TRUE(first->waitForFinished(15000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_EQ(TextsOf(firstPid).last(), QStringLiteral("over"));
}

TEST(Instances, TheRunningInstanceReceivesTheStartMessageWithZeroParameters) {
    TScopedUserFolders folders;
    // This test process plays the running instance: it holds the lock and listens.
    TNamedLock lock(QString::fromLatin1(ExeMutexName));
    ASSERT_TRUE(lock.TryLock());
    TMessageRecorder recorder;
    TInstanceServer server(TApp::GetTitle(), &recorder);
    ASSERT_TRUE(server.Listen());

    auto second = Start();
    ASSERT_TRUE(WaitFor([&] { return second->state() == QProcess::NotRunning; }, 15000));
    EXPECT_EQ(second->exitCode(), 0);
    ASSERT_TRUE(WaitFor([&] { return !recorder.Messages.empty(); }, 5000));
    ASSERT_EQ(recorder.Messages.size(), 1u);
    EXPECT_EQ(recorder.Messages[0], std::make_tuple(0x465, qint64(0), qint64(0)));
    EXPECT_EQ(recorder.Texts, QStringList{QString()});
}

// "Open with" while the program runs: the second start hands its file over, with the path made
// whole from its own working folder, and ends with 0; the running window opens the file.
TEST(Instances, ASecondStartWithAFileHandsItToTheRunningWindow) {
    TScopedUserFolders folders;
    auto first = Start();
    ASSERT_TRUE(WaitUntilRunning(*first)) << first->readAllStandardError().toStdString();

    const QString media = QStringLiteral(VG_MEDIA_DIR);
    auto second =
        Start(QStringLiteral("en_US.UTF-8"), {QStringLiteral("bear-theora-320x180.ogv")}, media);
    ASSERT_TRUE(second->waitForFinished(15000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    const QString whole =
        QFileInfo(media + QLatin1String("/bear-theora-320x180.ogv")).absoluteFilePath();
    EXPECT_TRUE(WaitFor(
        [&] {
            return TextsOf(first->processId())
                .contains(QStringLiteral("video opened: %1 (320 x 180)").arg(whole));
        },
        15000))
        << TextsOf(first->processId()).join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);
    first->terminate();
    ASSERT_TRUE(first->waitForFinished(15000));
    EXPECT_EQ(first->exitCode(), 0);
}

TEST(Instances, ALockLeftByAKilledInstanceDoesNotBlockTheNextStart) {
    TScopedUserFolders folders;
    auto first = Start();
    ASSERT_TRUE(WaitUntilRunning(*first));
    first->kill();
    ASSERT_TRUE(first->waitForFinished(10000));

    auto next = Start();
    const qint64 nextPid = next->processId();
    ASSERT_TRUE(WaitUntilRunning(*next)) << "the next start did not become the running instance";
    // It stays: no end comes within a moment.
    EXPECT_FALSE(WaitFor([&] { return next->state() != QProcess::Running; }, 300));
    next->terminate();
    ASSERT_TRUE(next->waitForFinished(15000));
    EXPECT_EQ(next->exitCode(), 0);
    EXPECT_EQ(TextsOf(nextPid).last(), QStringLiteral("over"));
}
