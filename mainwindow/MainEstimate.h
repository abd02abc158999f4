#pragma once
// The main window's live size estimate: what Convert would make ("about 2.4 MB · 96 frames ·
// 8.0 s"), shown above the Convert button and worked out again in the background after every
// change that alters the GIF. A change shows "estimating..." at once; a burst of changes (typing a
// time, dragging a caption) starts one estimate when it settles, and an estimate still running
// when the next change comes is cancelled.

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <vector>

class TMainForm;

class TMainEstimate : public QObject {
    Q_OBJECT
public:
    explicit TMainEstimate(TMainForm& form);
    // Cancels what runs and waits for it.
    ~TMainEstimate() override;

    // Something that alters the GIF changed (or a video was opened).
    void Changed();
    // No clip: nothing is shown and nothing runs.
    void Clear();
    // The text shown now ("" without a clip).
    QString Text() const { return FText; }
    // True while an estimate is on its way.
    bool Busy() const { return !FText.isEmpty() && FText == Estimating(); }
    static QString Estimating() { return QStringLiteral("estimating..."); }

signals:
    // The text changed: "estimating...", the estimate, or "" when nothing is shown.
    void TextChanged(const QString& text);

private:
    struct TJob;
    void Start();
    void Show(const QString& text);
    // Cancels every job and lets go of the finished ones.
    void CancelJobs(bool wait);

    TMainForm& F;
    QTimer FSettle; // the quiet time after the last change before an estimate starts
    std::vector<std::unique_ptr<TJob>> FJobs;
    int FGeneration = 0;
    QString FText;
};
