// What the user-interface tests share: a desktop that answers from a script and
// records what it was asked, and a way to act while a modal loop runs.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "framework/constants.h"
#include "framework/desktop.h"
#include "framework/dialog.h"
#include "framework/gui_call.h"

struct AskedBox {
    QWidget* owner;
    QString text;
    QString caption;
    unsigned style;
    bool onGuiThread;
};

class ScriptedDesktop : public fw::Desktop {
public:
    ScriptedDesktop() { fw::SetDesktop(this); }
    ~ScriptedDesktop() override { fw::SetDesktop(nullptr); }

    int MessageBox(QWidget* owner, const QString& text, const QString& caption,
                   unsigned style) override {
        std::function<void(const QString&)> hook;
        {
            std::lock_guard lock(m_mutex);
            hook = onBox;
        }
        if (hook) hook(text);  // acts while the box is "open", before it is answered
        std::lock_guard lock(m_mutex);
        boxes.push_back({owner, text, caption, style, fw::OnGuiThread()});
        if ((style & 0x0F) != fw::MB_YESNO) return fw::IDOK;  // a notice takes no answer
        if (answers.empty()) return fw::IDNO;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString BrowseForFolder(QWidget*, const QString& title) override {
        std::lock_guard lock(m_mutex);
        folderTitles.push_back(title);
        if (folders.empty()) return {};
        const QString folder = folders.front();
        folders.pop_front();
        return folder;
    }
    QStringList OpenFileNames(QWidget* owner, const QString&, const QString& filter, bool multiSelect,
                              const QString& defaultSuffix) override {
        std::function<QStringList(QWidget*)> standIn;
        {
            std::lock_guard lock(m_mutex);
            pickers.push_back({owner, filter, multiSelect, defaultSuffix, fw::OnGuiThread()});
            standIn = picker;
        }
        if (standIn) return standIn(owner);
        std::lock_guard lock(m_mutex);
        if (files.empty()) return {};
        const QStringList chosen = files.front();
        files.pop_front();
        return chosen;
    }
    void OpenUrl(const QString& address) override {
        std::lock_guard lock(m_mutex);
        urls.push_back(address);
    }

    std::vector<AskedBox> Boxes() {
        std::lock_guard lock(m_mutex);
        return boxes;
    }

    std::mutex m_mutex;
    std::deque<int> answers;        // IDYES / IDNO for the next questions (notices take none)
    std::function<void(const QString&)> onBox;  // called on every box before it is answered
    // Stands in for the file picker when set (for a picker that stays open a while).
    std::function<QStringList(QWidget*)> picker;
    std::deque<QString> folders;    // empty string: the picker was cancelled
    std::vector<AskedBox> boxes;
    std::vector<QString> folderTitles;
    struct Picker {
        QWidget* owner;
        QString filter;
        bool multiSelect;
        QString defaultSuffix;
        bool onGuiThread;
    };
    std::deque<QStringList> files;  // the files chosen in the next pickers; empty: cancelled
    std::vector<Picker> pickers;
    std::vector<QString> urls;
};

// Calls `step` on the GUI thread every few milliseconds, also inside modal
// loops, until it returns true. The timer deletes itself then; it may also be
// deleted before.
inline QTimer* Repeatedly(std::function<bool()> step) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
        if (step()) timer->deleteLater(), timer->stop();
    });
    timer->start();
    return timer;
}

// Serves events until `done` answers true; false when `ms` milliseconds pass first.
inline bool WaitFor(const std::function<bool()>& done, int ms = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

// The visible window of type T, if one is open.
template <class T>
T* OpenWindow() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = dynamic_cast<T*>(window); found && found->isVisible()) return found;
    return nullptr;
}

inline QAbstractButton* ButtonOf(fw::Dialog& dialog, int id) {
    return static_cast<QAbstractButton*>(dialog.Item(id));
}

// Runs `test` inside the dialog's modal loop, where its workers may start, as
// the dialog's main window; then ends the dialog (workers joined) and returns.
inline void InsideModal(fw::Dialog& dialog, const std::function<void()>& test) {
    fw::SetMainWindow(&dialog);
    QTimer::singleShot(0, &dialog, [&] {
        test();
        dialog.EndDialog(fw::IDOK);
    });
    dialog.DoModal();
    fw::SetMainWindow(nullptr);
}

// Picks the `index`th item of the menu that is open now; -1 dismisses it.
inline void ChooseFromOpenMenu(int index) {
    Repeatedly([index] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return false;
        if (index < 0) {
            QTest::keyClick(menu, Qt::Key_Escape);
            return true;
        }
        for (int i = 0; i <= index; ++i) QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        return true;
    });
}
