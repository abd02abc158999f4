// The install-tracking client against a small HTTP server of the test on 127.0.0.1: a status
// stored, a non-number ignored, a refused connection, a server that times out, a worker freed
// during a download, and a status that is already known.

#include "common/Log.h"
#include "project/VGConfig.h"
#include "tests/support/TestUtils.h"
#include "ui/InstallTrack.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Answers every request with a fixed body, or (body none) never answers.
class TTinyHttpServer {
public:
    explicit TTinyHttpServer(std::optional<QByteArray> body) : FBody(std::move(body)) {
        FServer.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&FServer, &QTcpServer::newConnection, &FServer, [this] { Accept(); });
    }
    QString Url() const {
        return QStringLiteral("http://127.0.0.1:%1/status.txt").arg(FServer.serverPort());
    }
    int Requests = 0;
    int Disconnects = 0;

private:
    void Accept() {
        while (QTcpSocket* socket = FServer.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                ++Disconnects;
                socket->deleteLater();
            });
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                FRequest += socket->readAll();
                if (!FRequest.contains("\r\n\r\n"))
                    return;
                ++Requests;
                if (!FBody)
                    return; // the slow server: says nothing
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                              QByteArray::number(FBody->size()) + "\r\nConnection: close\r\n\r\n" +
                              *FBody);
                socket->disconnectFromHost();
            });
        }
    }
    QTcpServer FServer;
    std::optional<QByteArray> FBody;
    QByteArray FRequest;
};

class InstallTrackTest : public ::testing::Test {
protected:
    void SetUp() override {
        FOldConfig = Config;
        FConfig = std::make_unique<TVGConfig>();
        Config = FConfig.get();
        FLog = std::make_unique<TLog>(FFolders.Root() + QLatin1String("Log.txt"),
                                      QStringLiteral("MX_TEST_TrackLog"));
        SetLogObj(FLog.get());
    }
    void TearDown() override {
        SetLogObj(nullptr);
        Config = FOldConfig;
    }
    // Runs a worker against `url` until it has finished by itself.
    TInstallTrackThread::TResult Run(const QString& url, int timeoutMs = 5000) {
        TInstallTrackThread worker(url, timeoutMs);
        worker.StartTracking();
        EXPECT_TRUE(WaitFor([&] { return worker.Finished(); }, 30000));
        return worker.Result();
    }
    QStringList LogLines() const { return ReadLines(FLog->FileName()); }

    TScopedUserFolders FFolders;
    std::unique_ptr<TVGConfig> FConfig;
    std::unique_ptr<TLog> FLog;
    TVGConfig* FOldConfig = nullptr;
};

} // namespace

TEST(InstallTrackParse, IntegersOnly) {
    EXPECT_EQ(TInstallTrackThread::ParseStatus("3"), 3);
    EXPECT_EQ(TInstallTrackThread::ParseStatus(" 2\r\n"), 2);
    EXPECT_EQ(TInstallTrackThread::ParseStatus("-1"), -1);
    EXPECT_FALSE(TInstallTrackThread::ParseStatus(""));
    EXPECT_FALSE(TInstallTrackThread::ParseStatus("3x"));
    EXPECT_FALSE(TInstallTrackThread::ParseStatus("2.5"));
    EXPECT_FALSE(TInstallTrackThread::ParseStatus("<html>"));
    EXPECT_FALSE(TInstallTrackThread::ParseStatus("99999999999999999999"));
}

TEST(InstallTrackParse, BrandAddressIsTheDefault) {
    const TInstallTrackThread worker;
    EXPECT_TRUE(worker.Url().startsWith(QLatin1String("https://")));
    EXPECT_FALSE(worker.Url().contains(QLatin1Char('?')));
    EXPECT_FALSE(worker.Started());
}

TEST_F(InstallTrackTest, ServerAnswerBecomesThePartnerStatus) {
    TTinyHttpServer server(QByteArray("3"));
    EXPECT_EQ(Run(server.Url()), TInstallTrackThread::trStored);
    EXPECT_EQ(server.Requests, 1);
    EXPECT_TRUE(Config->InstallTracked);
    EXPECT_EQ(Config->PartnerStatus, 3);
    ASSERT_FALSE(LogLines().isEmpty());
    EXPECT_TRUE(LogLines().first().endsWith(QLatin1String("install track")));
}

TEST_F(InstallTrackTest, AnswerThatIsNoNumberIsIgnored) {
    TTinyHttpServer server(QByteArray("<html>partner</html>"));
    EXPECT_EQ(Run(server.Url()), TInstallTrackThread::trNotANumber);
    EXPECT_TRUE(Config->InstallTracked);
    EXPECT_EQ(Config->PartnerStatus, 0);
}

TEST_F(InstallTrackTest, LongAnswerIsCutAndNotTakenForANumber) {
    // Digits beyond the 64 bytes read never make it a number.
    TTinyHttpServer server(QByteArray(100, '7'));
    EXPECT_EQ(Run(server.Url()), TInstallTrackThread::trNotANumber);
    EXPECT_EQ(Config->PartnerStatus, 0);
}

TEST_F(InstallTrackTest, RefusedConnectionFailsQuietlyWithOneLogLine) {
    QString url;
    {
        TTinyHttpServer closed(QByteArray("3"));
        url = closed.Url();
    } // nothing listens on that port any more
    EXPECT_EQ(Run(url), TInstallTrackThread::trFailed);
    EXPECT_TRUE(Config->InstallTracked);
    EXPECT_EQ(Config->PartnerStatus, 0);
    const QStringList lines = LogLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].contains(QLatin1String("install track: ")));
}

TEST_F(InstallTrackTest, SilentServerTimesOut) {
    TTinyHttpServer server(std::nullopt);
    EXPECT_EQ(Run(server.Url(), 300), TInstallTrackThread::trFailed);
    EXPECT_EQ(server.Requests, 1);
    EXPECT_EQ(Config->PartnerStatus, 0);
    EXPECT_TRUE(Config->InstallTracked);
}

TEST_F(InstallTrackTest, FreeingTheWorkerEndsTheDownload) {
    TTinyHttpServer server(std::nullopt);
    auto worker = std::make_unique<TInstallTrackThread>(server.Url(), 600000);
    worker->StartTracking();
    ASSERT_TRUE(WaitFor([&] { return server.Requests == 1; }));
    worker.reset(); // must not wait for the ten-minute time-out
    EXPECT_TRUE(WaitFor([&] { return server.Disconnects == 1; }));
    EXPECT_EQ(Config->PartnerStatus, 0);
    EXPECT_TRUE(LogLines().last().endsWith(QLatin1String("install track: cancelled")));
}

TEST_F(InstallTrackTest, KnownStatusIsNotAskedAgain) {
    Config->PartnerStatus = 5;
    TTinyHttpServer server(QByteArray("2"));
    EXPECT_EQ(Run(server.Url()), TInstallTrackThread::trKnown);
    EXPECT_EQ(server.Requests, 0);
    EXPECT_EQ(Config->PartnerStatus, 5);
    EXPECT_TRUE(Config->InstallTracked);
}
