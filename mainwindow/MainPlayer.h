#pragma once
// Playing and scrubbing in the main window: the playback and seek workers, the frame display on
// the player panel through one reused back buffer, the crop and time decorations, pausing, the
// end of the video and the track bar with its time hint.

#include <QImage>
#include <QRect>
#include <cstdint>

class QObject;
class QPainter;
class TCustomDecoder;
class TMainForm;

class TMainPlayer {
public:
    explicit TMainPlayer(TMainForm& form) : F(form) {}

    void Play();
    void Pause(QObject* sender);
    void StartPlayback(int64_t pts);
    void StopPlayback();
    void ShowVideoFrame(TCustomDecoder* decoder, QImage& frame);
    void EndOfVideo();
    // Draws the back buffer, or the start screen while no video is open.
    void PaintPlayer(QPainter& painter);

    void TrackBarMouseDown();
    void TrackBarChange();
    void TrackBarMouseUp();
    void TrackBarTimer();
    int64_t TrackBarPTS() const;
    void SetTrackBarSilently(int maximum, double fraction);
    // Tells screen readers the time under the thumb.
    void DescribePosition();

    // The crop rectangle of the project over a frame shown in `imageRect`, and the time at the
    // top-left corner on a box of `background`.
    void DrawCropArea(QPainter& painter, const QRect& imageRect) const;
    static void DrawTimeStamp(QPainter& painter, int64_t pts, const QColor& background);

    // The still view and the player swap places; the play and pause buttons follow.
    void ShowPlayingState(bool playing);

private:
    void ShowTimeHint();
    // The player in place of the still view while the thumb moves.
    void ShowScrubView();
    // The end of a scrub: playback goes on at the thumb's time.
    void PlayFromTrackBar();
    void DrawOverlaysOver(QPainter& painter, const QRect& imageRect, const QSize& frameSize);

    TMainForm& F;
    bool FSelectionEndPosted = false;
};
