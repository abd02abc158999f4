#include "engine/LiveEstimate.h"

#include "engine/GifEstimate.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {
// A burst of changes closer than this (typing, dragging) starts one estimate.
constexpr int SettleMs = 300;
} // namespace

struct TLiveEstimate::TJob {
    std::atomic<bool> Cancel{false};
    std::atomic<bool> Done{false};
    std::thread Thread;
};

TLiveEstimate::TLiveEstimate(QObject* parent) : QObject(parent) {
    FSettle.setSingleShot(true);
    FSettle.setInterval(SettleMs);
    connect(&FSettle, &QTimer::timeout, this, &TLiveEstimate::Start);
}

TLiveEstimate::~TLiveEstimate() {
    CancelJobs(true);
}

void TLiveEstimate::Restart(TRequestMaker makeRequest) {
    ++FGeneration;
    CancelJobs(false);
    FMakeRequest = std::move(makeRequest);
    Show(Estimating());
    FSettle.start();
}

void TLiveEstimate::Clear() {
    ++FGeneration;
    FSettle.stop();
    FMakeRequest = nullptr;
    CancelJobs(false);
    Show(QString());
}

void TLiveEstimate::CancelJobs(bool wait) {
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

bool TLiveEstimate::Running() const {
    return std::any_of(FJobs.begin(), FJobs.end(), [](const auto& job) { return !job->Done; });
}

void TLiveEstimate::Start() {
    if (!FMakeRequest)
        return;
    TConversionRequest request = FMakeRequest();
    if (request.VideoFile.isEmpty()) {
        Show(QString());
        return;
    }
    auto job = std::make_unique<TJob>();
    TJob* running = job.get();
    const int generation = FGeneration;
    running->Thread = std::thread([this, running, generation, request = std::move(request)] {
        const TGifEstimate estimate = EstimateGif(request, running->Cancel);
        if (!running->Cancel) {
            const QString text = DescribeEstimate(estimate);
            // Shown on the owner's thread, unless another change came meanwhile.
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

void TLiveEstimate::Show(const QString& text) {
    if (text == FText)
        return;
    FText = text;
    emit TextChanged(text);
}
