#pragma once
// Plays a TGIFImage: composes frame after frame and keeps each on screen for its own delay,
// repeating as the loop extension says. Frames are due at times counted from the start of the
// animation, so the delays do not add up small timer errors.

#include "gifimage/GIFComposer.h"

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
    bool IsPlaying() const { return FTimer.isActive(); }
    void Stop();

    // Shows the next frame at once, as the timer does when it is due (without the timer).
    void Step();

signals:
    // A new frame is on show.
    void FrameChanged();
    // The last pass ended on its last frame.
    void Finished();

private:
    void Tick();
    void ScheduleNext();
    std::shared_ptr<const TGIFImage> FImage;
    std::unique_ptr<TGIFComposer> FComposer;
    QTimer FTimer;
    QElapsedTimer FClock;
    qint64 FDueMs = 0; // when the frame on show ends, on FClock
    int FPass = 0;
};
