// What the dialogs ask of the desktop: message boxes, the file and folder
// pickers, and opening web or mail addresses. Tests replace the desktop with a
// scripted one; the program uses the real one.
#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace fw {

class GuiCaller;

class Desktop {
public:
    virtual ~Desktop() = default;

    // Shows `text` with `caption`; `style` is MB_OK or MB_YESNO with an icon.
    // Answers IDYES or IDNO for a question and IDOK for a notice; a question
    // closed any other way answers IDNO.
    virtual int MessageBox(QWidget* owner, const QString& text, const QString& caption,
                           unsigned style);
    // The chosen folder's path, or empty when cancelled.
    virtual QString BrowseForFolder(QWidget* owner, const QString& title);
    // The chosen files' full paths in the picker's order (several when
    // `multiSelect`), or none when cancelled. `filter` is in the form
    // "Backup files (*.bak);;All files (*)"; empty shows every file. A typed
    // name without a suffix gets `defaultSuffix` when one is given.
    virtual QStringList OpenFileNames(QWidget* owner, const QString& title,
                                      const QString& filter, bool multiSelect,
                                      const QString& defaultSuffix = QString());
    // Opens the address with the desktop's default handler (browser, mail).
    virtual void OpenUrl(const QString& address);
};

// The desktop in use; `SetDesktop(nullptr)` restores the real one.
Desktop& CurrentDesktop();
void SetDesktop(Desktop* desktop);

// Modal windows that are running now, so that a closing dialog can end those
// shown on its workers' behalf. GUI thread only.
class ModalScope {
public:
    explicit ModalScope(QDialog* window);
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};
// Ends every running modal window that was opened while serving `caller`.
void EndModalsServing(GuiCaller* caller);

// The application's main window: the owner of dialogs made without a parent.
QWidget* MainWindow();
void SetMainWindow(QWidget* window);

}  // namespace fw
