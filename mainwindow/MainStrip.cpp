#include "mainwindow/MainStrip.h"

#include "app/VGUIApp.h"
#include "common/CommonFunctions.h"
#include "decoder/CustomDecoder.h"
#include "mainwindow/FrameMarks.h"
#include "mainwindow/MainFrm.h"
#include "project/FrameWriter.h"
#include "project/VGConfig.h"
#include "project/VGProj.h"
#include "widgets/FlatControls.h"
#include "widgets/SkinButton.h"
#include "widgets/ThumbStrip.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// What a screen reader says of a frame in the strip: its time and the mark it shows. A deleted
// frame is left out wherever it lies, so it is never also said to be in the clip.
QString DescribeFrame(const TVGProj* proj, const TVGFrame* frame) {
    if (!frame)
        return {};
    QString text = FormatPTS(frame->PTS, 3);
    if (frame->Deleted)
        text += QStringLiteral(", deleted");
    else if (proj && proj->IsInClip(frame->PTS))
        text += QStringLiteral(", in the clip");
    return text;
}

} // namespace

TVGFrame* TMainStrip::FrameOf(const TPhotoData* item) {
    return item ? static_cast<TVGFrame*>(item->Data) : nullptr;
}

int TMainStrip::DecodeCount() const {
    return Config && Config->DecodeNum > 0 ? Config->DecodeNum : 30;
}

void TMainStrip::LoadStripAtPosition(QObject* sender) {
    if (!F.Project() || !F.Decoder())
        return;
    const int count = (sender == F.btnCrop || sender == F.btnConvert) ? 1 : DecodeCount();
    std::vector<TVGFrame*> frames;
    F.Project()->ExtractFrames(F.Decoder(), count, &F, frames, F.CurPTS());
    ShowFrames(frames, false);
}

void TMainStrip::LoadStripEndingAt(int64_t pts) {
    if (!F.Project() || !F.Decoder())
        return;
    std::vector<TVGFrame*> frames;
    F.Project()->ExtractFramesBefore(F.Decoder(), DecodeCount(), &F, frames, pts + 1);
    std::vector<TVGFrame*> shown;
    for (TVGFrame* frame : frames)
        if (frame->PTS <= pts)
            shown.push_back(frame);
    ShowFrames(shown, true);
}

void TMainStrip::ShowFrames(const std::vector<TVGFrame*>& frames, bool focusLast) {
    F.ShotView->Clear();
    for (TVGFrame* frame : frames)
        F.ShotView->AddPhoto(frame->FileName)->Data = frame;
    UpdateStripRange();
    const int count = F.ShotView->Count();
    if (count > 0)
        FocusItem(F.ShotView->Item(focusLast ? count - 1 : 0), focusLast);
    else
        F.ShotView->UpdatePhotos();
    F.lblProgress->hide();
}

void TMainStrip::FocusItem(TPhotoData* item, bool toEnd) {
    F.ShotView->ClearSelected();
    F.ShotView->SetFocusedPhoto(item);
    item->SetSelected(true);
    F.ShotView->UpdatePhotos();
    F.ShotView->SetHorzScrollPos(toEnd ? INT_MAX : 0);
    SelectedChange();
}

void TMainStrip::AppendNextGroup(bool focusLast) {
    if (!F.Project() || !F.Decoder())
        return;
    std::vector<TVGFrame*> frames;
    F.Project()->ExtractFrames(F.Decoder(), DecodeCount(), &F, frames, Own.FStripLastPTS);
    const bool empty = F.ShotView->Count() == 0;
    for (TVGFrame* frame : frames)
        if (empty || frame->PTS > Own.FStripLastPTS)
            F.ShotView->AddPhoto(frame->FileName)->Data = frame;
    if (!frames.empty())
        UpdateStripRange();
    if (focusLast && F.ShotView->Count() > 0)
        FocusItem(F.ShotView->Item(F.ShotView->Count() - 1), true);
    else
        F.ShotView->UpdatePhotos();
    F.lblProgress->hide();
}

