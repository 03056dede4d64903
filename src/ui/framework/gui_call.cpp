#include "framework/gui_call.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

namespace fw {

namespace {

const QEvent::Type kDrainEvent = static_cast<QEvent::Type>(QEvent::User + 0x4d1);

GuiCaller* g_serving = nullptr;  // GUI thread only

// Receives the wake-up events on the GUI thread. The request itself travels in
// our own queue under our own mutex, so the hand-over between the threads is
// ordered by the standard library's locks rather than by the toolkit's.
class Bridge : public QObject {
public:
    Bridge(std::function<void()> drain, std::mutex& posted) : m_drain(std::move(drain)), m_posted(posted) {}
    bool event(QEvent* e) override {
        // Wake-up events are made and posted by a worker that holds this lock;
        // taking it orders their construction before our reading of them, also
        // for checkers that cannot see inside the toolkit's own event queue.
        { std::lock_guard lock(m_posted); }
        if (e->type() != kDrainEvent) return QObject::event(e);
        m_drain();
        return true;
    }

private:
    std::function<void()> m_drain;
    std::mutex& m_posted;
};

}  // namespace

bool OnGuiThread() {
    auto* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

struct GuiCaller::Request {
    const std::function<void()>* fn = nullptr;
    bool done = false;
    bool ran = false;
    // A posted request owns its code and is deleted once run or dropped.
    std::function<void()> posted;
};

GuiCaller::GuiCaller() : m_bridge(new Bridge([this] { Drain(); }, m_mutex)) {
    if (auto* app = QCoreApplication::instance()) m_bridge->moveToThread(app->thread());
}

GuiCaller::~GuiCaller() {
    Close();
    delete m_bridge;
}

bool GuiCaller::Run(const std::function<void()>& fn) {
    if (OnGuiThread()) {
        fn();
        return true;
    }
    Request request;
    request.fn = &fn;
    std::unique_lock lock(m_mutex);
    if (m_closed) return false;
    m_queue.push_back(&request);
    QCoreApplication::postEvent(m_bridge, new QEvent(kDrainEvent));
    m_answered.wait(lock, [&] { return request.done; });
    return request.ran;
}

void GuiCaller::Post(std::function<void()> fn) {
    if (OnGuiThread()) {
        if (!IsClosed()) fn();
        return;
    }
    auto* request = new Request;
    request->posted = std::move(fn);
    request->fn = &request->posted;
    std::lock_guard lock(m_mutex);
    if (m_closed) {
        delete request;
        return;
    }
    m_queue.push_back(request);
    QCoreApplication::postEvent(m_bridge, new QEvent(kDrainEvent));
}

void GuiCaller::Drain() {
    for (;;) {
        Request* request = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty()) return;
            request = m_queue.front();
            m_queue.pop_front();
        }
        if (request->fn == &request->posted) {
            request->posted();
            delete request;
            continue;
        }
        // A request may open a modal window whose event loop drains later
        // requests; each one is answered when its own code returns.
        GuiCaller* outer = g_serving;
        g_serving = this;
        (*request->fn)();
        g_serving = outer;
        std::lock_guard lock(m_mutex);
        request->ran = true;
        request->done = true;
        m_answered.notify_all();
    }
}

void GuiCaller::Close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    for (Request* request : m_queue) {
        if (request->fn == &request->posted) delete request;
        else request->done = true;  // answered unrun
    }
    m_queue.clear();
    m_answered.notify_all();
}

void GuiCaller::Reopen() {
    std::lock_guard lock(m_mutex);
    m_closed = false;
}

bool GuiCaller::IsClosed() const {
    std::lock_guard lock(m_mutex);
    return m_closed;
}

GuiCaller* GuiCaller::Serving() { return g_serving; }

}  // namespace fw
