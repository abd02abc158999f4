#pragma once
// A size estimate that follows edits: each change shows "estimating..." at once; when the changes
// settle, the request is taken (on the calling thread) and estimated on a thread of its own; an
// estimate still running when the next change comes is cancelled and its figure never shown.
// Used by the main window and the output settings dialog.

#include "engine/Video2Gif.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class TLiveEstimate : public QObject {
    Q_OBJECT
public:
    // The request, made when the changes have settled. It must refer to nothing that changes
    // meanwhile (TVGProj::DetachedRequest).
    using TRequestMaker = std::function<TConversionRequest()>;

    explicit TLiveEstimate(QObject* parent = nullptr);
    // Cancels what runs and waits for it.
    ~TLiveEstimate() override;

    // Something that alters the GIF changed.
    void Restart(TRequestMaker makeRequest);
    // Nothing to estimate: nothing is shown and nothing runs.
    void Clear();
    // The text shown now: "", "estimating..." or the estimate (DescribeEstimate).
    QString Text() const { return FText; }
    static QString Estimating() { return QStringLiteral("estimating..."); }
    // Whether an estimate is still running (a cancelled one too, until it has stopped).
    bool Running() const;

signals:
    void TextChanged(const QString& text);

private:
    struct TJob;
    void Start();
    void Show(const QString& text);
    // Cancels every job and lets go of the finished ones (of all of them with `wait`).
    void CancelJobs(bool wait);

    QTimer FSettle; // the quiet time after the last change before an estimate starts
    TRequestMaker FMakeRequest;
    std::vector<std::unique_ptr<TJob>> FJobs;
    int FGeneration = 0;
    QString FText;
};
