#include "gifimage/GifSource.h"

#include <algorithm>
#include <cstring>

namespace {
int ReadFromSource(GifFileType* gif, GifByteType* buffer, int count) {
    auto* source = static_cast<TByteSource*>(gif->UserData);
    int done = 0;
    while (done < count && source->Part < source->PartCount) {
        const qsizetype left = source->Sizes[source->Part] - source->Pos;
        if (left <= 0) {
            ++source->Part;
            source->Pos = 0;
            continue;
        }
        const qsizetype n = std::min<qsizetype>(count - done, left);
        std::memcpy(buffer + done, source->Parts[source->Part] + source->Pos,
                    static_cast<size_t>(n));
        source->Pos += n;
        done += static_cast<int>(n);
    }
    source->Total += done;
    return done;
}
} // namespace

TGifHandle OpenSource(TByteSource* source, int* error) {
    return TGifHandle(DGifOpen(source, ReadFromSource, error));
}