void TMainStrip::PrependPriorGroup(bool focusFirst) {
    if (!F.Project() || !F.Decoder())
        return;
    std::vector<TVGFrame*> frames;
    F.Project()->ExtractFramesBefore(F.Decoder(), DecodeCount(), &F, frames, Own.FStripFirstPTS);
    const bool empty = F.ShotView->Count() == 0;
    for (auto it = frames.rbegin(); it != frames.rend(); ++it)
        if (empty || (*it)->PTS < Own.FStripFirstPTS)
            F.ShotView->InsertPhoto((*it)->FileName, 0)->Data = *it;
    if (!frames.empty())
        UpdateStripRange();
    if (focusFirst && F.ShotView->Count() > 0)
        FocusItem(F.ShotView->Item(0), false);
    else
        F.ShotView->UpdatePhotos();
    F.lblProgress->hide();
}

bool TMainStrip::DecoderBusy() const {
    return F.PlayThread() || F.Seeker();
}

void TMainStrip::Clear() {
    F.ShotView->Clear();
    FRetried.clear();
    Own.FCurFrame = nullptr;
    Own.FDragElement = nullptr;
    Own.FDragging = false;
    Own.FStripFirstPTS = Own.FStripLastPTS = 0;
    Own.FFrameBitmap = QImage();
    Own.FShotGraphic = QImage();
}

void TMainStrip::UpdateStripRange() {
    // Every filling of the strip passes here: its items are described from the project's frames.
    F.ShotView->SetItemDescriber(
        [this](int index) { return DescribeFrame(F.Project(), FrameOf(F.ShotView->Item(index))); });
    const int count = F.ShotView->Count();
    Own.FStripFirstPTS = count ? FrameOf(F.ShotView->Item(0))->PTS : 0;
    Own.FStripLastPTS = count ? FrameOf(F.ShotView->Item(count - 1))->PTS : 0;
    KeepShownPictures();
}

void TMainStrip::KeepShownPictures() {
    // The pictures in view stay in the work folder; the others may leave it when it grows past
    // its budget (their frames are made again from the video when they come into view again).
    QStringList kept;
    for (const TPhotoData* item : F.ShotView->VisibleItems())
        if (const TVGFrame* frame = FrameOf(item))
            kept << frame->FileName;
    if (F.CurrentFrame())
        kept << F.CurrentFrame()->FileName;
    F.FrameWriter()->SetKept(kept);
}

void TMainStrip::PictureMissing(TPhotoData* item) {
    TVGFrame* frame = FrameOf(item);
    if (!frame || !F.Project())
        return;
    // A picture read just as the work folder let go of its file, or as its file was written
    // again, is had when asked once more (from memory, or from the video below).
    if (!FRetried.contains(frame) && !F.FrameWriter()->Picture(frame->FileName).isNull()) {
        FRetried.insert(frame);
        F.ShotView->ReloadThumbnail(item);
        return;
    }
    // Only while no worker drives the decoder; a picture still missing then shows as failed.
    if (!F.Decoder() || DecoderBusy() || !F.Project()->IsPictureGone(frame))
        return;
    // The frames after it in view most likely went too: made again in one pass, no further.
    const std::vector<TPhotoData*> visible = F.ShotView->VisibleItems();
    const auto from = std::find(visible.begin(), visible.end(), item);
    const int count = int(std::max<std::ptrdiff_t>(1, visible.end() - from));
    std::vector<TVGFrame*> remade;
    F.Project()->ExtractFrames(F.Decoder(), count, nullptr, remade, frame->PTS);
    for (TPhotoData* other : visible)
        if (other->ThumbState() == TPhotoData::tsFailed &&
            std::find(remade.begin(), remade.end(), FrameOf(other)) != remade.end())
            F.ShotView->ReloadThumbnail(other);
    KeepShownPictures();
}

