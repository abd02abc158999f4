#pragma once
// TGIFImage: a GIF picture read with giflib. Loading walks the file once, reporting progress, and
// keeps only the file's bytes and a small table of where each frame's compressed rectangle lies;
// frames are decompressed and composed one after the other while the picture plays (TGIFComposer
// in GIFComposer.h), so memory does not grow with the number of frames times the picture size.
//
// Composition follows what web browsers do: disposal methods (none, background, previous),
// transparency, local colour tables, interlaced frames and frames that lie partly outside the
// logical screen (clipped). Pixels nothing was drawn on stay transparent.

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

// One frame as the file stores it: where its compressed data lies and how it is shown.
struct TGIFFrameInfo {
    QRect Rect;                // position and size on the logical screen, as the file says
    qsizetype Offset = 0;      // the image descriptor's first byte (0x2C) in the file
    qsizetype Length = 0;      // up to and including the data's block terminator
    int DelayCs = 0;           // as the file says, in hundredths of a second
    int Disposal = 0;          // 0 unspecified, 1 leave, 2 restore background, 3 restore previous
    int TransparentIndex = -1; // -1: none
    bool Interlaced = false;
};

class TGIFImage {
public:
    // Progress while loading: a stage text and a percentage (0 to 100).
    using TProgressEvent = std::function<void(const QString& stage, int percent)>;

    // The largest logical screen accepted, in pixels (width times height); larger pictures are
    // refused rather than allocated.
    static constexpr qint64 MaxPixels = 40'000'000;

    TGIFImage() = default;

    // Loads a file; false with ErrorText() when nothing can be shown. A file that ends early but
    // holds whole frames loads them, with IsTruncated() set.
    bool LoadFromFile(const QString& fileName);
    bool LoadFromData(const QByteArray& data);

    TProgressEvent OnProgress;

    bool IsEmpty() const { return FFrames.isEmpty(); }
    QString ErrorText() const { return FError; }
    bool IsTruncated() const { return FTruncated; }
    QSize Size() const { return FSize; }
    int Width() const { return FSize.width(); }
    int Height() const { return FSize.height(); }
    int FrameCount() const { return static_cast<int>(FFrames.size()); }
    const TGIFFrameInfo& Frame(int index) const { return FFrames[index]; }
    // How long a frame stays on screen, in milliseconds: a delay below 2 cs plays as 10 cs.
    int FrameDelayMs(int index) const;
    static int PlayedDelayMs(int delayCs);
    // The loop extension's count: -1 without one (play once), 0 forever, n: n more times.
    int LoopCount() const { return FLoopCount; }
    // How many times the whole animation is shown: 0 for endlessly.
    int PlayCount() const;
    // The file's bytes (the frames' compressed data lies in them).
    const QByteArray& Data() const { return FData; }
    qsizetype HeaderLength() const { return FHeaderLength; }

private:
    friend class TGIFLoader;
    void Clear();
    QByteArray FData;
    qsizetype FHeaderLength = 0; // header, logical screen descriptor and global colour table
    QSize FSize;
    QVector<TGIFFrameInfo> FFrames;
    int FLoopCount = -1;
    bool FTruncated = false;
    QString FError;
};
