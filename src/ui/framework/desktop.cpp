#include "framework/desktop.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <vector>

#include "framework/constants.h"
#include "framework/dialog.h"
#include "framework/gui_call.h"

namespace fw {

namespace {

Desktop g_realDesktop;
Desktop* g_desktop = &g_realDesktop;
QPointer<QWidget> g_mainWindow;

struct RunningModal {
    QPointer<QDialog> window;
    GuiCaller* serving;
};
std::vector<RunningModal> g_modals;  // GUI thread only, innermost last

}  // namespace

int Desktop::MessageBox(QWidget* owner, const QString& text, const QString& caption,
                        unsigned style) {
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon((style & 0xF0) == MB_ICONQUESTION ? QMessageBox::Question
                                                  : QMessageBox::Information);
    const bool question = (style & 0x0F) == MB_YESNO;
    QAbstractButton* yes = nullptr;
    if (question) {
        yes = box.addButton(QMessageBox::Yes);
        box.addButton(QMessageBox::No);
    } else {
        box.addButton(QMessageBox::Ok);
    }
    ModalScope scope(&box);
    box.exec();
    if (!question) return IDOK;
    return box.clickedButton() == yes && yes != nullptr ? IDYES : IDNO;
}

QString Desktop::BrowseForFolder(QWidget* owner, const QString& title) {
    QFileDialog picker(owner, title);
    picker.setFileMode(QFileDialog::Directory);
    picker.setOption(QFileDialog::ShowDirsOnly, true);
    ModalScope scope(&picker);
    if (picker.exec() != QDialog::Accepted) return {};
    const QStringList chosen = picker.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

QStringList Desktop::OpenFileNames(QWidget* owner, const QString& title, const QString& filter,
                                   bool multiSelect, const QString& defaultSuffix) {
    QFileDialog picker(owner, title);
    picker.setAcceptMode(QFileDialog::AcceptOpen);
    picker.setFileMode(multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!filter.isEmpty()) picker.setNameFilter(filter);
    if (!defaultSuffix.isEmpty()) picker.setDefaultSuffix(defaultSuffix);
    ModalScope scope(&picker);
    if (picker.exec() != QDialog::Accepted) return {};
    return picker.selectedFiles();
}

void Desktop::OpenUrl(const QString& address) {
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

Desktop& CurrentDesktop() { return *g_desktop; }
void SetDesktop(Desktop* desktop) { g_desktop = desktop ? desktop : &g_realDesktop; }

ModalScope::ModalScope(QDialog* window) {
    g_modals.push_back({QPointer<QDialog>(window), GuiCaller::Serving()});
}

ModalScope::~ModalScope() { g_modals.pop_back(); }

void EndModalsServing(GuiCaller* caller) {
    for (const RunningModal& modal : g_modals) {
        if (modal.serving != caller || modal.window.isNull()) continue;
        if (auto* dialog = dynamic_cast<Dialog*>(modal.window.data()))
            dialog->EndDialog(IDCANCEL);
        else
            modal.window->reject();
    }
}

QWidget* MainWindow() { return g_mainWindow.data(); }
void SetMainWindow(QWidget* window) { g_mainWindow = window; }

}  // namespace fw
