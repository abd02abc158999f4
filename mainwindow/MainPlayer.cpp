#include "mainwindow/MainPlayer.h"

#include "common/CommonFunctions.h"
#include "decoder/CustomDecoder.h"
#include "mainwindow/FrameMarks.h"
#include "mainwindow/MainFrm.h"
#include "playback/DecodePlayer.h"
#include "project/VGConfig.h"
#include "project/VGProj.h"
#include "ui/MHintWindow.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"

#include <QCoreApplication>
#include <QPainter>
#include <QSignalBlocker>
#include <QTimer>
#include <cmath>

void TMainPlayer::Play() {
    if (!F.Project())
        return;
    TSafeThread::SafeFree(Own.FSeeker);
    const TVGFrames& frames = F.Project()->Frames;
    const bool atLastFrame = frames.Count() > 0 && F.CurrentFrame() == frames[frames.Count() - 1];
    const int64_t start =
        (!F.CurrentFrame() || (Own.FEndReached && atLastFrame)) ? 0 : F.CurrentFrame()->PTS;
    StartPlayback(start);
    ShowPlayingState(true);
    Own.FEndReached = false;
}

void TMainPlayer::Pause(QObject* sender) {
    StopPlayback();
    emit Paused(sender);
}

void TMainPlayer::StartPlayback(int64_t pts) {
    // Whatever drove the decoder before (a playback, a scrub waiting for its timer) stops first,
    // so the decoder is never driven from two threads and the timer cannot restart anything.
    FreeWorkers();
    // An end message of a worker that is gone must not stop the new one.
    QCoreApplication::removePostedEvents(&F, Msg::PlayEnded);
    FSelectionEndPosted = false;
    if (!F.Decoder())
        return;
    Own.FPlayThread = new TDecodePlayThread();
    Own.FPlayThread->Decoder = F.Decoder();
    Own.FPlayThread->OnFrame = [this](TCustomDecoder* decoder, QImage& picture) {
        F.ShowVideoFrame(decoder, picture);
    };
    Own.FPlayThread->EndMessage = Msg::PlayEnded;
    Own.FPlayThread->NotifyWindow = &F;
    // When the decoder cannot be positioned the worker stays unstarted and nothing plays.
    (void)Own.FPlayThread->LocateAndStart(pts);
}

void TMainPlayer::StopPlayback() {
    if (Own.FPlayThread) {
        Own.FPlayThread->Terminate();
        if (Own.FPlayThread->GetLastPTS() != AV_NOPTS_VALUE)
            Own.FCurPTS = Own.FPlayThread->GetLastPTS();
    }
    FreeWorkers();
    if (F.Hint())
        F.Hint()->HideHint();
    Own.FTrackDragging = false;
    ShowPlayingState(false);
    F.TrackBar->repaint();
    Own.FPlayingSelection = false;
    F.UpdateControls();
}

void TMainPlayer::PlaySelection(int64_t start) {
    StartPlayback(start);
    ShowPlayingState(true);
    Own.FEndReached = false;
    Own.FPlayingSelection = true;
}

void TMainPlayer::FreeWorkers() {
    F.tmTrackBar->stop();
    TSafeThread::SafeFree(Own.FPlayThread);
    TSafeThread::SafeFree(Own.FSeeker);
}

void TMainPlayer::Reset() {
    FreeWorkers();
    Own.FCurPTS = 0;
    Own.FEndReached = false;
    Own.FPlayingSelection = false;
}

void TMainPlayer::Close() {
    FreeWorkers();
    Own.FBackBuffer = QImage();
}

void TMainPlayer::MoveTo(int64_t pts) {
    Own.FCurPTS = pts;
}

void TMainPlayer::ShowPlayingState(bool playing) {
    F.btnPlay->setVisible(!playing);
    F.btnPause->setVisible(playing);
    F.pnlPlayer->setVisible(playing);
    F.pnlShot->setVisible(!playing);
}

void TMainPlayer::ShowVideoFrame(TCustomDecoder* decoder, QImage& frame) {
    if (frame.width() == 0 || frame.height() == 0 || !F.Project())
        return;
    const QSize panel = F.pnlPlayer->size();
    const QRect imageRect = CenteredRect(
        panel, GetFillSize(panel.width(), panel.height(), frame.width(), frame.height(), false));
    if (Own.FBackBuffer.size() != panel)
        Own.FBackBuffer = QImage(panel, QImage::Format_RGB32);
    Own.FBackBuffer.fill(Qt::black);
    {
        QPainter painter(&Own.FBackBuffer);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(imageRect, frame);
        DrawOverlaysOver(painter, imageRect, frame.size());
        if (F.Project()->CropEnabled && (!Config || Config->ShowCropRc))
            DrawCropArea(painter, *F.Project(), imageRect);
        DrawTimeStamp(painter, decoder->CurrentPTS(), Qt::white);
    }
    // Drawn now, so the frame is on screen when the worker's hand-over returns.
    F.pnlPlayer->repaint();
    Own.FCurPTS = decoder->CurrentPTS();
    if (Own.FPlayThread && F.Project()->Duration > 0)
        SetTrackBarSilently(-1, double(F.CurPTS()) / double(F.Project()->Duration));
    if (Own.FPlayingSelection && !FSelectionEndPosted && F.CurPTS() >= F.Project()->EndPTS) {
        FSelectionEndPosted = true;
        PostMessage(&F, Msg::PlaySelectionEnd, 0, 0);
    }
}

