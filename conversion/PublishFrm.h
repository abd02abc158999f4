#pragma once
// The conversion run: the small modal window shown while the engine turns the project's clip into
// "preview.gif". It follows the engine's three events (progress, finished, error), lets the user
// stop the conversion or minimise the program, and closes itself when the engine is done.

#include "ui/BaseFrm.h"

#include "common/Messages.h"

#include <QVector>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QProgressBar;
class TFlatPanel;
class TMessageEvent;
class TSkinButton;
class TVGProj;
class TVideo2GifThread;

class TPublishForm : public TBaseForm {
    Q_OBJECT
public:
    explicit TPublishForm(QWidget* parent = nullptr);
    // Stops the engine, if it still runs, and waits for its thread to end.
    ~TPublishForm() override;

    // The project to convert; the window says what it makes when that is not a GIF.
    void SetProject(TVGProj* project);
    // Has the project start the engine, which reports to this window.
    void StartConversion();
    // Takes an engine thread that reports to this window (tests hand in their own).
    void SetThread(std::unique_ptr<TVideo2GifThread> thread);
    TVideo2GifThread* Thread() const { return FThread.get(); }

    // Tells the user how a finished conversion went: the maximum frame count reached, what was
    // given up to meet the size limit, and the engine's warning (each only when there is one).
    void ShowEndNotes(bool maxFramesReached, const QString& sizeReport, const QString& warning);

    void btnCancelClick();
    void btnMinimizeClick();

    // Centres the window over the main window, or in the work area without one.
    void PlaceOverOwner();

    TFlatPanel* pnlMain;
    QLabel* lblInfo;
    QProgressBar* pbProgress;
    TSkinButton* btnMinimize;
    TSkinButton* btnCancel;

    static constexpr int ClientWidth = 398;
    static constexpr int ClientHeight = 94;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool FormKeyDown(QKeyEvent* event) override;

private:
    // The engine's reports: handled at once, or kept while the stop question is open.
    void Deliver(std::function<void()> handling);
    void OnProgress(const Report::ConvertProgress& report);
    void OnFinished(const Report::ConvertFinished& report);
    void OnFailed(const Report::ConvertFailed& report);
    // Asks "Stop conversion now?"; true when the user stops it (the window then closes).
    bool ConfirmStop();
    void Finish(int result);
    // What the engine chose to meet the project's size limit; empty without a limit.
    QString SizeReport() const;

    TVGProj* FProject = nullptr;
    std::unique_ptr<TVideo2GifThread> FThread;
    bool FDone = false;   // the engine reported its end or error, or the user stopped it
    bool FAsking = false; // the stop question is open
    // Engine reports that came while the stop question was open, handled after a No.
    std::vector<std::function<void()>> FPending;
};

// Runs the project's conversion with the progress window; true when a GIF was made.
bool ExecutePublishForm(TVGProj* proj);
