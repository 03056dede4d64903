// The dialog base: a window built from a template table of controls, with its
// buttons routed to the handlers of one table per dialog, run modally, and the
// worker threads that it starts kept and joined before it is gone.
#pragma once

#include <QDialog>
#include <QFont>
#include <QPoint>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "framework/constants.h"
#include "framework/gui_call.h"

namespace fw {

enum class Kind {
    Button,       // plain push button; Enter on it does nothing
    ImageButton,  // push button with optional image left of the text and a tooltip; Enter presses it
    MenuButton,   // image button that drops down a menu and reports the chosen command
    Link,         // web link drawn as text; opens its address itself
    Radio,        // automatic radio button that is its own group
    CheckBox,     // automatic check box
    GroupBox,
    Static,       // text label
    Picture,      // image label: `text` names the image resource
    Edit,
    List,         // list view in report mode
    Progress,
};

enum Style : unsigned {
    kTabStop = 1u << 0,
    kDefault = 1u << 1,      // the default push button
    kHidden = 1u << 2,       // created hidden
    kDisabled = 1u << 3,     // created disabled
    kReadOnly = 1u << 4,     // edit
    kBorder = 1u << 5,
    kSingleSel = 1u << 6,    // list: one selected row at most
    kGroup = 1u << 7,        // starts a group (radio buttons are each their own group)
};

// One control of a dialog template; the rectangle is in dialog units.
struct ControlTemplate {
    int id;  // -1 for controls nobody reaches
    Kind kind;
    const char* text;
    int x, y, cx, cy;
    unsigned style = 0;
};

struct DialogTemplate {
    int cx, cy;               // client size in dialog units
    const char* caption;
    bool titleBar;            // false: thin border, no title bar
    std::vector<ControlTemplate> controls;  // template order = tab order
};

// Notifications a control sends to its dialog. A list sends ListClick after every
// click anywhere in it (a row, a check box, empty space); HeaderClick comes from
// a list's column header, whose id is 0.
enum class Notify { Clicked, ListClick, HeaderClick };

class Dialog;

// One row of a dialog's message map.
template <class D>
struct Route {
    Notify code;
    int id;
    void (D::*handler)();
};
template <class D>
using MessageMap = std::vector<Route<D>>;

// Calls the first handler of `map` that matches; false when none does.
template <class D>
bool Dispatch(D& dialog, const MessageMap<D>& map, Notify code, int id) {
    for (const Route<D>& route : map) {
        if (route.code == code && route.id == id) {
            (dialog.*route.handler)();
            return true;
        }
    }
    return false;
}

class Dialog : public QDialog {
public:
    explicit Dialog(DialogTemplate dialogTemplate, QWidget* parent = nullptr);
    ~Dialog() override;

    // Builds the window and its controls (once) and runs OnInitDialog.
    void Create();
    // Runs the dialog modally; returns the code given to EndDialog (IDOK or
    // IDCANCEL). Before it returns, the dialog's workers have ended.
    int DoModal();
    // Ends the modal loop with `result`. Also ends modal windows shown on the
    // behalf of this dialog's workers and stops serving their calls: from now
    // on they get default answers instead of waiting.
    void EndDialog(int result);

    virtual bool OnInitDialog();  // true: the first tab stop takes the focus
    virtual void OnOK();          // EndDialog(IDOK)
    virtual void OnCancel();      // EndDialog(IDCANCEL)

    void SetWindowText(const QString& text);
    QString GetWindowText() const;

    QWidget* Item(int id) const;  // null when the dialog has no such control
    // Dialog units to pixels, from the dialog font's average character size.
    QPoint DialogUnitsToPixels(int x, int y) const;
    int BaseUnitX() const { return m_baseX; }
    int BaseUnitY() const { return m_baseY; }

    // Sends a notification of control `id` to the dialog's message map.
    void SendNotify(Notify code, int id);

    // Runs `fn` on the GUI thread for a worker thread and waits for it; when the
    // dialog is closing, answers `fallback` without running it.
    template <class F, class R>
    R Send(F&& fn, R fallback) {
        return m_caller.Call(std::forward<F>(fn), std::move(fallback));
    }
    template <class F>
    auto Send(F&& fn) {
        return m_caller.Call(std::forward<F>(fn));
    }
    GuiCaller& Caller() { return m_caller; }

    // MessageBox owned by this dialog; from a worker, through Send (a closing
    // dialog answers IDCANCEL).
    int MessageBox(const QString& text, const QString& caption, unsigned style);

    // Starts a worker thread. Workers run only while the dialog runs modally:
    // DoModal joins every one of them before it returns, so no worker outlives
    // the dialog's members. Outside DoModal nothing is started (false). A worker
    // that has finished is joined and released on the GUI thread soon after.
    // GUI thread only.
    bool BeginThread(std::function<void()> body);
    bool WorkersRunning() const;
    size_t WorkerCount() const { return m_workers.size(); }

protected:
    // Called by the map dispatch; returns false when no handler matched.
    virtual bool OnNotify(Notify code, int id);
    // Called after the workers have been joined at the end of DoModal.
    virtual void OnWorkersStopped() {}

    // Behaviour switches of the derived dialog.
    void SetIgnoreEnterEscape(bool ignore) { m_ignoreEnterEscape = ignore; }
    void SetDragAnywhere(bool drag) { m_dragAnywhere = drag; }

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void accept() override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    void JoinWorkers();
    void ReleaseFinishedWorkers();

    DialogTemplate m_template;
    std::map<int, QWidget*> m_items;
    bool m_created = false;
    bool m_ending = false;
    bool m_modal = false;  // inside DoModal's loop: workers may start
    int m_baseX = 6, m_baseY = 13, m_border = 0;
    bool m_ignoreEnterEscape = false;
    bool m_dragAnywhere = false;
    bool m_dragging = false;
    QPoint m_dragOffset;  // where in the window a drag holds it
    GuiCaller m_caller;
    std::vector<Worker> m_workers;
};

// The font of dialog templates (8-point sans serif at 96 dots per inch).
QFont DialogFont();
// A sans-serif font whose cell (ascent + descent) is at most `cellHeight` pixels.
QFont SansFontForCell(int cellHeight, int weight);

}  // namespace fw