void TMainStrip::SelectedChange() {
    TVGFrame* frame = FrameOf(F.ShotView->GetFocusedPhoto());
    if (!frame || !F.Project())
        return;
    // A thumbnail clicked during playback makes playback jump there.
    if (F.IsPlaying()) {
        emit FrameChosenWhilePlaying(frame->PTS);
        return;
    }
    if (frame != F.CurrentFrame()) {
        Own.FCurFrame = frame;
        RefreshShot(false);
        KeepShownPictures();
    }
    emit FrameFocused(frame->PTS);
}

void TMainStrip::RefreshShot(bool keepBitmap) {
    // A picture the work folder let go is made again from the video first.
    if (!keepBitmap && F.CurrentFrame() && F.Project() &&
        F.Project()->IsPictureGone(F.CurrentFrame()) && F.Decoder() && !DecoderBusy()) {
        std::vector<TVGFrame*> remade;
        F.Project()->ExtractFrames(F.Decoder(), 1, nullptr, remade, F.CurrentFrame()->PTS);
    }
    // The loaded picture is kept in the painting format, so a drag only copies it.
    if (!keepBitmap)
        Own.FFrameBitmap = F.CurrentFrame() ? F.FrameWriter()
                                                  ->Picture(F.CurrentFrame()->FileName)
                                                  .convertToFormat(QImage::Format_RGB32)
                                            : QImage();
    Own.FShotGraphic = Own.FFrameBitmap.copy();
    if (!Own.FShotGraphic.isNull() && F.Project())
        F.Project()->DrawOverlays(Own.FShotGraphic);
    F.pnlShot->repaint();
}

QRect TMainStrip::ShotImageRect() const {
    const QSize panel = F.pnlShot->size();
    if (!F.Project())
        return {};
    return CenteredRect(panel, GetFillSize(panel.width(), panel.height(), F.Project()->VideoWidth,
                                           F.Project()->VideoHeight, false));
}

void TMainStrip::PaintShot(QPainter& painter) {
    if (!F.CurrentFrame() || !F.Project())
        return;
    const QRect imageRect = ShotImageRect();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!Own.FShotGraphic.isNull())
        painter.drawImage(imageRect, Own.FShotGraphic);
    if (F.Project()->CropEnabled && (!Config || Config->ShowCropRc))
        DrawCropArea(painter, *F.Project(), imageRect);
    DrawTimeStamp(painter, F.CurrentFrame()->PTS, QColor(243, 243, 243));
}

void TMainStrip::ShotMouseDown(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !F.CurrentFrame() || !F.Project())
        return;
    const QRect image = ShotImageRect();
    if (image.isEmpty())
        return;
    const double scaleX = double(image.width()) / F.Project()->VideoWidth;
    const double scaleY = double(image.height()) / F.Project()->VideoHeight;
    const QPoint at = event->position().toPoint();
    const QPointF video((at.x() - image.x()) / scaleX, (at.y() - image.y()) / scaleY);
    TVGElement* element = F.Project()->ElementAt(video);
    if (!element)
        return;
    Own.FDragElement = element;
    Own.FDragStart = at;
    Own.FDragOrigin = QPoint(element->X, element->Y);
    Own.FDragging = false;
}

void TMainStrip::ShotMouseMove(QMouseEvent* event) {
    if (!Own.FDragElement || !F.Project())
        return;
    const QPoint at = event->position().toPoint();
    const int dx = at.x() - Own.FDragStart.x(), dy = at.y() - Own.FDragStart.y();
    if (!Own.FDragging) {
        if (dx * dx + dy * dy <= 4)
            return; // not past the 2-pixel threshold yet
        Own.FDragging = true;
    }
    const QRect image = ShotImageRect();
    if (image.isEmpty())
        return;
    const double scaleX = double(image.width()) / F.Project()->VideoWidth;
    const double scaleY = double(image.height()) / F.Project()->VideoHeight;
    Own.FDragElement->X = int(std::floor(dx / scaleX)) + Own.FDragOrigin.x();
    Own.FDragElement->Y = int(std::floor(dy / scaleY)) + Own.FDragOrigin.y();
    RefreshShot(true);
}

