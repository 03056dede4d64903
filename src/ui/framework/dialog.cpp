#include "framework/dialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "framework/controls.h"
#include "framework/desktop.h"

namespace fw {

QFont DialogFont() {
    QFont font;
    font.setFamilies({"Liberation Sans", "Arial", "DejaVu Sans"});
    font.setPixelSize(11);  // 8 points at 96 dots per inch
    return font;
}

QFont SansFontForCell(int cellHeight, int weight) {
    QFont font;
    font.setFamilies({"Liberation Sans", "Arial", "DejaVu Sans"});
    font.setWeight(static_cast<QFont::Weight>(weight));
    for (int pixels = cellHeight; pixels > 4; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= cellHeight) break;
    }
    return font;
}

Dialog::Dialog(DialogTemplate dialogTemplate, QWidget* parent)
    : QDialog(parent), m_template(std::move(dialogTemplate)) {}

Dialog::~Dialog() {
    m_caller.Close();
    JoinWorkers();
}

void Dialog::Create() {
    if (m_created) return;
    m_created = true;

    if (!parentWidget() && MainWindow() && MainWindow() != this) setParent(MainWindow());
    if (m_template.titleBar) {
        // Where every point of the window answers as its caption, the close box
        // in the title bar does not respond; the window manager cannot tell that
        // box from its other ways of closing, so such a window is offered none.
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       (m_dragAnywhere ? Qt::WindowFlags() : Qt::WindowCloseButtonHint));
        m_border = 0;
    } else {
        setWindowFlags((parentWidget() ? Qt::Dialog : Qt::Window) | Qt::FramelessWindowHint |
                       Qt::WindowSystemMenuHint);
        m_border = 1;
    }

    setFont(DialogFont());
    // Base units: the average width of the alphabet's letters, rounded, and the
    // character cell's height with ascent and descent each rounded up.
    const QFontMetricsF metrics(font());
    const int alphabet = static_cast<int>(std::lround(
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")));
    m_baseX = (alphabet / 26 + 1) / 2;
    m_baseY = static_cast<int>(std::ceil(metrics.ascent()) + std::ceil(metrics.descent()));

    const QPoint size = DialogUnitsToPixels(m_template.cx, m_template.cy);
    setFixedSize(size.x() + 2 * m_border, size.y() + 2 * m_border);
    setWindowTitle(QString::fromUtf8(m_template.caption));

    std::vector<QWidget*> groupBoxes;
    for (const ControlTemplate& item : m_template.controls) {
        QWidget* widget = CreateControl(item, this);
        const QPoint topLeft = DialogUnitsToPixels(item.x, item.y);
        const QPoint extent = DialogUnitsToPixels(item.cx, item.cy);
        widget->setGeometry(topLeft.x() + m_border, topLeft.y() + m_border, extent.x(),
                            extent.y());
        widget->setVisible(!(item.style & kHidden));
        widget->setEnabled(!(item.style & kDisabled));
        // A label is laid out for the original platform's font; where ours runs a
        // little wider, the label grows to the right rather than cut its text,
        // but not past the dialog's right edge.
        if (item.kind == Kind::Static && widget->sizeHint().width() > widget->width()) {
            const int room = std::max(size.x() + m_border - widget->x(), widget->width());
            widget->resize(std::min(widget->sizeHint().width(), room), widget->height());
        }
        if (item.kind == Kind::Radio || item.kind == Kind::CheckBox) {
            widget->setAutoFillBackground(true);  // covers a group box's frame line
            widget->resize(widget->sizeHint().width(), widget->height());
        }
        // Earlier template rows lie above later ones.
        widget->lower();
        if (item.id != -1) m_items.emplace(item.id, widget);
        if (item.kind == Kind::GroupBox) groupBoxes.push_back(widget);
    }
    // A group box only frames other controls: they lie above it, and a radio
    // button or check box on its frame line hides the line.
    for (QWidget* groupBox : groupBoxes) groupBox->lower();

    if (OnInitDialog()) {
        for (const ControlTemplate& item : m_template.controls) {
            QWidget* widget = item.id != -1 ? Item(item.id) : nullptr;
            if ((item.style & kTabStop) && widget && !widget->isHidden() && widget->isEnabled()) {
                widget->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
}

int Dialog::DoModal() {
    Create();
    m_ending = false;
    m_caller.Reopen();
    m_modal = true;
    // Placed before it is first shown, so that its native window is made where
    // it will stand. Left for the show event, the centring would move a window
    // that already exists; a window manager that reparents it may frame it
    // before the toolkit reads that move back, which then reads the frame's
    // unplaced corner as the window's place and keeps it: everything shown
    // over the window, and its first drag, would be off by its real place.
    if (!testAttribute(Qt::WA_Moved)) adjustPosition(parentWidget());
    int result;
    {
        ModalScope scope(this);
        result = exec();
    }
    m_modal = false;
    JoinWorkers();
    OnWorkersStopped();
    return result == IDOK ? IDOK : IDCANCEL;
}

void Dialog::EndDialog(int result) {
    m_ending = true;
    m_caller.Close();
    EndModalsServing(&m_caller);
    done(result);
}

bool Dialog::OnInitDialog() { return true; }
void Dialog::OnOK() { EndDialog(IDOK); }
void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::SetWindowText(const QString& text) {
    Send([&] { setWindowTitle(text); });
}

QString Dialog::GetWindowText() const {
    return const_cast<Dialog*>(this)->Send([&] { return windowTitle(); });
}

QWidget* Dialog::Item(int id) const {
    const auto found = m_items.find(id);
    return found == m_items.end() ? nullptr : found->second;
}

QPoint Dialog::DialogUnitsToPixels(int x, int y) const {
    auto scale = [](int value, int base, int divisor) {
        const long long product = static_cast<long long>(value) * base;
        return static_cast<int>((product + (product >= 0 ? divisor / 2 : -divisor / 2)) / divisor);
    };
    return {scale(x, m_baseX, 4), scale(y, m_baseY, 8)};
}

void Dialog::SendNotify(Notify code, int id) {
    if (OnNotify(code, id) || code != Notify::Clicked) return;
    if (id == IDOK) OnOK();
    else if (id == IDCANCEL) OnCancel();
}

bool Dialog::OnNotify(Notify, int) { return false; }

int Dialog::MessageBox(const QString& text, const QString& caption, unsigned style) {
    return Send([&] { return CurrentDesktop().MessageBox(this, text, caption, style); },
                IDCANCEL);
}

bool Dialog::BeginThread(std::function<void()> body) {
    if (!m_modal || m_ending) return false;
    ReleaseFinishedWorkers();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([this, body = std::move(body), finished] {
        body();
        finished->store(true);
        // The GUI thread joins it; once the dialog is closing, DoModal does.
        m_caller.Post([this] { ReleaseFinishedWorkers(); });
    });
    m_workers.push_back({std::move(thread), std::move(finished)});
    return true;
}

void Dialog::ReleaseFinishedWorkers() {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (it->finished->load()) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

bool Dialog::WorkersRunning() const {
    for (const Worker& worker : m_workers)
        if (!worker.finished->load()) return true;
    return false;
}

// Waits for every worker while still serving the GUI thread's events, so that a
// worker blocked on a call to the GUI thread is answered rather than deadlocked.
void Dialog::JoinWorkers() {
    while (WorkersRunning()) {
        if (OnGuiThread()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    for (Worker& worker : m_workers)
        if (worker.thread.joinable()) worker.thread.join();
    m_workers.clear();
}

// Keys that the focused control left to the dialog. With the system's key
// handling, Enter presses the focused push button, else the default button while
// it is enabled, and Escape is the Cancel command.
void Dialog::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (m_ignoreEnterEscape && (enter || key == Qt::Key_Escape)) {
        event->accept();
        return;
    }
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        if (focused && focused->isVisible() && focused->isEnabled()) {
            event->accept();
            focused->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

// The window manager's close (Alt+F4, the task bar) is the Cancel command.
void Dialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!m_ending && isVisible()) SendNotify(Notify::Clicked, IDCANCEL);
}

void Dialog::reject() { SendNotify(Notify::Clicked, IDCANCEL); }
void Dialog::accept() { SendNotify(Notify::Clicked, IDOK); }

void Dialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (m_border == 0) return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Shadow));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// A press on the dialog's own surface drags the window, which follows the
// pointer itself while the left button is held: the release the window receives
// ends the drag, so a tap moves nothing and a quick flick moves it only as far
// as the pointer went while held. Handing the move to the window manager on the
// press would lose a release that reaches the server before the manager takes
// the pointer, and leave the window following a pointer with no button held.
// Only where a client cannot place its own window (Wayland) is the move handed
// over; there a compositor starts a move only while its press lasts.
void Dialog::mousePressEvent(QMouseEvent* event) {
    if (!m_dragAnywhere || event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    event->accept();
    if (QGuiApplication::platformName().startsWith("wayland") && windowHandle() &&
        windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->position().toPoint();
}

void Dialog::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        QDialog::mouseMoveEvent(event);
        return;
    }
    event->accept();
    // A release that went elsewhere (the window lost the pointer to a popup, say)
    // ends the drag too.
    if (!(event->buttons() & Qt::LeftButton)) {
        m_dragging = false;
        return;
    }
    // The window's own area goes where the pointer holds it, counted from the
    // press itself: the toolkit's idea of where the window stands can lag behind
    // the window manager's placing of a window just shown. move() counts in the
    // frame around it.
    move(event->globalPosition().toPoint() - m_dragOffset - (geometry().topLeft() - pos()));
}

void Dialog::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragging || event->button() != Qt::LeftButton) {
        QDialog::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    event->accept();
}

}  // namespace fw
