#pragma once
// Reads GIF files in tests with giflib (an independent decoder), and composes their frames as a
// viewer shows them.

#include <QImage>
#include <QString>
#include <optional>
#include <vector>

struct TDecodedGif {
    bool Ok = false;
    QString Error;
    int Width = 0;
    int Height = 0;
    int GlobalColors = 0;
    std::optional<int> LoopCount; // the NETSCAPE2.0 count; none without the extension
    struct TImage {
        int Left = 0, Top = 0, Width = 0, Height = 0;
        int DelayCs = 0;
        int Disposal = 0;
        int TransparentIndex = -1;
        int LocalColors = 0; // entries of its own colour table; 0: it uses the global one
        std::vector<unsigned char> Indices;
    };
    std::vector<TImage> Images;
    std::vector<QRgb> Palette;
    // What a viewer shows after each image (ARGB32, transparent where nothing was drawn).
    std::vector<QImage> Composed;
    int TotalDelayCs() const;
    // What the viewer sees at every `stepCs` hundredths of a second: each composed picture as
    // many times as its delay holds steps (a merged run of unchanged frames comes back whole).
    std::vector<QImage> FramesShown(int stepCs) const;
};

TDecodedGif DecodeGifFile(const QString& fileName);
TDecodedGif DecodeGifBytes(const QByteArray& bytes);
