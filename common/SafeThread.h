#pragma once
// The worker thread base of the program.
//
// A worker is created suspended on the main thread, configured, and started explicitly. Its body
// (`Execute`) polls `Terminated` and leaves when it turns true. `Synchronize` hands a function to
// the main thread and blocks the worker until the main thread has run it; this is how workers
// deliver pictures without the main thread ever touching their objects while they run.
//
// Stopping is the delicate part. The main thread may want to free a worker at the very moment the
// worker sits in a hand-over, waiting for the main thread; a plain join would deadlock. So:
//   - once termination is requested no hand-over runs any more: `Synchronize` returns false at
//     once, and a hand-over still waiting for the main thread is released without running;
//   - the free step requests termination, then waits for the body to end while it keeps serving
//     the hand-over slot (releasing anything that waits there), so the worker always gets out;
//   - only then `SafeDestroy` frees the worker's own objects.
// A worker that was never started is freed the same way.
//
// Hand-overs are served by the event loop of the thread that created the worker (the main
// thread). Workers are woken through an event file descriptor rather than posted Qt events, so no
// Qt object crosses threads and the thread sanitizer sees every hand-over as synchronised.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QSocketNotifier;

class TSafeThread {
public:
    // Must be created on the thread whose event loop will serve the hand-overs.
    TSafeThread();
    // Stops and waits like `TerminateAndWait`. Classes that own objects their body uses must call
    // `TerminateAndWait` first thing in their own destructor (or be freed with `SafeFree`).
    virtual ~TSafeThread();
    TSafeThread(const TSafeThread&) = delete;
    TSafeThread& operator=(const TSafeThread&) = delete;

    // Starts the body once. Does nothing when already started or when termination was requested
    // before the start.
    void Start();
    // Asks the body to leave. Thread-safe; also releases a hand-over that waits for the main
    // thread, without running it.
    void Terminate();
    bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }
    bool Started() const { return FStarted; }
    // True once the body has returned.
    bool Finished() const;
    // True while the body waits in `Synchronize` for the main thread.
    bool WaitingInHandOver() const;

    // Requests termination and waits until the body has ended, serving the hand-over slot while
    // waiting. Main thread only; never from inside this worker's own hand-over. Idempotent.
    void TerminateAndWait();

    // The free step: terminate, wait (serving hand-overs), `SafeDestroy`, delete. Clears the
    // pointer; a null pointer is fine.
    template <class T> static void SafeFree(T*& thread) {
        TSafeThread* doomed = thread;
        thread = nullptr;
        FreeThread(doomed);
    }
    // The same for a base pointer.
    static void FreeThread(TSafeThread* thread);

protected:
    // The body, run on the worker thread.
    virtual void Execute() = 0;
    // Frees the worker's own objects after the body has ended. Overrides free theirs and then run
    // the base's.
    virtual void SafeDestroy();

    // From the body: runs `fn` on the main thread while the worker waits. Returns whether `fn`
    // ran; false when termination was requested before or while waiting. Called on the main
    // thread itself, it runs `fn` directly (unless terminated).
    bool Synchronize(const std::function<void()>& fn);

private:
    enum class THandOver { Idle, Waiting, Running, Done, Released };

    void Run();
    void ServeHandOver();
    void ReleaseWakeup();

    std::atomic<bool> FTerminated{false};
    bool FStarted = false;
    bool FWaited = false;
    bool FBaseReleased = false;
    std::thread::id FOwnerThread;
    std::thread FThread;

    mutable std::mutex FLock; // guards everything below
    std::condition_variable FChanged;
    bool FFinished = false;
    THandOver FHandOver = THandOver::Idle;
    const std::function<void()>* FHandOverFn = nullptr;

    int FWakeFd = -1; // event file descriptor the worker signals when a hand-over waits
    std::unique_ptr<QSocketNotifier> FNotifier;
};

// Deleter for std::unique_ptr holding a worker: frees it with `SafeFree`.
struct TSafeThreadDeleter {
    template <class T> void operator()(T* thread) const { TSafeThread::SafeFree(thread); }
};
