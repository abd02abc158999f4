// The clip menu's finders: a seamless loop's end or start, and the still ends trimmed.

#include "common/Log.h"
#include "decoder/CustomDecoder.h"
#include "decoder/FFDecoder.h"
#include "engine/ClipFinder.h"
#include "mainwindow/MainClip.h"
#include "mainwindow/MainFrm.h"
#include "project/VGProj.h"
#include "ui/MHintWindow.h"
#include "ui/UIUtils.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

// How long what a finder found stays in the hint.
constexpr int SayMs = 4000;

// Runs `find` with a decoder of its own on the project's video (the window's decoder stays where
// the strip left it), with the busy cursor.
template <typename TFind> auto WithOwnDecoder(const TVGProj& proj, TFind find) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TFFDecoder decoder;
    std::atomic<bool> cancel{false};
    decoder.LoadFile(proj.VideoFile);
    auto found = find(decoder, cancel);
    QApplication::restoreOverrideCursor();
    return found;
}

} // namespace

TVGProj* TMainClip::ClipToSearch() {
    TVGProj* proj = F.Project();
    if (!proj)
        return nullptr;
    // Paused as the Pause button does: the still view and the strip show where playback stood.
    if (F.IsPlaying())
        F.acPauseExecute(F.btnMore);
    ClipTimer();
    return proj->IsClipValid() ? proj : nullptr;
}

void TMainClip::FindLoopBound(bool end) {
    TVGProj* proj = ClipToSearch();
    if (!proj)
        return;
    const TLoopBound bound =
        WithOwnDecoder(*proj, [&](TCustomDecoder& decoder, const std::atomic<bool>& cancel) {
            return end ? FindLoopEnd(decoder, proj->StartPTS, proj->EndPTS, cancel)
                       : FindLoopStart(decoder, proj->StartPTS, proj->EndPTS, cancel);
        });
    if (bound.Found) {
        if (end)
            MoveBounds(proj->StartPTS, bound.Pts);
        else
            MoveBounds(bound.Pts, proj->EndPTS);
    }
    Say(DescribeLoopBound(bound));
}

void TMainClip::TrimStill() {
    TVGProj* proj = ClipToSearch();
    if (!proj)
        return;
    const TStillTrim trim =
        WithOwnDecoder(*proj, [&](TCustomDecoder& decoder, const std::atomic<bool>& cancel) {
            return TrimStillEnds(decoder, proj->StartPTS, proj->EndPTS, cancel);
        });
    if (!trim.Ok) {
        Say(trim.Error);
        return;
    }
    const int64_t atStart = trim.Start - proj->StartPTS, atEnd = proj->EndPTS - trim.End;
    MoveBounds(trim.Start, trim.End);
    Say(atStart == 0 && atEnd == 0
            ? QStringLiteral("no still frames at the start or the end")
            : QStringLiteral("still frames trimmed: %1 s at the start, %2 s at the end")
                  .arg(atStart / 1e6, 0, 'f', 2)
                  .arg(atEnd / 1e6, 0, 'f', 2));
}

void TMainClip::MoveBounds(int64_t start, int64_t end) {
    TVGProj* proj = F.Project();
    if (start == proj->StartPTS && end == proj->EndPTS)
        return;
    proj->StartPTS = start;
    proj->EndPTS = end;
    SetValueNoChange(F.edtStart, FormatPTS(start, 3));
    SetValueNoChange(F.edtEnd, FormatPTS(end, 3));
    F.ShotView->Repaint();
    ShowClipOnTrackBar();
    emit ClipChanged();
}

void TMainClip::Say(const QString& text) {
    MsgOut(text);
    TMHint* hint = F.Hint();
    if (!hint || text.isEmpty())
        return;
    const QPoint at = F.btnMore->mapToGlobal(QPoint(0, -hint->MeasureHint(text).height() - 2));
    hint->ShowHintAt(at, text);
    F.btnMore->setAccessibleDescription(text);
    QTimer::singleShot(SayMs, this, [this, text] {
        TMHint* shown = F.Hint();
        if (shown && shown->IsShowing() && shown->Window()->text() == text)
            shown->HideHint();
    });
}
