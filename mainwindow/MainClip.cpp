#include "mainwindow/MainClip.h"

#include "app/VGApp.h"
#include "common/CommonFunctions.h"
#include "conversion/PreviewFrm.h"
#include "conversion/PublishFrm.h"
#include "decoder/CustomDecoder.h"
#include "mainwindow/MainFrm.h"
#include "mainwindow/MainStrip.h"
#include "playback/DecodePlayer.h"
#include "project/VGConfig.h"
#include "project/VGProj.h"
#include "ui/UIUtils.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <algorithm>

void TMainClip::EditChanged() {
    F.tmClip->stop();
    F.tmClip->start();
}

void TMainClip::ClipTimer() {
    F.tmClip->stop();
    if (ApplyClipEdits()) {
        F.ShotView->Repaint();
        ShowClipOnTrackBar();
        emit ClipChanged();
    }
}

void TMainClip::EditLeft(QLineEdit* edit) {
    if (!F.Project() || !edit->isEnabled())
        return;
    ClipTimer();
    // A partly typed time means something the user cannot see ("7_:__" is seventy hours, cut to
    // the video's end): the edit shows what was taken, or nothing when no time was.
    const int64_t bound = edit == F.edtStart ? F.Project()->StartPTS : F.Project()->EndPTS;
    SetValueNoChange(edit, bound == AV_NOPTS_VALUE ? QString() : FormatPTS(bound, 3));
}

void TMainClip::ShowClipOnTrackBar() {
    const TVGProj* proj = F.Project();
    if (!proj || proj->Duration <= 0 || !proj->IsClipValid()) {
        F.TrackBar->SetMarkedRange(0, 0);
        return;
    }
    const double duration = double(proj->Duration);
    F.TrackBar->SetMarkedRange(double(proj->StartPTS) / duration, double(proj->EndPTS) / duration);
}

int64_t TMainClip::EditTextToPTS(const QString& text) {
    const bool blank =
        std::none_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return blank ? AV_NOPTS_VALUE : StrToPTS(text, 3);
}

bool TMainClip::ApplyEdit(const QString& text, int64_t& bound) const {
    const int64_t t = EditTextToPTS(text);
    if (t == bound)
        return false;
    if (t == AV_NOPTS_VALUE)
        bound = t;
    else if (bound == AV_NOPTS_VALUE || !TVGProj::SameShownTime(t, bound))
        bound = std::min<int64_t>(t, F.Project()->Duration);
    return true;
}

bool TMainClip::ApplyClipEdits() {
    if (!F.Project())
        return false;
    const int64_t oldStart = F.Project()->StartPTS, oldEnd = F.Project()->EndPTS;
    ApplyEdit(F.edtStart->text(), F.Project()->StartPTS);
    ApplyEdit(F.edtEnd->text(), F.Project()->EndPTS);
    const bool changed = F.Project()->StartPTS != oldStart || F.Project()->EndPTS != oldEnd;
    if (changed)
        F.Project()->SnapClipToFrame(nullptr);
    return changed;
}

int64_t TMainClip::PositionForBound(QObject* sender, int64_t current, QObject* stripItem) const {
    if (sender == stripItem) {
        if (F.ShotView->GetSelCount() == 1)
            if (const TVGFrame* frame = TMainStrip::FrameOf(F.ShotView->GetSelPhoto(0)))
                return frame->PTS;
        return current;
    }
    if (F.PlayThread() && F.PlayThread()->GetLastPTS() != AV_NOPTS_VALUE)
        return F.PlayThread()->GetLastPTS();
    // The player shows a scrubbed picture: the bound is the time of what is seen.
    if (F.IsPlaying())
        return F.CurPTS();
    return F.CurrentFrame() ? F.CurrentFrame()->PTS : 0;
}

void TMainClip::SetStart(QObject* sender) {
    if (!F.Project())
        return;
    F.Project()->StartPTS = PositionForBound(sender, F.Project()->StartPTS, F.pmiStartTime);
    SetValueNoChange(F.edtStart, FormatPTS(F.Project()->StartPTS, 3));
    F.ShotView->Repaint();
    ShowClipOnTrackBar();
    emit ClipChanged();
}

