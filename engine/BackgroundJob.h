#pragma once
// One job at a time on a thread of its own: the caller hands over work whose result it needs
// later (the next frame's colour look-ups, say), goes on with its own work meanwhile, and waits
// for the job before it reads what the job wrote. The thread starts with the first job.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TBackgroundJob {
public:
    TBackgroundJob() = default;
    // Waits for the job in hand, then ends the thread.
    ~TBackgroundJob();
    TBackgroundJob(const TBackgroundJob&) = delete;
    TBackgroundJob& operator=(const TBackgroundJob&) = delete;

    // Waits for the job before, then starts `job`; what it reads and writes is the job's until
    // the next Wait (or Start) returns.
    void Start(std::function<void()> job);
    // Returns once the job started last, if any, is done.
    void Wait();

private:
    void Loop();

    std::mutex FMutex;
    std::condition_variable FWake, FDone;
    std::function<void()> FJob; // waiting to be taken
    bool FBusy = false;         // a job is waiting or running
    bool FStop = false;
    std::thread FThread;
};
