#include "common/SafeThread.h"

#include "common/Log.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QtGlobal>
#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

TSafeThread::TSafeThread() : FOwnerThread(std::this_thread::get_id()) {
    if (QAbstractEventDispatcher::instance() == nullptr) {
        // Nobody could ever serve a hand-over: refuse them rather than block the worker forever.
        MsgOut(QStringLiteral("worker thread: created on a thread without an event loop"));
        return;
    }
    FWakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (FWakeFd < 0) {
        MsgOut(QStringLiteral("worker thread: no event descriptor (errno %1)").arg(errno));
        return;
    }
    FNotifier = std::make_unique<QSocketNotifier>(FWakeFd, QSocketNotifier::Read);
    QObject::connect(FNotifier.get(), &QSocketNotifier::activated, FNotifier.get(),
                     [this] { ServeHandOver(); });
}

TSafeThread::~TSafeThread() {
    TerminateAndWait();
    ReleaseWakeup();
}

void TSafeThread::Start() {
    if (FStarted || Terminated())
        return;
    try {
        FThread = std::thread([this] { Run(); });
        FStarted = true;
    } catch (const std::system_error& error) {
        MsgOut(QStringLiteral("worker thread: cannot start (%1)").arg(error.what()));
    }
}

void TSafeThread::Terminate() {
    std::lock_guard<std::mutex> guard(FLock);
    FTerminated.store(true, std::memory_order_release);
    if (FHandOver == THandOver::Waiting) {
        FHandOver = THandOver::Released;
        FChanged.notify_all();
    }
}

bool TSafeThread::Finished() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FFinished;
}

bool TSafeThread::WaitingInHandOver() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FHandOver == THandOver::Waiting;
}

void TSafeThread::TerminateAndWait() {
    Terminate();
    if (FWaited || !FThread.joinable())
        return;
    {
        std::unique_lock<std::mutex> lock(FLock);
        // From inside this worker's own hand-over the worker waits for us and we for it.
        Q_ASSERT_X(FHandOver != THandOver::Running, "TSafeThread",
                   "a worker freed from inside its own hand-over");
        while (!FFinished) {
            // Termination released any waiting hand-over and refuses new ones, but the slot is
            // served here all the same: the worker must never stay blocked in it while we wait.
            if (FHandOver == THandOver::Waiting) {
                FHandOver = THandOver::Released;
                FChanged.notify_all();
            }
            FChanged.wait(lock);
        }
    }
    FThread.join();
    FWaited = true;
}

void TSafeThread::FreeThread(TSafeThread* thread) {
    if (thread == nullptr)
        return;
    thread->TerminateAndWait();
    thread->SafeDestroy();
    delete thread;
}

void TSafeThread::SafeDestroy() {
    ReleaseWakeup();
}

void TSafeThread::ReleaseWakeup() {
    if (FBaseReleased)
        return;
    FBaseReleased = true;
    FNotifier.reset();
    if (FWakeFd >= 0)
        ::close(FWakeFd);
    FWakeFd = -1;
}

bool TSafeThread::Synchronize(const std::function<void()>& fn) {
    if (std::this_thread::get_id() == FOwnerThread) {
        if (Terminated())
            return false;
        fn();
        return true;
    }
    std::unique_lock<std::mutex> lock(FLock);
    if (Terminated() || FWakeFd < 0)
        return false;
    FHandOverFn = &fn;
    FHandOver = THandOver::Waiting;
    const uint64_t one = 1;
    if (::write(FWakeFd, &one, sizeof one) != ssize_t(sizeof one) && errno != EAGAIN) {
        // The counter cannot overflow in practice; any other failure leaves nobody to serve us.
        FHandOver = THandOver::Idle;
        FHandOverFn = nullptr;
        return false;
    }
    while (FHandOver == THandOver::Waiting || FHandOver == THandOver::Running)
        FChanged.wait(lock);
    const bool ran = FHandOver == THandOver::Done;
    FHandOver = THandOver::Idle;
    FHandOverFn = nullptr;
    return ran;
}

void TSafeThread::ServeHandOver() {
    uint64_t count = 0;
    while (::read(FWakeFd, &count, sizeof count) > 0) {
    }
    std::unique_lock<std::mutex> lock(FLock);
    if (FHandOver != THandOver::Waiting)
        return;
    if (Terminated()) {
        FHandOver = THandOver::Released;
        FChanged.notify_all();
        return;
    }
    FHandOver = THandOver::Running;
    const std::function<void()>* fn = FHandOverFn;
    lock.unlock();
    // The worker waits until we say done, whatever the function does.
    struct TDone {
        TSafeThread* Thread;
        ~TDone() {
            std::lock_guard<std::mutex> guard(Thread->FLock);
            Thread->FHandOver = THandOver::Done;
            Thread->FChanged.notify_all();
        }
    } done{this};
    (*fn)();
}

void TSafeThread::Run() {
    try {
        Execute();
    } catch (const std::exception& error) {
        MsgOut(QStringLiteral("worker thread ended by an error: %1").arg(error.what()));
    } catch (...) {
        MsgOut(QStringLiteral("worker thread ended by an unknown error"));
    }
    std::lock_guard<std::mutex> guard(FLock);
    FFinished = true;
    FChanged.notify_all();
}
