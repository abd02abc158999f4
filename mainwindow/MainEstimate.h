#pragma once
// The main window's live size estimate: what Convert would make ("about 2.4 MB · 96 frames ·
// 8.0 s"), shown above the Convert button and worked out again in the background after every
// change that alters the GIF (TLiveEstimate), from a copy of the project.

#include "engine/LiveEstimate.h"

class TMainForm;

class TMainEstimate : public TLiveEstimate {
    Q_OBJECT
public:
    explicit TMainEstimate(TMainForm& form) : F(form) {}

    // Something that alters the GIF changed (or a video was opened); without a clip nothing is
    // shown.
    void Changed();

private:
    TMainForm& F;
};
