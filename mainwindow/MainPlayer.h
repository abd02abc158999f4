#pragma once
// Playing and scrubbing in the main window: the playback and seek workers, the frame display on
// the player panel through one reused back buffer, the crop and time decorations, pausing, the
// end of the video and the track bar with its time hint.

#include <QImage>
#include <QObject>
#include <QRect>
#include <cstdint>

class QPainter;
class TCustomDecoder;
class TDecodePlayThread;
class TDecoderSeek;
class TMainForm;

class TMainPlayer : public QObject {
    Q_OBJECT
public:
    // The window's fields the player is responsible for and alone writes. They stay fields of
    // the form, which everything else reads through the form's accessors.
    struct TFields {
        TDecodePlayThread*& FPlayThread;
        TDecoderSeek*& FSeeker;
        int64_t& FCurPTS;
        bool& FTrackDragging;
        QImage& FBackBuffer;
        bool& FEndReached;
        bool& FPlayingSelection;
    };

    TMainPlayer(TMainForm& form, TFields own) : F(form), Own(own) {}

    void Play();
    void Pause(QObject* sender);
    void StartPlayback(int64_t pts);
    void StopPlayback();
    // Plays the clip from `start` and stops at its end.
    void PlaySelection(int64_t start);
    // Stops and frees the playback and seek workers and the scrubbing timer, so nothing but the
    // UI thread drives the decoder afterwards.
    void FreeWorkers();
    // A video was opened: nothing plays, the position is its start.
    void Reset();
    // The window is going: the workers stop and the back buffer is let go.
    void Close();
    // The position moves to `pts` without playing (the strip is then loaded there).
    void MoveTo(int64_t pts);
    void ShowVideoFrame(TCustomDecoder* decoder, QImage& frame);
    void EndOfVideo();
    // Draws the last frame shown.
    void PaintPlayer(QPainter& painter) const;

    void TrackBarMouseDown();
    void TrackBarChange();
    void TrackBarMouseUp();
    void TrackBarTimer();
    int64_t TrackBarPTS() const;
    void SetTrackBarSilently(int maximum, double fraction);
    // The thumb goes to `pts` without seeking.
    void ShowPosition(int64_t pts);
    // Tells screen readers the time under the thumb.
    void DescribePosition();

    // The still view and the player swap places; the play and pause buttons follow.
    void ShowPlayingState(bool playing);

signals:
    // Playback stopped on a pause (`sender` is what paused it): the strip shows the frames there.
    void Paused(QObject* sender);

private:
    void ShowTimeHint();
    // The player in place of the still view while the thumb moves.
    void ShowScrubView();
    // The end of a scrub: playback goes on at the thumb's time.
    void PlayFromTrackBar();
    void DrawOverlaysOver(QPainter& painter, const QRect& imageRect, const QSize& frameSize);

    TMainForm& F;
    TFields Own;
    bool FSelectionEndPosted = false;
};
