#include "ui/InstallTrack.h"

#include "app/Brand.h"
#include "common/Log.h"
#include "project/VGConfig.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// How often the download looks whether the worker is being freed.
constexpr int CancelPollMs = 50;
} // namespace

TInstallTrackThread::TInstallTrackThread(const QString& url, int timeoutMs)
    : FUrl(url.isEmpty() ? BrandTrackUrl(CurrentBrand()) : url), FTimeoutMs(timeoutMs) {}

TInstallTrackThread::~TInstallTrackThread() {
    // The body uses this object's fields: stop it before they go.
    TerminateAndWait();
}

std::optional<int> TInstallTrackThread::ParseStatus(const QByteArray& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

void TInstallTrackThread::Execute() {
    // Low priority: the user's work comes first (a thread's nice value on Linux).
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    MsgOut(QStringLiteral("install track"));
    TVGConfig* config = Config;
    if (!config) {
        FResult = trNoSettings;
        return;
    }
    config->InstallTracked = true;
    if (!config->IsPartnerUnknown()) {
        FResult = trKnown;
        return;
    }
    QByteArray body;
    TResult result = Download(body);
    if (result == trStored) {
        const std::optional<int> status = ParseStatus(body);
        // The settings object may have been replaced meanwhile; write to the one in use.
        if (status && Config)
            Config->PartnerStatus = *status;
        else
            result = trNotANumber;
    }
    if (result == trNotANumber)
        MsgOut(QStringLiteral("install track: the answer is not a number"));
    FResult = result;
}

TInstallTrackThread::TResult TInstallTrackThread::Download(QByteArray& body) {
    QEventLoop loop; // first: it gives this plain thread its event dispatcher
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(FUrl)};
    request.setTransferTimeout(FTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = manager.get(request);
    reply->setReadBufferSize(MaxBytes);

    bool cancelled = false;
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        body += reply->read(MaxBytes - body.size());
        if (body.size() >= MaxBytes)
            reply->abort(); // enough: a status is a few digits
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (Terminated()) {
            cancelled = true;
            reply->abort();
        }
    });
    poll.start(CancelPollMs);
    if (!reply->isFinished())
        loop.exec();
    poll.stop();

    TResult result = trStored;
    if (cancelled) {
        MsgOut(QStringLiteral("install track: cancelled"));
        result = trCancelled;
    } else if (reply->error() != QNetworkReply::NoError &&
               !(reply->error() == QNetworkReply::OperationCanceledError &&
                 body.size() >= MaxBytes)) {
        MsgOut(QStringLiteral("install track: %1").arg(reply->errorString()));
        result = trFailed;
    } else if (reply->isOpen()) {
        body += reply->read(MaxBytes - body.size());
    }
    delete reply;
    return result;
}
