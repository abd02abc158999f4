#pragma once
// A decoder over a list of frame times, for checking the workers' rules exactly. Each picture is a
// tiny image whose first pixel carries the frame's index. Every call is logged; seeks can be made
// to fail by flag set, locates can fail or be held at a gate until the test lets them go on.

#include "decoder/CustomDecoder.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <vector>

struct TFakeFrame {
    int64_t PTS;
    bool Key;
};

// `count` frames `step` microseconds apart from `first`, a key frame every `keyInterval` frames.
std::vector<TFakeFrame> EvenFrames(int count, int64_t step, int keyInterval, int64_t first = 0);

// The frame index a fake picture carries; -1 for an empty picture.
int FakeFrameIndex(const QImage& picture);

class TFakeDecoder : public TCustomDecoder {
public:
    explicit TFakeDecoder(std::vector<TFakeFrame> frames);

    bool LoadFile(const QString&, const QString& = QString()) override { return true; }
    void CloseFile() override {}
    int VideoStreamIndex() const override { return 0; }
    TVideoStreamInfo GetVideoStreamInfos(int index) const override;
    TFileStreamInfo GetFileStreamInfo() const override;
    void SetBitmapBitsPixel(int) override {}
    int BitmapBitsPixel() const override { return 32; }

    bool Decode(int count = -1) override;
    int64_t CurrentPTS() const override;
    bool CopyToBitmap(QImage& bitmap) override;
    bool Seek(int64_t pts, TSeekFlags flags) override;
    bool LocateVideoPTS(int64_t pts) override;
    bool LocateVideoPTSCallback(int64_t pts, const TGoOnFunc& goOn) override;

    // Test controls, set before the worker starts.
    std::set<uint32_t> FailingSeekFlags; // TSeekFlags values whose Seek fails
    bool FailLocate = false;
    bool HoldLocates = false; // each locate waits at the gate after announcing itself
    // Runs on the decoding thread at the start of every Seek.
    std::function<void(int64_t pts, TSeekFlags flags)> OnSeek;

    // Lets held locates go on (they then ask goOn before every frame they step over).
    void OpenGate();
    int LocatesEntered() const { return FLocatesEntered.load(); }

    // Calls in order: "seek <pts> <flags>", "decode", "locate <pts>", "copy", and the results
    // "locate <pts> failed" / "locate <pts> abandoned".
    QStringList Calls() const;
    int CountCalls(const QString& prefix) const;
    int CurrentIndex() const { return FCurrent.load(); }
    int FrameAt(int64_t pts) const; // index of the frame shown at pts

private:
    void Log(const QString& call);
    bool LocateImpl(int64_t pts, const TGoOnFunc* goOn);

    std::vector<TFakeFrame> FFrames;
    std::atomic<int> FCurrent{-1}; // current frame; -1 for none
    std::atomic<int> FNext{0};     // frame the next Decode yields
    std::atomic<int> FLocatesEntered{0};

    mutable std::mutex FLock;
    std::condition_variable FGateChanged;
    bool FGateOpen = false;
    QStringList FCalls;
};
