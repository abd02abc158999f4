#include "mainwindow/MainPlayer.h"

#include "common/CommonFunctions.h"
#include "decoder/CustomDecoder.h"
#include "mainwindow/MainFrm.h"
#include "playback/DecodePlayer.h"
#include "project/VGConfig.h"
#include "project/VGProj.h"
#include "ui/MHintWindow.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"
#include "widgets/WinColor.h"

#include <QCoreApplication>
#include <QPainter>
#include <QSignalBlocker>
#include <QTimer>
#include <cmath>

void TMainPlayer::Play() {
    if (!F.Project())
        return;
    TSafeThread::SafeFree(F.FSeeker);
    const TVGFrames& frames = F.Project()->Frames;
    const bool atLastFrame = frames.Count() > 0 && F.CurrentFrame() == frames[frames.Count() - 1];
    const int64_t start =
        (!F.CurrentFrame() || (F.FEndReached && atLastFrame)) ? 0 : F.CurrentFrame()->PTS;
    StartPlayback(start);
    ShowPlayingState(true);
    F.FEndReached = false;
}

void TMainPlayer::Pause(QObject* sender) {
    StopPlayback();
    F.LoadStripAtPosition(sender);
}

void TMainPlayer::StartPlayback(int64_t pts) {
    // Whatever drove the decoder before (a playback, a scrub waiting for its timer) stops first,
    // so the decoder is never driven from two threads and the timer cannot restart anything.
    F.FreeWorkers();
    // An end message of a worker that is gone must not stop the new one.
    QCoreApplication::removePostedEvents(&F, Msg::PlayEnded);
    FSelectionEndPosted = false;
    if (!F.Decoder())
        return;
    F.FPlayThread = new TDecodePlayThread();
    F.FPlayThread->Decoder = F.Decoder();
    F.FPlayThread->OnFrame = [this](TCustomDecoder* decoder, QImage& picture) {
        F.ShowVideoFrame(decoder, picture);
    };
    F.FPlayThread->EndMessage = Msg::PlayEnded;
    F.FPlayThread->NotifyWindow = &F;
    // When the decoder cannot be positioned the worker stays unstarted and nothing plays.
    (void)F.FPlayThread->LocateAndStart(pts);
}

