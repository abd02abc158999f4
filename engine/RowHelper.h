#pragma once
// A second thread that takes a share of work done row by row, so that work inside one frame can
// use both processor cores while frames themselves stay in order.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TRowHelper {
public:
    // `share` false: every range runs on the calling thread, and no thread is started.
    explicit TRowHelper(bool share = true) : FShare(share) {}
    ~TRowHelper();
    TRowHelper(const TRowHelper&) = delete;
    TRowHelper& operator=(const TRowHelper&) = delete;

    // Calls `work(begin, end)` for consecutive ranges of `chunkRows` rows (the last may be
    // shorter) until all of [0, rows) is done, and returns then. The calling thread and the helper
    // thread each take the next range not yet taken, so when the helper is slow to wake (the other
    // core is busy), the caller simply does more of the ranges. Ranges may run at the same time:
    // `work` must only write what belongs to its rows. One call at a time.
    void ForRows(int rows, int chunkRows, const std::function<void(int begin, int end)>& work);
    // How many ranges ForRows makes: their number is begin / chunkRows.
    static int Chunks(int rows, int chunkRows) {
        return chunkRows > 0 && rows > 0 ? (rows + chunkRows - 1) / chunkRows : 0;
    }
    // Ranges of about `pixels` pixels in rows `width` wide: big enough that handing them over
    // costs little, small enough that both threads finish at about the same time.
    static int ChunkRowsFor(int width, int pixels = 4096) {
        return width > 0 ? (pixels + width - 1) / width : 1;
    }

private:
    struct TJob;
    static void RunChunks(TJob& job);
    void HelperLoop();

    std::mutex FMutex;
    std::condition_variable FWake, FDone;
    TJob* FJob = nullptr;       // offered to the helper; taken or withdrawn under FMutex
    bool FHelperInside = false; // the helper is running ranges of the current job
    bool FStop = false;
    const bool FShare;
    std::thread FThread; // started by the first job worth sharing
};
