// Handles to a dialog's controls, bound by id. Every call runs on the GUI
// thread: from a worker thread it is sent there and waits for the answer (and
// does nothing once the dialog is closing).
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class QWidget;
class QMenu;

namespace fw {

class Dialog;
struct ControlTemplate;

// Builds the widget for one template row; the dialog places it.
QWidget* CreateControl(const ControlTemplate& item, Dialog* dialog);

class Wnd {
public:
    void Attach(Dialog& dialog, int id);  // binds the handle to control `id`
    int Id() const { return m_id; }
    QWidget* Widget() const;

    void EnableWindow(bool enable);
    void ShowWindow(bool show);
    void SetWindowText(const QString& text);
    QString GetWindowText() const;
    void SetFont(const QFont& font);
    void SetFocus();

protected:
    template <class F>
    auto Call(F&& fn) const;

    Dialog* m_dialog = nullptr;
    int m_id = 0;
};

using Static = Wnd;
using Edit = Wnd;

// Push buttons, radio buttons and check boxes.
class Button : public Wnd {
public:
    void SetCheck(int state);  // BST_CHECKED or BST_UNCHECKED
    int GetCheck() const;
    void SetTooltip(const QString& text);
    void SetImage(const QString& resource);  // shown left of the text
};

// A menu of commands: a title and (command id, text) items.
struct MenuTemplate {
    const char* title;
    std::vector<std::pair<int, const char*>> items;
};

class MenuButton : public Button {
public:
    // The pop-up that the button drops down; null: the button shows no menu.
    void SetMenu(const MenuTemplate* menu);
    // Command id chosen the last time the menu was shown; 0 when dismissed.
    int MenuResult() const;
};

class LinkCtrl : public Button {
public:
    void SetURLPrefix(const QString& prefix);
    void SetURL(const QString& url);
    QString Address() const;  // prefix + URL, what a click opens
    void SizeToContent();     // fits the control to its text, keeping its position
    void SetDrawFocus(bool draw);
};

// A list view in report mode. Rows and columns count from 0.
class ListCtrl : public Wnd {
public:
    enum ExtendedStyle : unsigned { kGridLines = 0x01, kCheckBoxes = 0x04, kFullRowSelect = 0x20, kInfoTip = 0x400 };

    int InsertColumn(int column, const QString& title, int width = -1);
    void SetColumnWidth(int column, int width);
    int GetColumnWidth(int column) const;
    int GetColumnCount() const;
    QString GetColumnTitle(int column) const;
    unsigned GetExtendedStyle() const;
    void SetExtendedStyle(unsigned style);

    int GetItemCount() const;
    int InsertItem(int row, const QString& text);  // returns the new row's index
    void SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    void DeleteItem(int row);
    void DeleteAllItems();

    bool IsSelected(int row) const;
    void SetSelected(int row, bool selected);
    std::vector<int> GetSelectedRows() const;  // ascending
    int GetSelectionMark() const;             // -1 when none
    void SetSelectionMark(int row);
    int GetFocusedRow() const;                // -1 when none
    bool GetCheck(int row) const;
    void SetCheck(int row, bool checked);
    void RedrawItems(int first, int last);
};

// A progress bar whose range and position are signed 32-bit values.
class ProgressCtrl : public Wnd {
public:
    void SetRange32(int32_t lower, int32_t upper);
    void GetRange(int32_t& lower, int32_t& upper) const;
    void SetPos(int32_t position);
    int32_t GetPos() const;
    // Moves the bar without waiting for the GUI thread: the position is left
    // for the bar, which takes the latest one left at its next repaint (about
    // 30 times a second while shown) and before any later call on it, and
    // before it is hidden.
    void PostPos(int32_t position);
};

}  // namespace fw
