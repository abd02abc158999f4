#include "mainwindow/MainEstimate.h"

#include "mainwindow/MainFrm.h"
#include "project/VGProj.h"

void TMainEstimate::Changed() {
    const TVGProj* proj = F.Project();
    if (!proj || !proj->IsClipValid()) {
        Clear();
        return;
    }
    // The worker reads its own copy of what the GIF is made of: the window goes on changing the
    // project meanwhile.
    Restart([this] { return F.Project() ? F.Project()->DetachedRequest() : TConversionRequest(); });
}
