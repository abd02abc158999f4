#pragma once
// The engine's worker threads: one pool for the program, as many threads as the machine gives it
// (QThread::idealThreadCount, which follows the process's processor affinity; the environment
// variable VG_THREADS overrides it for tests and benches). Work goes to it in two shapes: ranges
// of rows that the caller and the pool's threads take one after another until all are done
// (ForRows), and single jobs run beside the caller until it waits for them (TPoolJob).
//
// A caller never waits for work that no thread has taken yet: it withdraws it and does it itself.
// So a busy pool only means less help, never a stall, calls may nest (a job may share rows), and
// a pool of one thread is simply the caller doing everything.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TWorkPool {
public:
    // `threads` working at once, the caller's included: threads - 1 of the pool's own.
    explicit TWorkPool(int threads);
    ~TWorkPool();
    TWorkPool(const TWorkPool&) = delete;
    TWorkPool& operator=(const TWorkPool&) = delete;

    // The program's pool, made on first use with MachineThreads() threads.
    static TWorkPool& Shared();
    // A pool of the caller alone: work handed to it runs on the calling thread.
    static TWorkPool& Serial();
    // VG_THREADS when it holds a count of 1 to 256, else what the machine gives the process.
    static int MachineThreads();

    int Threads() const { return static_cast<int>(FWorkers.size()) + 1; }

    // Calls `work(begin, end)` for consecutive ranges of `chunkRows` rows (the last may be
    // shorter) until all of [0, rows) is done, and returns then. The caller and the pool's idle
    // threads each take the next range not yet taken. Ranges may run at the same time: `work`
    // must only write what belongs to its rows. `mostThreads` bounds how many threads (the
    // caller's included) work on them at once, for work whose ranges each hold much memory.
    void ForRows(int rows, int chunkRows, const std::function<void(int begin, int end)>& work,
                 int mostThreads = 0);
    // How many ranges ForRows makes: their number is begin / chunkRows.
    static int Chunks(int rows, int chunkRows) {
        return chunkRows > 0 && rows > 0 ? (rows + chunkRows - 1) / chunkRows : 0;
    }
    // Ranges of about `pixels` pixels in rows `width` wide: big enough that handing them over
    // costs little, small enough that the threads finish at about the same time.
    static int ChunkRowsFor(int width, int pixels = 4096) {
        return width > 0 ? (pixels + width - 1) / width : 1;
    }

    // Something queued for the pool's threads. Run is called at most once per ticket queued,
    // never after the task is closed.
    struct TTask {
        virtual ~TTask() = default;
        virtual void Run() = 0;
        int Inside = 0;      // threads of the pool running it; under the pool's lock
        bool Closed = false; // its owner has withdrawn what was not taken
    };
    // Queues `tickets` tickets of `task` and wakes as many threads.
    void Post(const std::shared_ptr<TTask>& task, int tickets);
    // Closes `task`: removes its tickets not taken, and returns how many were removed once no
    // thread of the pool runs it any more.
    int Close(const std::shared_ptr<TTask>& task);

private:
    void WorkerLoop();

    std::mutex FLock;
    std::condition_variable FWake, FDone;
    std::deque<std::shared_ptr<TTask>> FQueue;
    bool FStop = false;
    std::vector<std::thread> FWorkers;
};

// One job at a time handed to the pool: the caller starts work whose result it needs later (the
// next frame's colour look-ups, say), goes on meanwhile, and waits for the job before it reads
// what the job wrote. When no thread has taken the job by then, Wait runs it on the caller.
class TPoolJob {
public:
    explicit TPoolJob(TWorkPool& pool = TWorkPool::Shared()) : FPool(pool) {}
    // Waits for the job in hand.
    ~TPoolJob() { Wait(); }
    TPoolJob(const TPoolJob&) = delete;
    TPoolJob& operator=(const TPoolJob&) = delete;

    // Waits for the job before, then starts `job`; what it reads and writes is the job's until
    // the next Wait (or Start) returns.
    void Start(std::function<void()> job);
    // Returns once the job started last, if any, is done.
    void Wait();

private:
    struct TJobTask;
    TWorkPool& FPool;
    std::shared_ptr<TJobTask> FTask;
};
