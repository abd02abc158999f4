// Writes frame N of a video as the decoder shows it, tone-mapped and as decoded, to PNG files,
// for comparing with a reference made by hand (bench/decoder/README.md has the commands).
//
// vg_bench_hdr_frames <video> <frame> <prefix>   writes <prefix>-mapped.png, <prefix>-decoded.png

#include "decoder/FFDecoder.h"

#include <QImage>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: vg_bench_hdr_frames <video> <frame> <prefix>\n");
        return 2;
    }
    const QString prefix = QString::fromLocal8Bit(argv[3]);
    for (const bool mapping : {true, false}) {
        TFFDecoder decoder;
        decoder.SetBitmapBitsPixel(32);
        decoder.SetToneMapping(mapping);
        QImage picture;
        if (!decoder.LoadFile(QString::fromLocal8Bit(argv[1])) ||
            !decoder.Decode(std::atoi(argv[2]) + 1) || !decoder.CopyToBitmap(picture)) {
            std::fprintf(stderr, "cannot decode frame %s of %s\n", argv[2], argv[1]);
            return 1;
        }
        const QString name = prefix + (mapping ? "-mapped.png" : "-decoded.png");
        if (!picture.save(name))
            return 1;
        std::printf("%s\n", qPrintable(name));
    }
    return 0;
}
