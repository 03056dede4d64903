// What the user-interface tests share: a desktop that answers from a script and
// records what it was asked, and a way to act while a modal loop runs.
#pragma once

#include <QApplication>
#include <QDir>
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
        std::lock_guard lock(m_mutex);
        boxes.push_back({owner, text, caption, style, fw::OnGuiThread()});
        if (answers.empty()) return (style & 0x0F) == fw::MB_YESNO ? fw::IDNO : fw::IDOK;
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
    void OpenUrl(const QString& address) override {
        std::lock_guard lock(m_mutex);
        urls.push_back(address);
    }

    std::vector<AskedBox> Boxes() {
        std::lock_guard lock(m_mutex);
        return boxes;
    }

    std::mutex m_mutex;
    std::deque<int> answers;        // IDYES / IDNO for the next questions
    std::deque<QString> folders;    // empty string: the picker was cancelled
    std::vector<AskedBox> boxes;
    std::vector<QString> folderTitles;
    std::vector<QString> urls;
};

// Calls `step` on the GUI thread every few milliseconds, also inside modal
// loops, until it returns true.
inline void Repeatedly(std::function<bool()> step) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
        if (step()) timer->deleteLater(), timer->stop();
    });
    timer->start();
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

// Saves a picture of `window` where the test run keeps its snapshots.
inline QString SaveSnapshot(QWidget* window, const QString& name) {
    const QString folder = QStringLiteral(ORVENDEL_UI_SNAPSHOT_DIR);
    QDir().mkpath(folder);
    const QString path = folder + "/" + name + ".png";
    window->grab().save(path);
    return path;
}
