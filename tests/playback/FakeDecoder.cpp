#include "FakeDecoder.h"

std::vector<TFakeFrame> EvenFrames(int count, int64_t step, int keyInterval, int64_t first) {
    std::vector<TFakeFrame> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back({first + i * step, keyInterval > 0 && i % keyInterval == 0});
    return frames;
}

int FakeFrameIndex(const QImage& picture) {
    if (picture.isNull())
        return -1;
    const QRgb pixel = picture.pixel(0, 0);
    return qRed(pixel) | (qGreen(pixel) << 8);
}

TFakeDecoder::TFakeDecoder(std::vector<TFakeFrame> frames) : FFrames(std::move(frames)) {}

TVideoStreamInfo TFakeDecoder::GetVideoStreamInfos(int index) const {
    TVideoStreamInfo info;
    if (index == 0) {
        info.Width = info.CodedWidth = 4;
        info.Height = info.CodedHeight = 4;
    }
    return info;
}

TFileStreamInfo TFakeDecoder::GetFileStreamInfo() const {
    TFileStreamInfo info;
    if (!FFrames.empty())
        info.Duration = FFrames.back().PTS + 40000;
    return info;
}

void TFakeDecoder::Log(const QString& call) {
    std::lock_guard<std::mutex> guard(FLock);
    FCalls << call;
}

QStringList TFakeDecoder::Calls() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FCalls;
}

int TFakeDecoder::CountCalls(const QString& prefix) const {
    int count = 0;
    for (const QString& call : Calls())
        count += call.startsWith(prefix) ? 1 : 0;
    return count;
}

bool TFakeDecoder::Decode(int count) {
    Log(QStringLiteral("decode"));
    const int steps = count > 1 ? count : 1;
    const int next = FNext.load();
    if (next >= int(FFrames.size()))
        return false;
    const int last = next + steps - 1;
    if (last >= int(FFrames.size())) {
        FCurrent = int(FFrames.size()) - 1;
        FNext = int(FFrames.size());
        return false;
    }
    FCurrent = last;
    FNext = last + 1;
    return true;
}

int64_t TFakeDecoder::CurrentPTS() const {
    const int current = FCurrent.load();
    return current < 0 ? AV_NOPTS_VALUE : FFrames[size_t(current)].PTS;
}

bool TFakeDecoder::CopyToBitmap(QImage& bitmap) {
    Log(QStringLiteral("copy"));
    const int current = FCurrent.load();
    if (current < 0)
        return false;
    if (bitmap.width() != 4 || bitmap.height() != 4 || bitmap.format() != QImage::Format_RGB32)
        bitmap = QImage(4, 4, QImage::Format_RGB32);
    bitmap.fill(qRgb(current & 0xFF, (current >> 8) & 0xFF, 0));
    return true;
}

int TFakeDecoder::FrameAt(int64_t pts) const {
    int found = 0;
    for (int i = 0; i < int(FFrames.size()); ++i)
        if (FFrames[size_t(i)].PTS <= pts)
            found = i;
    return found;
}

bool TFakeDecoder::Seek(int64_t pts, TSeekFlags flags) {
    Log(QStringLiteral("seek %1 %2").arg(pts).arg(flags.toInt()));
    if (OnSeek)
        OnSeek(pts, flags);
    FCurrent = -1;
    if (FailingSeekFlags.count(flags.toInt()) > 0)
        return false;
    int landing = -1;
    for (int i = 0; i < int(FFrames.size()); ++i) {
        const TFakeFrame& frame = FFrames[size_t(i)];
        if (flags.testFlag(TSeekFlag::Any)) {
            if (frame.PTS <= pts || landing < 0)
                landing = i;
        } else if (flags.testFlag(TSeekFlag::Backward)) {
            if (frame.Key && frame.PTS <= pts)
                landing = i;
        } else if (frame.Key && frame.PTS >= pts) {
            landing = i;
            break;
        }
    }
    if (landing < 0)
        return false;
    FNext = landing;
    return true;
}

bool TFakeDecoder::LocateVideoPTS(int64_t pts) {
    return LocateImpl(pts, nullptr);
}

bool TFakeDecoder::LocateVideoPTSCallback(int64_t pts, const TGoOnFunc& goOn) {
    return LocateImpl(pts, &goOn);
}

void TFakeDecoder::OpenGate() {
    std::lock_guard<std::mutex> guard(FLock);
    FGateOpen = true;
    FGateChanged.notify_all();
}

bool TFakeDecoder::LocateImpl(int64_t pts, const TGoOnFunc* goOn) {
    Log(QStringLiteral("locate %1").arg(pts));
    if (HoldLocates) {
        std::unique_lock<std::mutex> lock(FLock);
        ++FLocatesEntered;
        FGateChanged.notify_all();
        while (!FGateOpen)
            FGateChanged.wait(lock);
    } else {
        ++FLocatesEntered;
    }
    if (FailLocate || FFrames.empty()) {
        Log(QStringLiteral("locate %1 failed").arg(pts));
        return false;
    }
    const int target = FrameAt(pts);
    int key = 0;
    for (int i = 0; i <= target; ++i)
        if (FFrames[size_t(i)].Key)
            key = i;
    FCurrent = -1;
    for (int i = key; i <= target; ++i) {
        if (goOn != nullptr && *goOn && !(*goOn)()) {
            Log(QStringLiteral("locate %1 abandoned").arg(pts));
            return false;
        }
    }
    FCurrent = target;
    FNext = target + 1;
    return true;
}
