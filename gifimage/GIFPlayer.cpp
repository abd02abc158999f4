#include "gifimage/GIFPlayer.h"

TGIFPlayer::TGIFPlayer(QObject* parent) : QObject(parent) {
    FTimer.setSingleShot(true);
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &TGIFPlayer::Tick);
}

void TGIFPlayer::SetImage(std::shared_ptr<const TGIFImage> image) {
    Stop();
    FImage = std::move(image);
    FComposer.reset();
    FPass = 0;
    if (!FImage || FImage->IsEmpty())
        return;
    FComposer = std::make_unique<TGIFComposer>(FImage);
    FClock.start();
    FDueMs = 0;
    Step();
}

QImage TGIFPlayer::CurrentFrame() const {
    return FComposer ? FComposer->Canvas() : QImage();
}

int TGIFPlayer::CurrentIndex() const {
    return FComposer ? FComposer->CurrentIndex() : -1;
}

void TGIFPlayer::Stop() {
    FTimer.stop();
}

void TGIFPlayer::Step() {
    if (!FComposer)
        return;
    const int index = FComposer->Advance();
    if (index == 0)
        ++FPass;
    FDueMs += FImage->FrameDelayMs(index);
    emit FrameChanged();
    ScheduleNext();
}

void TGIFPlayer::ScheduleNext() {
    const int last = FImage->FrameCount() - 1;
    const int plays = FImage->PlayCount();
    if (last == 0 || (FComposer->CurrentIndex() == last && plays != 0 && FPass >= plays)) {
        // The last frame of the last pass stays, as long as its delay says, then the end.
        QTimer::singleShot(std::max<qint64>(0, FDueMs - FClock.elapsed()), this,
                           [this, image = FImage.get()] {
                               if (FImage.get() == image)
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
