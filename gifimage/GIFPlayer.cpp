#include "gifimage/GIFPlayer.h"

TGIFPlayer::TGIFPlayer(QObject* parent) : QObject(parent) {
    FTimer.setSingleShot(true);
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &TGIFPlayer::Tick);
}

void TGIFPlayer::SetImage(std::shared_ptr<const TGIFImage> image) {
    Stop();
    FAhead.reset();
    FImage = std::move(image);
    FShown = TGIFComposedFrame();
    FPass = 0;
    const int generation = ++FGeneration;
    if (!FImage || FImage->IsEmpty())
        return;
    auto composer = std::make_unique<TGIFComposer>(FImage);
    TGIFComposedFrame first;
    first.Index = composer->Advance();
    first.Picture = composer->Canvas();
    // A single frame never changes: nothing to compose ahead.
    if (FImage->FrameCount() > 1)
        FAhead = std::make_unique<TGIFComposeAhead>(std::move(composer), [this, generation] {
            QMetaObject::invokeMethod(
                this, [this, generation] { OnComposed(generation); }, Qt::QueuedConnection);
        });
    FClock.start();
    FDueMs = 0;
    Show(std::move(first));
}

QImage TGIFPlayer::CurrentFrame() const {
    return FShown.Picture;
}

int TGIFPlayer::CurrentIndex() const {
    return FShown.Index;
}

void TGIFPlayer::Stop() {
    FTimer.stop();
    FWaiting = false;
}

void TGIFPlayer::Step() {
    if (!FAhead)
        return;
    std::optional<TGIFComposedFrame> next = FAhead->Take();
    FWaiting = !next;
    if (next)
        Show(std::move(*next));
}

void TGIFPlayer::OnComposed(int generation) {
    if (generation == FGeneration && FWaiting)
        Step();
}

void TGIFPlayer::Show(TGIFComposedFrame frame) {
    FShown = std::move(frame);
    if (FShown.Index == 0)
        ++FPass;
    FDueMs += FImage->FrameDelayMs(FShown.Index);
    emit FrameChanged();
    ScheduleNext();
}

void TGIFPlayer::ScheduleNext() {
    const int last = FImage->FrameCount() - 1;
    const int plays = FImage->PlayCount();
    if (last == 0 || (FShown.Index == last && plays != 0 && FPass >= plays)) {
        // The last frame of the last pass stays, as long as its delay says, then the end.
        QTimer::singleShot(std::max<qint64>(0, FDueMs - FClock.elapsed()), this,
                           [this, generation = FGeneration] {
                               if (FGeneration == generation)
                                   emit Finished();
                           });
        return;
    }
    qint64 wait = FDueMs - FClock.elapsed();
    if (wait < -1000) {
        // Far behind (the machine was busy): start counting again from now.
        FDueMs = FClock.elapsed();
        wait = 0;
    }
    FTimer.start(static_cast<int>(std::max<qint64>(0, wait)));
}

void TGIFPlayer::Tick() {
    Step();
}
