// Lets a worker thread run a piece of code on the GUI thread and wait for it,
// the way a sent window message waits for the window's thread to answer.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <type_traits>
#include <utility>

class QObject;

namespace fw {

bool OnGuiThread();

// One caller per dialog. Calls from the GUI thread run at once; calls from any
// other thread are queued to the GUI thread and the caller waits for the answer.
// Once closed, queued and later calls from other threads are not run: the caller
// gets the fallback value instead of waiting on a dialog that is going away.
class GuiCaller {
public:
    GuiCaller();
    ~GuiCaller();
    GuiCaller(const GuiCaller&) = delete;
    GuiCaller& operator=(const GuiCaller&) = delete;

    // Runs `fn`; returns false when it was not run because the caller is closed.
    bool Run(const std::function<void()>& fn);
    // Hands `fn` to the GUI thread without waiting for it: it runs after every
    // call queued before it and before every call queued after it. From the GUI
    // thread itself it runs at once. Dropped once the caller is closed.
    void Post(std::function<void()> fn);

    // Runs `fn` and returns its result; `fallback` when it was not run.
    template <class F, class R>
    R Call(F&& fn, R fallback) {
        R result = std::move(fallback);
        Run([&] { result = fn(); });
        return result;
    }
    // The same with a default-constructed fallback (or no result at all).
    template <class F>
    auto Call(F&& fn) {
        using R = std::invoke_result_t<F&>;
        if constexpr (std::is_void_v<R>)
            Run(std::function<void()>(std::forward<F>(fn)));
        else
            return Call(std::forward<F>(fn), R{});
    }

    void Close();
    bool IsClosed() const;
    // Serves calls again after Close (a dialog that is run once more).
    void Reopen();

    // The caller whose request the GUI thread is serving right now (innermost),
    // or null. Modal windows opened meanwhile belong to that caller's workers.
    static GuiCaller* Serving();

private:
    struct Request;
    void Drain();

    mutable std::mutex m_mutex;
    std::condition_variable m_answered;
    std::deque<Request*> m_queue;
    bool m_closed = false;
    QObject* m_bridge;  // lives on the GUI thread and drains the queue there
};

}  // namespace fw