void TMainPlayer::StopPlayback() {
    if (F.FPlayThread) {
        F.FPlayThread->Terminate();
        if (F.FPlayThread->GetLastPTS() != AV_NOPTS_VALUE)
            F.FCurPTS = F.FPlayThread->GetLastPTS();
    }
    F.FreeWorkers();
    if (F.FHint)
        F.FHint->HideHint();
    F.FTrackDragging = false;
    ShowPlayingState(false);
    F.TrackBar->repaint();
    F.FPlayingSelection = false;
    F.UpdateControls();
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
    if (F.FBackBuffer.size() != panel)
        F.FBackBuffer = QImage(panel, QImage::Format_RGB32);
    F.FBackBuffer.fill(Qt::black);
    {
        QPainter painter(&F.FBackBuffer);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(imageRect, frame);
        DrawOverlaysOver(painter, imageRect, frame.size());
        if (F.Project()->CropEnabled && (!Config || Config->ShowCropRc))
            DrawCropArea(painter, imageRect);
        DrawTimeStamp(painter, decoder->CurrentPTS(), Qt::white);
    }
    // Drawn now, so the frame is on screen when the worker's hand-over returns.
    F.pnlPlayer->repaint();
    F.FCurPTS = decoder->CurrentPTS();
    if (F.FPlayThread && F.Project()->Duration > 0)
        SetTrackBarSilently(-1, double(F.CurPTS()) / double(F.Project()->Duration));
    if (F.FPlayingSelection && !FSelectionEndPosted && F.CurPTS() >= F.Project()->EndPTS) {
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

void TMainPlayer::PaintPlayer(QPainter& painter) {
    if (F.FStartScreen)
        F.pnlPlayerPaint(painter);
    else if (!F.FBackBuffer.isNull())
        painter.drawImage(0, 0, F.FBackBuffer);
}

void TMainPlayer::EndOfVideo() {
    if (F.btnPause->isVisible())
        Pause(nullptr);
    F.FEndReached = true;
}

void TMainPlayer::DrawCropArea(QPainter& painter, const QRect& imageRect) const {
    if (!F.Project() || F.Project()->VideoWidth <= 0)
        return;
    const double scale = double(imageRect.width()) / F.Project()->VideoWidth;
    const QRect crop = Intersection(
        ScaleRect(F.Project()->CropRect.ToQRect(), scale).translated(imageRect.topLeft()),
        imageRect);
    if (crop.isEmpty())
        return;
    const QColor color = WinColorToQColor(Config ? TColor(Config->CropRcColor) : 255);
    painter.save();
    painter.setPen(color);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(crop.adjusted(0, 0, -1, -1));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    painter.setFont(font);
    painter.drawText(crop.topLeft() + QPoint(1, 1 + QFontMetrics(font).ascent()),
                     QStringLiteral("Crop Area"));
    painter.restore();
}

void TMainPlayer::DrawTimeStamp(QPainter& painter, int64_t pts, const QColor& background) {
    const QString text = FormatPTS(pts, 3);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const QRect box(0, 0, metrics.horizontalAdvance(text) + 4, metrics.height());
    painter.save();
    painter.fillRect(box, background);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
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
    F.FTrackDragging = true;
    TSafeThread::SafeFree(F.FPlayThread);
    ShowScrubView();
}

void TMainPlayer::ShowScrubView() {
    // Scrubbing from the still view (just opened, paused, at the end) shows the player at once,
    // starting from the picture the still view shows, so the frames under the thumb are seen
    // and playback goes on from there when the scrub ends.
    if (F.pnlPlayer->isVisible())
        return;
    F.FBackBuffer = QImage(F.pnlPlayer->size(), QImage::Format_RGB32);
    F.FBackBuffer.fill(Qt::black);
    F.pnlShot->render(&F.FBackBuffer);
    ShowPlayingState(true);
    F.FEndReached = false;
}

void TMainPlayer::PlayFromTrackBar() {
    if (F.FHint)
        F.FHint->HideHint();
    TSafeThread::SafeFree(F.FSeeker);
    StartPlayback(TrackBarPTS());
    ShowPlayingState(true);
    F.FEndReached = false;
}

void TMainPlayer::TrackBarChange() {
    if (!F.Decoder() || !F.Project())
        return;
    TSafeThread::SafeFree(F.FPlayThread);
    ShowScrubView();
    if (!F.FSeeker) {
        F.FSeeker = new TDecoderSeek();
        F.FSeeker->Decoder = F.Decoder();
        F.FSeeker->OnFrame = [this](TCustomDecoder* decoder, QImage& picture) {
            F.ShowVideoFrame(decoder, picture);
        };
        F.FSeeker->Start();
    }
    F.FSeeker->RequestSeek(TrackBarPTS());
    DescribePosition();
    if (!F.FTrackDragging) {
        F.tmTrackBar->stop();
        F.tmTrackBar->start();
    }
    ShowTimeHint();
}

void TMainPlayer::ShowTimeHint() {
    if (!F.FHint)
        return;
    const QString text = FormatPTS(TrackBarPTS(), 3);
    const QSize size = F.FHint->MeasureHint(text);
    const QPoint origin = F.TrackBar->mapToGlobal(QPoint(0, 0));
    F.FHint->ShowHintAt(QPoint(origin.x() + F.TrackBar->value() - size.width(), origin.y() - 2),
                        text);
}

void TMainPlayer::TrackBarMouseUp() {
    if (!F.FTrackDragging)
        return;
    PlayFromTrackBar();
    F.FTrackDragging = false;
}

void TMainPlayer::TrackBarTimer() {
    F.tmTrackBar->stop();
    PlayFromTrackBar();
}
