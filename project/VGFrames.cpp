#include "project/VGFrames.h"

#include "common/Log.h"
#include "decoder/CustomDecoder.h"

TVGFrames::~TVGFrames() {
    Clear();
}

void TVGFrames::Clear() {
    for (auto& frame : FItems) {
        if (frame->Prior && frame->Prior->Next == frame.get())
            frame->Prior->Next = nullptr;
        if (frame->Next && frame->Next->Prior == frame.get())
            frame->Next->Prior = nullptr;
        frame->Prior = frame->Next = nullptr;
    }
    FItems.clear();
}

TVGFrame* TVGFrames::Find(int low, int high, int64_t pts) const {
    if (high < low)
        return nullptr;
    if (low == high)
        return Items(low)->PTS == pts ? Items(low) : nullptr;
    const int middle = low + (high - low) / 2;
    TVGFrame* frame = Items(middle);
    if (frame->PTS == pts)
        return frame;
    if (pts > frame->PTS)
        return Find(middle + 1, high, pts);
    return Find(low, middle - 1, pts);
}

TVGFrame* TVGFrames::FindFrame(int64_t pts) const {
    return Find(0, Count() - 1, pts);
}

int TVGFrames::Insert(int low, int high, int64_t pts) const {
    if (low == high)
        return Items(low)->PTS < pts ? low + 1 : low;
    const int middle = low + (high - low) / 2;
    if (Items(middle)->PTS < pts)
        return Insert(middle + 1, high, pts);
    return Insert(low, middle, pts);
}

int TVGFrames::InsertIndex(int64_t pts) const {
    return FItems.empty() ? 0 : Insert(0, Count() - 1, pts);
}

TVGFrame* TVGFrames::AddFrame(const QString& fileName, int64_t pts) {
    const int index = InsertIndex(pts);
    auto frame = std::make_unique<TVGFrame>(pts, fileName);
    TVGFrame* added = frame.get();
    FItems.insert(FItems.begin() + index, std::move(frame));
    return added;
}

void TVGFrames::SetNext(TVGFrame* frame, TVGFrame* next) {
    if (!frame)
        return;
    if (next && next->PTS <= frame->PTS)
        MsgOut(QStringLiteral("error next frame?! ") + FormatPTS(frame->PTS, 3) +
               QLatin1String("->") + FormatPTS(next->PTS, 3));
    frame->Next = next;
}

void TVGFrames::SetPrior(TVGFrame* frame, TVGFrame* prior) {
    if (!frame)
        return;
    if (prior && prior->PTS >= frame->PTS)
        MsgOut(QStringLiteral("error prior frame?! ") + FormatPTS(prior->PTS, 3) +
               QLatin1String("<-") + FormatPTS(frame->PTS, 3));
    frame->Prior = prior;
}
