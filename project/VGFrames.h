#pragma once
// The frames decoded so far for the frame strip: sorted by time, each with its picture file and
// a deleted mark, with links between frames that are neighbours in the video stream.

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class TVGFrame {
public:
    TVGFrame(int64_t pts, const QString& fileName) : PTS(pts), FileName(fileName) {}

    TVGFrame* Prior = nullptr; // the frame decoded right before this one, when known
    TVGFrame* Next = nullptr;  // the frame decoded right after this one, when known
    int64_t PTS;
    QString FileName;
    bool Deleted = false;
};

class TVGFrames {
public:
    TVGFrames() = default;
    ~TVGFrames();
    TVGFrames(const TVGFrames&) = delete;
    TVGFrames& operator=(const TVGFrames&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    TVGFrame* operator[](int index) const { return FItems[static_cast<size_t>(index)].get(); }
    TVGFrame* Items(int index) const { return (*this)[index]; }

    // A new frame (no links, not deleted) in its place by time.
    TVGFrame* AddFrame(const QString& fileName, int64_t pts);
    // The frame with exactly this time, or none.
    TVGFrame* FindFrame(int64_t pts) const;
    // Where a frame of this time belongs: the index of the first frame not earlier than it.
    int InsertIndex(int64_t pts) const;
    // Removes every frame; the neighbours' links to a leaving frame are cleared first.
    void Clear();

    // Set a link, logging an error line when it goes against the time order (the link is set
    // all the same).
    static void SetNext(TVGFrame* frame, TVGFrame* next);
    static void SetPrior(TVGFrame* frame, TVGFrame* prior);

private:
    TVGFrame* Find(int low, int high, int64_t pts) const;
    int Insert(int low, int high, int64_t pts) const;
    std::vector<std::unique_ptr<TVGFrame>> FItems;
};
