#include "engine/RowHelper.h"

#include <algorithm>
#include <atomic>

struct TRowHelper::TJob {
    const std::function<void(int, int)>* Work = nullptr;
    int Rows = 0, ChunkRows = 1, Chunks = 0;
    std::atomic<int> Next{0};
};

TRowHelper::~TRowHelper() {
    if (!FThread.joinable())
        return;
    {
        const std::lock_guard lock(FMutex);
        FStop = true;
    }
    FWake.notify_one();
    FThread.join();
}

void TRowHelper::RunChunks(TJob& job) {
    for (int chunk = job.Next.fetch_add(1); chunk < job.Chunks; chunk = job.Next.fetch_add(1)) {
        const int begin = chunk * job.ChunkRows;
        (*job.Work)(begin, std::min(job.Rows, begin + job.ChunkRows));
    }
}

void TRowHelper::ForRows(int rows, int chunkRows,
                         const std::function<void(int begin, int end)>& work) {
    chunkRows = std::max(chunkRows, 1);
    const int chunks = Chunks(rows, chunkRows);
    if (chunks <= 1 || !FShare) {
        for (int begin = 0; begin < rows; begin += chunkRows)
            work(begin, std::min(rows, begin + chunkRows));
        return;
    }
    if (!FThread.joinable())
        FThread = std::thread([this] { HelperLoop(); });
    TJob job;
    job.Work = &work;
    job.Rows = rows;
    job.ChunkRows = chunkRows;
    job.Chunks = chunks;
    {
        const std::lock_guard lock(FMutex);
        FJob = &job;
    }
    FWake.notify_one();
    RunChunks(job);
    // Every range is taken: withdraw the job if the helper has not come for it yet, or wait
    // until it has finished its last range.
    std::unique_lock lock(FMutex);
    FJob = nullptr;
    FDone.wait(lock, [this] { return !FHelperInside; });
}

void TRowHelper::HelperLoop() {
    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait(lock, [this] { return FStop || FJob; });
        if (FStop)
            return;
        TJob* job = FJob;
        FJob = nullptr;
        FHelperInside = true;
        lock.unlock();
        RunChunks(*job);
        lock.lock();
        FHelperInside = false;
        FDone.notify_one();
    }
}
