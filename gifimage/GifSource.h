#pragma once
// Inside the GIF picture: bytes held in memory handed to giflib's decoder, possibly from several
// pieces one after the other (a frame is decoded from the file's header followed by the frame's
// own bytes), and the decoder's handle that closes itself.

#include <QtGlobal>
#include <array>
#include <gif_lib.h>
#include <memory>

struct TByteSource {
    std::array<const char*, 3> Parts{};
    std::array<qsizetype, 3> Sizes{};
    int PartCount = 0;
    int Part = 0;
    qsizetype Pos = 0;   // within the current part
    qsizetype Total = 0; // bytes handed out so far

    // At most three pieces.
    void Add(const char* data, qsizetype size) {
        Parts[PartCount] = data;
        Sizes[PartCount] = size;
        ++PartCount;
    }
};

struct TGifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using TGifHandle = std::unique_ptr<GifFileType, TGifCloser>;

// A decoder reading from `source` (which must outlive it); empty with `error` set on failure.
TGifHandle OpenSource(TByteSource* source, int* error);