void TMainClip::SetEnd(QObject* sender) {
    if (!F.Project())
        return;
    F.Project()->EndPTS = PositionForBound(sender, F.Project()->EndPTS, F.pmiEndTime);
    SetValueNoChange(F.edtEnd, FormatPTS(F.Project()->EndPTS, 3));
    F.ShotView->Repaint();
    ShowClipOnTrackBar();
    emit ClipChanged();
}

void TMainClip::MoreClick() {
    QPoint at = F.btnPlay->mapToGlobal(QPoint(0, F.btnPlay->height()));
    const QScreen* screen = F.btnPlay->screen();
    if (screen && screen->geometry().bottom() + 1 - at.y() < 72)
        at = F.btnMore->mapToGlobal(QPoint(F.btnMore->width(), F.btnMore->height()));
    F.pmToolbarPopup();
    F.pmToolbar->popup(at);
}

void TMainClip::ToolbarPopup() {
    ClipTimer();
    const bool open = F.Project() != nullptr;
    F.pmiPlaySelect->setEnabled(open && F.Project()->IsClipValid());
    F.pmiLocateStart->setEnabled(open && F.Project()->StartPTS != AV_NOPTS_VALUE);
    F.pmiLocateEnd->setEnabled(open && F.Project()->EndPTS != AV_NOPTS_VALUE);
    for (QAction* item : {F.pmiLoopEnd, F.pmiLoopStart, F.pmiTrimStill})
        item->setEnabled(open && F.Project()->IsClipValid());
}

void TMainClip::LocateStart() {
    if (!F.Project() || F.Project()->StartPTS == AV_NOPTS_VALUE)
        return;
    if (F.IsPlaying())
        F.StopPlayback();
    emit StartLocated(F.Project()->StartPTS);
}

void TMainClip::LocateEnd() {
    if (!F.Project() || F.Project()->EndPTS == AV_NOPTS_VALUE)
        return;
    if (F.IsPlaying())
        F.StopPlayback();
    emit EndLocated(F.Project()->EndPTS);
}

void TMainClip::PlaySelect() {
    if (!F.Project() || !F.Project()->IsClipValid())
        return;
    if (F.IsPlaying())
        F.StopPlayback();
    emit SelectionPlayRequested(F.Project()->StartPTS);
}

void TMainClip::StepFrame(bool forward) {
    if (!F.Project())
        return;
    if (F.IsPlaying())
        F.StopPlayback();
    TPhotoData* focused = F.ShotView->GetFocusedPhoto();
    if (!focused)
        return;
    TPhotoData* next = forward ? focused->NextPhoto() : focused->PrevPhoto();
    if (!next) {
        if (forward)
            F.AppendNextGroup(false);
        else
            F.PrependPriorGroup(false);
        next = forward ? focused->NextPhoto() : focused->PrevPhoto();
    }
    if (!next)
        return;
    F.ShotView->ClearSelected();
    F.ShotView->SetFocusedPhoto(next);
    next->SetSelected(true);
    next->MakeVisible();
    F.ShotViewSelectedChange();
}

void TMainClip::FrameButtonDown(bool forward) {
    F.tmAutoNext->stop();
    FAutoForward = forward;
    F.tmAutoNext->setInterval(AutoStepDelayMs);
    F.tmAutoNext->start();
}

void TMainClip::FrameButtonUp() {
    F.tmAutoNext->stop();
}

void TMainClip::AutoNextTimer() {
    F.tmAutoNext->setInterval(AutoStepIntervalMs);
    StepFrame(FAutoForward);
}

void TMainClip::Convert() {
    if (!F.Project())
        return;
    ClipTimer();
    const int64_t start = F.Project()->StartPTS, end = F.Project()->EndPTS;
    if (start != AV_NOPTS_VALUE && end != AV_NOPTS_VALUE && start > end) {
        MsgBox(QStringLiteral("The start time is after the end time."), mbOK, miError, 1);
        F.edtStart->setFocus();
        return;
    }
    if (!F.Project()->IsClipValid()) {
        MsgBox(QStringLiteral("Please specify the video clipping time first."), mbOK, miError, 1);
        F.edtStart->setFocus();
        return;
    }
    if (F.IsPlaying())
        F.acPauseExecute(F.btnConvert);
    // Made in the work folder under the name of its format, until the preview saves it.
    if (App)
        F.Project()->GifFile =
            App->TempPath + QStringLiteral("preview.") + FormatExtension(F.Project()->OutputFormat);
    if (ExecutePublishForm(F.Project()))
        ExecutePreviewForm(F.Project());
}
