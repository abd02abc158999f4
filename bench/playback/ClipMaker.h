#pragma once
// Draws the H.264 clips the playback benchmark plays and scrubs: every frame carries its index
// (the test-video pattern) under a moving texture, so the decoder has real motion to work on and
// the benchmark can still read which frame it was shown.

#include <QString>

struct TClipShape {
    int Width = 1920;
    int Height = 1080;
    int FramesPerSecond = 30;
    int Seconds = 10;
    int KeyInterval = 60; // frames from one key frame to the next
};

// Writes the clip to `path` (through a temporary file beside it); false with a line on stderr when
// it cannot.
bool MakeClip(const QString& path, const TClipShape& shape);
