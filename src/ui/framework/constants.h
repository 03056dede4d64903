// Command ids, message-box styles and answers, and button check states that the
// dialogs and their handlers exchange.
#pragma once

namespace fw {

// Dialog results and message-box answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Message-box styles: buttons in the low nibble, icon in the next one.
constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONINFORMATION = 0x40;

// Check states of check boxes and radio buttons.
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;

}  // namespace fw