void TMainPlayer::DrawOverlaysOver(QPainter& painter, const QRect& imageRect,
                                   const QSize& frameSize) {
    // The captions and the logo in video pixels, drawn at the size the frame shows: the same
    // picture as drawing them on the full frame first, at a fraction of the cost for big videos.
    TVGProj* proj = F.Project();
    if ((proj->Texts.Count() == 0 && !proj->Logo.Enabled) || frameSize.isEmpty())
        return;
    painter.save();
    painter.setClipRect(imageRect);
    painter.translate(imageRect.topLeft());
    painter.scale(double(imageRect.width()) / frameSize.width(),
                  double(imageRect.height()) / frameSize.height());
    if (proj->Texts.Count() > 0)
        proj->DrawTexts(painter, true);
    if (proj->Logo.Enabled)
        proj->DrawLogo(painter, true);
    painter.restore();
}

void TMainPlayer::PaintPlayer(QPainter& painter) const {
    if (!Own.FBackBuffer.isNull())
        painter.drawImage(0, 0, Own.FBackBuffer);
}

void TMainPlayer::EndOfVideo() {
    if (F.btnPause->isVisible())
        Pause(nullptr);
    Own.FEndReached = true;
}

int64_t TMainPlayer::TrackBarPTS() const {
    const int maximum = F.TrackBar->maximum();
    if (maximum <= 0 || !F.Project())
        return 0;
    return std::llround(double(F.TrackBar->value()) / maximum * double(F.Project()->Duration));
}

void TMainPlayer::SetTrackBarSilently(int maximum, double fraction) {
    const QSignalBlocker blocker(F.TrackBar);
    if (maximum != -1)
        F.TrackBar->setMaximum(qMax(0, maximum));
    if (!std::isfinite(fraction))
        fraction = 0;
    F.TrackBar->setValue(int(std::lround(F.TrackBar->maximum() * qBound(0.0, fraction, 1.0))));
    DescribePosition();
}

void TMainPlayer::ShowPosition(int64_t pts) {
    if (F.Project() && F.Project()->Duration > 0)
        SetTrackBarSilently(-1, double(pts) / double(F.Project()->Duration));
}

void TMainPlayer::DescribePosition() {
    // What a screen reader says of the track bar: the time under the thumb.
    F.TrackBar->setAccessibleDescription(F.Project() ? FormatPTS(TrackBarPTS(), 3) +
                                                           QStringLiteral(" of ") +
                                                           FormatPTS(F.Project()->Duration, 3)
                                                     : QString());
}

void TMainPlayer::TrackBarMouseDown() {
    if (!F.Project())
        return;
    Own.FTrackDragging = true;
    TSafeThread::SafeFree(Own.FPlayThread);
    ShowScrubView();
}

void TMainPlayer::ShowScrubView() {
    // Scrubbing from the still view (just opened, paused, at the end) shows the player at once,
    // starting from the picture the still view shows, so the frames under the thumb are seen
    // and playback goes on from there when the scrub ends.
    if (F.pnlPlayer->isVisible())
        return;
    Own.FBackBuffer = QImage(F.pnlPlayer->size(), QImage::Format_RGB32);
    Own.FBackBuffer.fill(Qt::black);
    F.pnlShot->render(&Own.FBackBuffer);
    ShowPlayingState(true);
    Own.FEndReached = false;
}

void TMainPlayer::PlayFromTrackBar() {
    if (F.Hint())
        F.Hint()->HideHint();
    TSafeThread::SafeFree(Own.FSeeker);
    StartPlayback(TrackBarPTS());
    ShowPlayingState(true);
    Own.FEndReached = false;
}

void TMainPlayer::TrackBarChange() {
    if (!F.Decoder() || !F.Project())
        return;
    TSafeThread::SafeFree(Own.FPlayThread);
    ShowScrubView();
    if (!Own.FSeeker) {
        Own.FSeeker = new TDecoderSeek();
        Own.FSeeker->Decoder = F.Decoder();
        Own.FSeeker->OnFrame = [this](TCustomDecoder* decoder, QImage& picture) {
            F.ShowVideoFrame(decoder, picture);
        };
        Own.FSeeker->Start();
    }
    Own.FSeeker->RequestSeek(TrackBarPTS());
    DescribePosition();
    if (!Own.FTrackDragging) {
        F.tmTrackBar->stop();
        F.tmTrackBar->start();
    }
    ShowTimeHint();
}

void TMainPlayer::ShowTimeHint() {
    if (!F.Hint())
        return;
    const QString text = FormatPTS(TrackBarPTS(), 3);
    const QSize size = F.Hint()->MeasureHint(text);
    const QPoint origin = F.TrackBar->mapToGlobal(QPoint(0, 0));
    F.Hint()->ShowHintAt(QPoint(origin.x() + F.TrackBar->value() - size.width(), origin.y() - 2),
                         text);
}

void TMainPlayer::TrackBarMouseUp() {
    if (!Own.FTrackDragging)
        return;
    PlayFromTrackBar();
    Own.FTrackDragging = false;
}

void TMainPlayer::TrackBarTimer() {
    F.tmTrackBar->stop();
    PlayFromTrackBar();
}