void TMainStrip::ShotMouseUp() {
    if (Own.FDragging)
        emit GifChanged();
    Own.FDragElement = nullptr;
    Own.FDragging = false;
}

void TMainStrip::DrawPhoto(TPhotoData* item, const QRectF& imageRect, const QRect& textRect,
                           QPainter& painter) {
    const TVGFrame* frame = FrameOf(item);
    if (!frame || !F.Project())
        return;
    const QString text = FormatPTS(frame->PTS, 3);
    const QFontMetrics metrics(F.ShotView->font());
    painter.save();
    painter.setFont(F.ShotView->font());
    painter.fillRect(
        QRect(textRect.topLeft(), QSize(metrics.horizontalAdvance(text), metrics.height())),
        QColor(243, 243, 243));
    painter.setPen(F.ShotView->palette().color(QPalette::WindowText));
    painter.drawText(textRect.topLeft() + QPoint(0, metrics.ascent()), text);
    if (UIApp) {
        const QImage& deleted = UIApp->GetDeleteFlag();
        if (frame->Deleted && !deleted.isNull())
            painter.drawImage(
                QPointF(imageRect.right() - deleted.width(), imageRect.bottom() - deleted.height()),
                deleted);
        // A deleted frame is left out of the GIF wherever it lies: it shows the deleted mark
        // alone, never the in-clip check beside it.
        const QImage& inClip = UIApp->GetSelectFlag();
        if (!frame->Deleted && F.Project()->IsInClip(frame->PTS) && !inClip.isNull())
            painter.drawImage(QPointF(imageRect.left(), imageRect.bottom() - inClip.height()),
                              inClip);
    }
    painter.restore();
}

void TMainStrip::KeyDown(int key) {
    if (key == Qt::Key_Delete)
        F.acDeleteExecute();
}

void TMainStrip::DeleteSelected(bool deleted) {
    bool changed = false;
    for (int i = 0; i < F.ShotView->GetSelCount(); ++i) {
        TVGFrame* frame = FrameOf(F.ShotView->GetSelPhoto(i));
        if (frame && frame->Deleted != deleted) {
            frame->Deleted = deleted;
            changed = true;
        }
    }
    if (!changed)
        return;
    F.ShotView->Repaint();
    emit GifChanged();
}

void TMainStrip::CountSelected(int& deleted, int& kept) const {
    deleted = kept = 0;
    for (int i = 0; i < F.ShotView->GetSelCount(); ++i)
        if (const TVGFrame* frame = FrameOf(F.ShotView->GetSelPhoto(i)))
            ++(frame->Deleted ? deleted : kept);
}

void TMainStrip::UpdatePopupStates() {
    int deleted = 0, kept = 0;
    CountSelected(deleted, kept);
    F.pmiDelete->setEnabled(kept > 0);
    F.pmiRestore->setEnabled(deleted > 0);
    const bool single = F.ShotView->GetSelCount() == 1;
    F.pmiStartTime->setEnabled(single);
    F.pmiEndTime->setEnabled(single);
}

void TMainStrip::Popup(const QPoint& globalPoint) {
    F.pmShotViewPopup();
    F.pmShotView->popup(globalPoint);
}

void TMainStrip::PlaceProgressLabel() {
    QLabel* label = F.lblProgress;
    const int h = label->fontMetrics().height();
    const int scrollBar = F.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QRect view = F.ShotView->geometry();
    label->setGeometry(view.x() + view.width() / 2 - label->width() / 2,
                       view.y() + (view.height() - scrollBar) / 2 - h / 2, label->width(), h);
}

void TMainStrip::NextMore() {
    if (F.IsPlaying())
        F.StopPlayback();
    AppendNextGroup(true);
}

void TMainStrip::PriorMore() {
    if (F.IsPlaying())
        F.StopPlayback();
    PrependPriorGroup(true);
}
