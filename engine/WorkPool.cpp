#include "engine/WorkPool.h"

#include <QThread>
#include <QtGlobal>
#include <algorithm>
#include <atomic>

TWorkPool::TWorkPool(int threads) {
    const int workers = std::max(threads, 1) - 1;
    FWorkers.reserve(static_cast<size_t>(workers));
    for (int i = 0; i < workers; ++i)
        FWorkers.emplace_back([this] { WorkerLoop(); });
}

TWorkPool::~TWorkPool() {
    {
        const std::lock_guard lock(FLock);
        FStop = true;
    }
    FWake.notify_all();
    for (std::thread& worker : FWorkers)
        worker.join();
}

TWorkPool& TWorkPool::Shared() {
    static TWorkPool pool(MachineThreads());
    return pool;
}

TWorkPool& TWorkPool::Serial() {
    static TWorkPool pool(1);
    return pool;
}

int TWorkPool::MachineThreads() {
    bool ok = false;
    const int asked = qEnvironmentVariableIntValue("VG_THREADS", &ok);
    if (ok && asked >= 1 && asked <= 256)
        return asked;
    return std::max(1, QThread::idealThreadCount());
}

void TWorkPool::Post(const std::shared_ptr<TTask>& task, int tickets) {
    tickets = std::min(tickets, static_cast<int>(FWorkers.size()));
    if (tickets <= 0)
        return;
    {
        const std::lock_guard lock(FLock);
        for (int i = 0; i < tickets; ++i)
            FQueue.push_back(task);
    }
    if (tickets == 1)
        FWake.notify_one();
    else
        FWake.notify_all();
}

int TWorkPool::Close(const std::shared_ptr<TTask>& task) {
    std::unique_lock lock(FLock);
    task->Closed = true;
    const auto untaken = std::remove(FQueue.begin(), FQueue.end(), task);
    const int removed = static_cast<int>(FQueue.end() - untaken);
    FQueue.erase(untaken, FQueue.end());
    FDone.wait(lock, [&] { return task->Inside == 0; });
    return removed;
}

void TWorkPool::WorkerLoop() {
    std::unique_lock lock(FLock);
    for (;;) {
        FWake.wait(lock, [this] { return FStop || !FQueue.empty(); });
        if (FStop)
            return;
        const std::shared_ptr<TTask> task = std::move(FQueue.front());
        FQueue.pop_front();
        if (task->Closed)
            continue;
        ++task->Inside;
        lock.unlock();
        task->Run();
        lock.lock();
        if (--task->Inside == 0)
            FDone.notify_all();
    }
}

namespace {

struct TRowsTask : TWorkPool::TTask {
    const std::function<void(int, int)>* Work = nullptr;
    int Rows = 0, ChunkRows = 1, Chunks = 0;
    std::atomic<int> Next{0};

    void Run() override {
        for (int chunk = Next.fetch_add(1); chunk < Chunks; chunk = Next.fetch_add(1)) {
            const int begin = chunk * ChunkRows;
            (*Work)(begin, std::min(Rows, begin + ChunkRows));
        }
    }
};

} // namespace

void TWorkPool::ForRows(int rows, int chunkRows,
                        const std::function<void(int begin, int end)>& work, int mostThreads) {
    chunkRows = std::max(chunkRows, 1);
    const int chunks = Chunks(rows, chunkRows);
    if (chunks <= 1 || FWorkers.empty() || mostThreads == 1) {
        for (int begin = 0; begin < rows; begin += chunkRows)
            work(begin, std::min(rows, begin + chunkRows));
        return;
    }
    const auto task = std::make_shared<TRowsTask>();
    task->Work = &work;
    task->Rows = rows;
    task->ChunkRows = chunkRows;
    task->Chunks = chunks;
    // The caller takes ranges too: one helper fewer than ranges is all that can be of use.
    Post(task, mostThreads > 1 ? std::min(chunks, mostThreads) - 1 : chunks - 1);
    task->Run();
    // Every range is taken: withdraw the tickets not yet taken, and wait for the ranges still
    // running on the pool's threads.
    Close(task);
}

struct TPoolJob::TJobTask : TWorkPool::TTask {
    std::function<void()> Job;
    void Run() override { Job(); }
};

void TPoolJob::Start(std::function<void()> job) {
    Wait();
    FTask = std::make_shared<TJobTask>();
    FTask->Job = std::move(job);
    if (FPool.Threads() > 1)
        FPool.Post(FTask, 1);
}

void TPoolJob::Wait() {
    if (!FTask)
        return;
    const std::shared_ptr<TJobTask> task = std::move(FTask);
    FTask.reset();
    // Not taken (or no thread to take it): the job is done here.
    if (FPool.Threads() == 1 || FPool.Close(task) > 0)
        task->Job();
}
