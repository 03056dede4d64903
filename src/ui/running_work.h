// What the main dialog's workers share: which work runs (a scan, add-files
// workers), the stop flag, and what a confirmed Stop reaches.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

// Threads: every member may be called from any thread. Which work runs is
// guarded by one mutex; the stop flag is written only under it, by the members
// below, and read without it by the walks (StopFlag). A scan and adding files
// never run at the same time, so a worker's end never clears a Stop meant for
// the other kind of work; the flag goes back to 0 only when the last work that
// Stop reaches is over.
class RunningWork {
public:
    // A scan claims the window before its worker starts: false while a scan or
    // an add-files worker runs. From now until its walk ends, Stop reaches it.
    bool BeginScan();
    // The scan's walk is over: Stop reaches it no more, and the flag is 0.
    void EndScanWalk();
    // The scan's worker ends (after its dialogs); a new request may start.
    void EndScan();
    bool ScanRunning() const;

    // An add-files worker claims its place before it starts: false while a
    // scan runs. Several may run; Stop reaches each of them.
    bool BeginAdding();
    // One add-files worker ends; true when it was the last one running.
    bool EndAdding();
    bool AddingRunning() const;

    // A confirmed Stop: sets the flag to 1 while work that it reaches runs;
    // otherwise it reaches nothing and would only stop the next request.
    void RequestStop();
    // The window closes: every worker is told to stop, whatever runs.
    void StopAll();

    const std::atomic<int32_t>& StopFlag() const { return m_nStopFlag; }

private:
    void ClearFlagWhenNothingToStop();  // m_mutex held

    mutable std::mutex m_mutex;
    bool m_scan = false;         // a scan's worker runs (walk or dialogs)
    bool m_scanWalking = false;  // its walk runs: Stop reaches it
    int m_adding = 0;            // add-files workers running
    std::atomic<int32_t> m_nStopFlag{0};  // 1 = stop requested, 0 otherwise
};
