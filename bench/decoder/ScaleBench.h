#pragma once
// The decoder benchmark's codec and small-picture measurements.

#include <QString>

// Frames per second of decoding alone (median of rounds) for the files given, or the drawn
// landscape in H.264, VP8 and VP9 (and bbb in VP8, when made by hand into the bench folder).
int BenchCodecs(int argc, char** argv, const QString& benchDir);
// Per-frame time of a small output picture: CopyToBitmap then Lanczos on RGB planes, against
// CopyToBitmapScaled; for the files and widths given, or 4K to 960 and 1080p to 480.
int BenchScale(int argc, char** argv, const QString& benchDir);
// Peak resident memory of decoding a file to small pictures one way or the other.
int BenchPeak(int argc, char** argv);
