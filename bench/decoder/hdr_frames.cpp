// Writes frame N of a video as the decoder shows it, tone-mapped and as decoded, to PNG files,
// for comparing with a reference made by hand (bench/decoder/README.md has the commands).
//
// vg_bench_hdr_frames <video> <frame> <prefix> [width]
//     writes <prefix>-mapped.png, <prefix>-decoded.png, and with a width <prefix>-small.png: the
//     whole picture at that width in one step (tone-mapped at the small size)

#include "decoder/FFDecoder.h"

#include <QImage>
#include <algorithm>
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
        if (mapping && argc > 4) {
            const int width = std::max(16, std::atoi(argv[4]));
            const QSize size(width, std::max(1, width * picture.height() / picture.width()));
            QImage small;
            if (!decoder.CopyToBitmapScaled(small, picture.rect(), size) ||
                !small.save(prefix + "-small.png"))
                return 1;
            std::printf("%s\n", qPrintable(prefix + "-small.png"));
        }
    }
    return 0;
}
