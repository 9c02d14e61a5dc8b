#pragma once

#include <atomic>
#include <memory>

// A short background job of a share, run on the main loop. All kinds share one running slot,
// taken by compare-and-swap when a job starts and given back when it ends.
//
// Rules:
// - `postOnMainThread` queues the job; when it comes up while another job holds the slot it
//   waits and tries again as soon as the slot is free, so a share answered "later" is always
//   sent.
// - A job that has started keeps itself alive until it calls `finish`, which frees the slot and
//   starts the next waiting job.
// - Main thread only (the slot is atomic because the jobs' network replies come from the loop
//   and nothing may ever see two jobs running).
class LMApiTask : public std::enable_shared_from_this<LMApiTask> {
public:
    virtual ~LMApiTask();

    void postOnMainThread();
    // Takes the slot and runs `main`; when the slot is held, waits for it.
    void internalMain();
    virtual void cancel() { }

    static bool slotIsFree();

protected:
    virtual void main() = 0;
    // The job is over: frees the slot, lets the next waiting job run and drops the self hold.
    void finish();

private:
    std::shared_ptr<LMApiTask> m_selfHold;
    bool m_holdsSlot { false };
};
