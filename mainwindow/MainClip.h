#pragma once
// The clip range of the main window: the two time edits applied one second after the last
// keystroke, start and end from the position or a strip frame, the clip menu (play the
// selection, locate its start or end), stepping one frame at a time with press-and-hold
// repetition, and the Convert command.

#include <QObject>
#include <QString>
#include <cstdint>

class QLineEdit;
class TMainForm;
class TPhotoData;
class TVGProj;

class TMainClip : public QObject {
    Q_OBJECT
public:
    explicit TMainClip(TMainForm& form) : F(form) {}

    void EditChanged();
    void ClipTimer();
    // An edit is left (Tab, a click elsewhere) or confirmed with Return: the typed time is
    // applied at once and the edit shows the time it stands for.
    void EditLeft(QLineEdit* edit);
    // The track bar's tinted stretch follows the clip.
    void ShowClipOnTrackBar();
    bool ApplyClipEdits();
    // A blank edit (no digit typed) gives "no time"; anything else is read as a time.
    static int64_t EditTextToPTS(const QString& text);
    void SetStart(QObject* sender);
    void SetEnd(QObject* sender);
    void MoreClick();
    void ToolbarPopup();
    void LocateStart();
    void LocateEnd();
    void PlaySelect();
    void StepFrame(bool forward);
    void FrameButtonDown(bool forward);
    void FrameButtonUp();
    void AutoNextTimer();
    void Convert();
    // The clip menu's finders (MainClipFind.cpp): the end (or start) whose picture is closest to
    // the other end's, and the clip without its still ends; what was found is said in the hint.
    void FindLoopBound(bool end);
    void TrimStill();

signals:
    // "Locate start": the position moves to the clip's start, where the strip is loaded.
    void StartLocated(int64_t pts);
    // "Locate end": the strip shows the frames up to the clip's end `pts`, the last focused.
    void EndLocated(int64_t pts);
    // The clip's start or end moved.
    void ClipChanged();
    // "Play selection": the clip plays from its start and stops at its end.
    void SelectionPlayRequested(int64_t start);

private:
    // The project, once playback has stopped and typed times are taken, when its clip is valid.
    TVGProj* ClipToSearch();
    // The bounds moved to `start` and `end`, shown in the edits, the strip and the track bar.
    void MoveBounds(int64_t start, int64_t end);
    // Says `text` in the hint under the clip menu's button for a few seconds, and in the log.
    void Say(const QString& text);
    // The time the Start and End buttons take: the playing position, else the current frame's.
    int64_t PositionForBound(QObject* sender, int64_t current, QObject* stripItem) const;
    bool ApplyEdit(const QString& text, int64_t& bound) const;

    // A frame button held down steps once after this delay, then at this interval.
    static constexpr int AutoStepDelayMs = 500;
    static constexpr int AutoStepIntervalMs = 50;

    TMainForm& F;
    bool FAutoForward = true; // the direction the held frame button steps in
};
