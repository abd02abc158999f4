#pragma once
// Plays a TGIFImage: composes frame after frame and keeps each on screen for its own delay,
// repeating as the loop extension says. Frames are due at times counted from the start of the
// animation, so the delays do not add up small timer errors.
//
// Only the first frame is composed on the caller's thread; the others are composed one ahead on
// a thread of their own (TGIFComposeAhead), so however large the canvas or a frame is, the
// thread that shows the picture only swaps pictures when a frame is due. A frame that is not
// composed yet when due is shown as soon as it is.

#include "gifimage/GIFComposeAhead.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>

class TGIFPlayer : public QObject {
    Q_OBJECT
public:
    explicit TGIFPlayer(QObject* parent = nullptr);

    // Shows the first frame of `image` and starts playing it (a single frame just stays).
    void SetImage(std::shared_ptr<const TGIFImage> image);
    std::shared_ptr<const TGIFImage> Image() const { return FImage; }

    // What is shown now (empty without a picture).
    QImage CurrentFrame() const;
    int CurrentIndex() const;
    // Passes started so far (1 while the first pass plays).
    int Pass() const { return FPass; }
    bool IsPlaying() const { return FTimer.isActive() || FWaiting; }
    void Stop();

    // Shows the next frame, as the timer does when it is due (without the timer): at once when it
    // is composed, else as soon as it is.
    void Step();

signals:
    // A new frame is on show.
    void FrameChanged();
    // The last pass ended on its last frame.
    void Finished();

private:
    void Tick();
    void Show(TGIFComposedFrame frame);
    void ScheduleNext();
    void OnComposed(int generation);
    std::shared_ptr<const TGIFImage> FImage;
    TGIFComposedFrame FShown;
    bool FWaiting = false; // the next frame is due but not composed yet
    int FGeneration = 0;   // tells a replaced picture's late news apart
    QTimer FTimer;
    QElapsedTimer FClock;
    qint64 FDueMs = 0; // when the frame on show ends, on FClock
    int FPass = 0;
    std::unique_ptr<TGIFComposeAhead> FAhead; // last: stopped before anything it reports to
};
