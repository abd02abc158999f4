#pragma once
// The install-tracking client: a low-priority worker, started once when the main window is first
// shown. It writes "install track" to the log, marks the installation as tracked and, while the
// partner status is still unknown, fetches a short text from the brand's web server and keeps
// its integer as the partner status. Its only writes are the settings' InstallTracked and
// PartnerStatus; the settings file is saved by the program's usual exit path.
//
// One request, no retries: a time-out of 10 seconds, at most 64 bytes read, a text that is not
// an integer ignored. With no network it fails quietly with one log line. Freeing the worker
// while a download runs ends the download within a second.

#include "common/SafeThread.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <optional>

class TInstallTrackThread : public TSafeThread {
public:
    enum TResult {
        trRunning,    // not finished yet
        trStored,     // the server's integer became the partner status
        trKnown,      // the partner status was already known: nothing fetched
        trNotANumber, // the server answered with something that is not an integer
        trFailed,     // no answer (no network, refused, time-out, HTTP error)
        trCancelled,  // freed while downloading
        trNoSettings  // there was no settings object
    };

    static constexpr int DefaultTimeoutMs = 10000;
    static constexpr int MaxBytes = 64;

    // `url` empty: the brand's tracking address.
    explicit TInstallTrackThread(const QString& url = {}, int timeoutMs = DefaultTimeoutMs);
    ~TInstallTrackThread() override;

    // Starts the worker (once).
    void StartTracking() { Start(); }
    QString Url() const { return FUrl; }
    TResult Result() const { return FResult.load(); }

    // The partner status a server's text stands for: an integer, blanks around it allowed;
    // nothing for anything else.
    static std::optional<int> ParseStatus(const QByteArray& text);

protected:
    void Execute() override;

private:
    TResult Download(QByteArray& body);

    QString FUrl;
    int FTimeoutMs;
    std::atomic<TResult> FResult{trRunning};
};
