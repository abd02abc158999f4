#include "mainwindow/MainEstimate.h"

#include "engine/GifEstimate.h"
#include "mainwindow/MainFrm.h"
#include "project/VGProj.h"

#include <atomic>
#include <thread>

namespace {
// A burst of changes closer than this starts one estimate.
constexpr int SettleMs = 300;
} // namespace

struct TMainEstimate::TJob {
    std::atomic<bool> Cancel{false};
    std::atomic<bool> Done{false};
    std::thread Thread;
};

TMainEstimate::TMainEstimate(TMainForm& form) : F(form) {
    FSettle.setSingleShot(true);
    FSettle.setInterval(SettleMs);
    connect(&FSettle, &QTimer::timeout, this, &TMainEstimate::Start);
}

TMainEstimate::~TMainEstimate() {
    CancelJobs(true);
}

void TMainEstimate::Changed() {
    ++FGeneration;
    CancelJobs(false);
    const TVGProj* proj = F.Project();
    if (!proj || !proj->IsClipValid()) {
        Clear();
        return;
    }
    Show(Estimating());
    FSettle.start();
}

void TMainEstimate::Clear() {
    ++FGeneration;
    FSettle.stop();
    CancelJobs(false);
    Show(QString());
}

void TMainEstimate::CancelJobs(bool wait) {
    for (auto it = FJobs.begin(); it != FJobs.end();) {
        TJob& job = **it;
        job.Cancel = true;
        if (wait || job.Done) {
            job.Thread.join();
            it = FJobs.erase(it);
        } else {
            ++it;
        }
    }
}

void TMainEstimate::Start() {
    TVGProj* proj = F.Project();
    if (!proj || !proj->IsClipValid())
        return;
    // The worker reads its own copy of what the GIF is made of, and its own decoder: the window
    // goes on changing the project and driving its decoder meanwhile.
    auto job = std::make_unique<TJob>();
    TJob* running = job.get();
    const int generation = FGeneration;
    running->Thread = std::thread([this, running, generation, request = proj->DetachedRequest()] {
        const TGifEstimate estimate = EstimateGif(request, running->Cancel);
        if (!running->Cancel) {
            const QString text = DescribeEstimate(estimate);
            QMetaObject::invokeMethod(
                this,
                [this, generation, text] {
                    if (generation == FGeneration)
                        Show(text);
                },
                Qt::QueuedConnection);
        }
        running->Done = true;
    });
    FJobs.push_back(std::move(job));
}

void TMainEstimate::Show(const QString& text) {
    if (text == FText)
        return;
    FText = text;
    emit TextChanged(text);
}
