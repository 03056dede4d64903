#include "main_dialog.h"

#include <QProcessEnvironment>

#include "about_dialog.h"
#include "framework/desktop.h"
#include "orvendel_app.h"
#include "product.h"
#include "resource.h"

using namespace fw;

namespace {

const DialogTemplate kMainDialogTemplate{
    438, 393, "", false,
    {
        {IDOK, Kind::ImageButton, "Close", 376, 370, 55, 17, kTabStop | kDefault},
        {IDC_GROUP_SAVE_FOLDER, Kind::GroupBox, "Select path to save MDF / LDF file(s):", 7, 291, 420, 32},
        {IDC_EDIT_SAVE_FOLDER, Kind::Edit, "", 62, 303, 329, 14, kBorder | kTabStop | kReadOnly},
        {IDC_BROWSE_SAVE_FOLDER, Kind::Button, "...", 396, 301, 25, 16, kTabStop},
        {IDC_PROGRESS, Kind::Progress, "", 10, 329, 351, 10, kBorder | kHidden},
        {IDC_STOP, Kind::ImageButton, "Stop", 369, 326, 57, 18, kTabStop | kHidden},
        {IDC_SELECT_EXTRACT, Kind::ImageButton, "Select Extract File(s)", 267, 370, 103, 17, kTabStop},
        {IDC_STATIC_STATUS, Kind::Static, "Static", 13, 348, 334, 11, kGroup | kHidden},
        {-1, Kind::Picture, ":/bitmap/131.png", 7, 0, 430, 46},
        {IDC_HELP_BUTTON, Kind::MenuButton, "Help", 5, 370, 55, 17, kTabStop},
        {IDC_GROUP_SCAN_MODE, Kind::GroupBox, "Select Scanning Mode for BAK File Recovery:", 7, 222, 422, 27},
        {IDC_RADIO_STANDARD_MODE, Kind::Radio, "Standard Mode", 165, 234, 65, 10, kGroup},
        {IDC_RADIO_ADVANCED_MODE, Kind::Radio, "Advanced Mode", 272, 234, 67, 10, kGroup},
        {IDCANCEL, Kind::Button, "Cancel", 397, 233, 6, 11, kTabStop | kHidden},
        {-1, Kind::GroupBox, "", 15, 54, 407, 36},
        {IDC_EDIT_BAK_FILE, Kind::Edit, "", 54, 69, 335, 14, kBorder | kTabStop | kReadOnly},
        {IDC_BROWSE_BAK_FILE, Kind::ImageButton, "...", 394, 67, 22, 16, kTabStop},
        {-1, Kind::GroupBox, "", 15, 95, 406, 103},
        {IDC_LIST_INPUT_FILES, Kind::List, "", 23, 111, 311, 79, kBorder | kTabStop},
        {IDC_ADD_FILES, Kind::ImageButton, "Add Files", 339, 114, 75, 16, kTabStop},
        {IDC_REMOVE_FILES, Kind::ImageButton, "Remove Files", 339, 135, 75, 16, kTabStop},
        {IDC_MOVE_UP, Kind::ImageButton, "Move Up", 339, 155, 75, 16, kTabStop},
        {IDC_MOVE_DOWN, Kind::ImageButton, "Move Down", 339, 174, 75, 16, kTabStop},
        {IDC_RADIO_SINGLE_FILE, Kind::Radio, "Select Single .BAK File:", 21, 54, 141, 10, kGroup},
        {IDC_RADIO_SPLIT_FILES, Kind::Radio, "Select Splited .BAK File(s):", 21, 95, 144, 10, kGroup},
        {IDC_CHECK_COMPRESSED, Kind::CheckBox, "Is Selected File(s) Compressed", 18, 203, 114, 10, kTabStop},
        {-1, Kind::GroupBox, "", 7, 48, 422, 169},
        {IDC_GROUP_TEMP_FOLDER, Kind::GroupBox, "Select Temporary File Location:", 7, 254, 422, 34},
        {IDC_EDIT_TEMP_FOLDER, Kind::Edit, "", 63, 267, 329, 14, kBorder | kTabStop | kReadOnly},
        {IDC_BROWSE_TEMP_FOLDER, Kind::Button, "...", 397, 266, 25, 18, kTabStop},
        {IDC_LINK_DOWNLOAD, Kind::Link, "Download Quillmere", 129, 375, 134, 12, kTabStop},
    }};

const MenuTemplate kMenuHelp{
    "Menu_Help",
    {{ID_MENU_HELP_HELP, "Help"}, {ID_MENU_HELP_HOMEPAGE, "Software Homepage"}, {ID_MENU_HELP_ABOUT, "About"}}};

const MessageMap<COrvendelDlg> kMessageMap{
    {Notify::Clicked, IDC_SELECT_EXTRACT, &COrvendelDlg::OnBnClickedSelectExtract},
    {Notify::Clicked, IDC_RADIO_SINGLE_FILE, &COrvendelDlg::OnBnClickedSingleFile},
    {Notify::Clicked, IDC_RADIO_SPLIT_FILES, &COrvendelDlg::OnBnClickedSplitFiles},
    {Notify::Clicked, IDC_RADIO_STANDARD_MODE, &COrvendelDlg::OnBnClickedStandardMode},
    {Notify::Clicked, IDC_RADIO_ADVANCED_MODE, &COrvendelDlg::OnBnClickedAdvancedMode},
    {Notify::Clicked, IDC_BROWSE_TEMP_FOLDER, &COrvendelDlg::OnBnClickedBrowseTempFolder},
    {Notify::Clicked, IDC_BROWSE_SAVE_FOLDER, &COrvendelDlg::OnBnClickedBrowseSaveFolder},
    {Notify::Clicked, IDC_STOP, &COrvendelDlg::OnBnClickedStop},
    {Notify::Clicked, IDOK, &COrvendelDlg::OnBnClickedClose},
    {Notify::Clicked, IDCANCEL, &COrvendelDlg::OnBnClickedCancel},
    {Notify::Clicked, IDC_HELP_BUTTON, &COrvendelDlg::OnBnClickedHelp},
};

// A picked folder as the folder boxes show it: with one trailing separator.
QString WithFolderSeparator(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

}  // namespace

QString SystemTempFolder() {
    QString folder = qEnvironmentVariable("TMPDIR");
    if (folder.isEmpty()) folder = QStringLiteral("/tmp/");
    folder = WithFolderSeparator(folder);
    return folder.size() < 512 ? folder : QString();
}

COrvendelDlg::COrvendelDlg() : Dialog(kMainDialogTemplate) {
    InitOrvendelResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 256}) icon.addFile(IconResource(IDR_MAINFRAME, size));
    m_hIcon = icon;
    m_fontBold = SansFontForCell(14, 600);
    SetIgnoreEnterEscape(true);
    SetDragAnywhere(true);
}

COrvendelDlg::~COrvendelDlg() = default;

void COrvendelDlg::DoDataExchange() {
    m_listInputFiles.Attach(*this, IDC_LIST_INPUT_FILES);
    m_radioStandardMode.Attach(*this, IDC_RADIO_STANDARD_MODE);
    m_radioAdvancedMode.Attach(*this, IDC_RADIO_ADVANCED_MODE);
    m_radioSingleFile.Attach(*this, IDC_RADIO_SINGLE_FILE);
    m_radioSplitFiles.Attach(*this, IDC_RADIO_SPLIT_FILES);
    m_editBakFile.Attach(*this, IDC_EDIT_BAK_FILE);
    m_btnBrowseBakFile.Attach(*this, IDC_BROWSE_BAK_FILE);
    m_btnAddFiles.Attach(*this, IDC_ADD_FILES);
    m_btnRemoveFiles.Attach(*this, IDC_REMOVE_FILES);
    m_btnMoveUp.Attach(*this, IDC_MOVE_UP);
    m_btnMoveDown.Attach(*this, IDC_MOVE_DOWN);
    m_chkCompressed.Attach(*this, IDC_CHECK_COMPRESSED);
    m_editSaveFolder.Attach(*this, IDC_EDIT_SAVE_FOLDER);
    m_btnBrowseSaveFolder.Attach(*this, IDC_BROWSE_SAVE_FOLDER);
    m_editTempFolder.Attach(*this, IDC_EDIT_TEMP_FOLDER);
    m_btnStop.Attach(*this, IDC_STOP);
    m_progress.Attach(*this, IDC_PROGRESS);
    m_btnSelectExtract.Attach(*this, IDC_SELECT_EXTRACT);
    m_btnClose.Attach(*this, IDOK);
    m_staticStatus.Attach(*this, IDC_STATIC_STATUS);
    m_btnBrowseTempFolder.Attach(*this, IDC_BROWSE_TEMP_FOLDER);
    m_btnHelp.Attach(*this, IDC_HELP_BUTTON);
    m_groupScanMode.Attach(*this, IDC_GROUP_SCAN_MODE);
    m_groupTempFolder.Attach(*this, IDC_GROUP_TEMP_FOLDER);
    m_groupSaveFolder.Attach(*this, IDC_GROUP_SAVE_FOLDER);
    m_linkDownload.Attach(*this, IDC_LINK_DOWNLOAD);
}

bool COrvendelDlg::OnNotify(Notify code, int id) { return Dispatch(*this, kMessageMap, code, id); }

bool COrvendelDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    DoDataExchange();

    setWindowIcon(m_hIcon);

    m_listInputFiles.InsertColumn(0, "Backup File Path");
    m_listInputFiles.SetColumnWidth(0, 350);
    m_listInputFiles.SetExtendedStyle(m_listInputFiles.GetExtendedStyle() | ListCtrl::kGridLines |
                                      ListCtrl::kFullRowSelect);
    m_listInputFiles.SetFont(m_fontBold);

    m_radioStandardMode.SetCheck(BST_CHECKED);
    m_radioAdvancedMode.SetCheck(BST_UNCHECKED);

    OnBnClickedSingleFile();

    const struct {
        Button* button;
        const char* tooltip;
        int image;
    } imageButtons[] = {
        {&m_btnAddFiles, "Add .Bak File(s)", IDB_PNG_ADD_FILES},
        {&m_btnRemoveFiles, "Remove file(s)", IDB_PNG_REMOVE_FILES},
        {&m_btnMoveUp, "Move Up", IDB_PNG_MOVE_UP},
        {&m_btnMoveDown, "Move Down", IDB_PNG_MOVE_DOWN},
        {&m_btnStop, "Stop the running process", IDB_PNG_STOP},
        {&m_btnClose, "Close the application", IDB_PNG_CLOSE},
        {&m_btnSelectExtract, "Click to save MDF/LDF file(s)", IDB_PNG_SELECT_EXTRACT},
    };
    for (const auto& entry : imageButtons) {
        entry.button->SetTooltip(entry.tooltip);
        entry.button->SetImage(PngResource(entry.image));
    }

    m_linkDownload.SetURLPrefix("https://");
    m_linkDownload.SetURL(kSiblingProductPage);
    m_linkDownload.SizeToContent();
    m_linkDownload.SetTooltip("Software to Repair MDF/LDF Files");
    m_linkDownload.SetDrawFocus(false);

    m_menuHelp = &kMenuHelp;
    m_btnHelp.SetMenu(m_menuHelp);
    m_btnHelp.SetTooltip("Help");
    m_btnHelp.SetImage(PngResource(IDB_PNG_HELP));

    for (Wnd* control : {static_cast<Wnd*>(&m_groupScanMode), static_cast<Wnd*>(&m_radioSingleFile),
                         static_cast<Wnd*>(&m_radioSplitFiles), static_cast<Wnd*>(&m_groupTempFolder),
                         static_cast<Wnd*>(&m_groupSaveFolder)})
        control->SetFont(m_fontBold);

    m_btnBrowseBakFile.SetTooltip("Please select .bak file to continue the recovery process");

    SetWindowText(kProductTitle);
    m_nStopFlag = 0;

    m_strTempFolder = SystemTempFolder();
    m_editTempFolder.SetWindowText(m_strTempFolder);
    return true;
}

// The scan starts here once the scan procedure is in place.
void COrvendelDlg::OnBnClickedSelectExtract() {}

void COrvendelDlg::OnBnClickedSingleFile() {
    m_radioSingleFile.SetCheck(BST_CHECKED);
    m_radioSplitFiles.SetCheck(BST_UNCHECKED);
    m_editBakFile.EnableWindow(true);
    m_btnBrowseBakFile.EnableWindow(true);
    m_listInputFiles.EnableWindow(false);
    m_btnAddFiles.EnableWindow(false);
    m_btnRemoveFiles.EnableWindow(false);
    m_btnMoveUp.EnableWindow(false);
    m_btnMoveDown.EnableWindow(false);
}

void COrvendelDlg::OnBnClickedSplitFiles() {
    m_radioSingleFile.SetCheck(BST_UNCHECKED);
    m_radioSplitFiles.SetCheck(BST_CHECKED);
    m_editBakFile.EnableWindow(false);
    m_btnBrowseBakFile.EnableWindow(false);
    m_listInputFiles.EnableWindow(true);
    m_btnAddFiles.EnableWindow(true);
    m_btnRemoveFiles.EnableWindow(true);
    m_btnMoveUp.EnableWindow(true);
    m_btnMoveDown.EnableWindow(true);
}

void COrvendelDlg::OnBnClickedStandardMode() {
    m_radioStandardMode.SetCheck(BST_CHECKED);
    m_radioAdvancedMode.SetCheck(BST_UNCHECKED);
}

void COrvendelDlg::OnBnClickedAdvancedMode() {
    m_radioStandardMode.SetCheck(BST_UNCHECKED);
    m_radioAdvancedMode.SetCheck(BST_CHECKED);
}

QString COrvendelDlg::BrowseFolder() {
    return CurrentDesktop().BrowseForFolder(this, "Please choose a folder.");
}

void COrvendelDlg::OnBnClickedBrowseTempFolder() {
    const QString path = BrowseFolder();
    if (path.isEmpty()) return;
    m_strTempFolder = WithFolderSeparator(path);
    m_editTempFolder.SetWindowText(m_strTempFolder);
}

void COrvendelDlg::OnBnClickedBrowseSaveFolder() {
    const QString path = BrowseFolder();
    if (path.isEmpty()) return;
    m_strSaveFolder = WithFolderSeparator(path);
    m_editSaveFolder.SetWindowText(m_strSaveFolder);
}

void COrvendelDlg::OnBnClickedStop() {
    if (MessageBox("Are you sure to Stop the running Process ?", kProductTitle,
                   MB_YESNO | MB_ICONINFORMATION) == IDYES)
        m_nStopFlag = 1;
}

bool COrvendelDlg::ConfirmClose() {
    return MessageBox("Are you sure to close the application?", kProductTitle,
                      MB_YESNO | MB_ICONINFORMATION) == IDYES;
}

// Ending the dialog stops the workers (stop flag, no more calls served); the
// lists they read are emptied once they have been joined.
void COrvendelDlg::OnBnClickedClose() {
    if (!ConfirmClose()) return;
    m_nStopFlag = 1;
    m_clearListsWhenStopped = true;
    CurrentDesktop().OpenUrl(kProductPageAddress);
    Dialog::OnOK();
}

void COrvendelDlg::OnBnClickedCancel() {
    if (!ConfirmClose()) return;
    m_nStopFlag = 1;
    m_clearListsWhenStopped = true;
    Dialog::OnCancel();
}

void COrvendelDlg::OnWorkersStopped() {
    if (!m_clearListsWhenStopped) return;
    m_inputFiles.clear();
    if (COrvendelApp* app = GetOrvendelApp()) app->m_catalog.m_databaseFiles.clear();
}

void COrvendelDlg::OnBnClickedHelp() {
    switch (m_btnHelp.MenuResult()) {
        case ID_MENU_HELP_HELP:
            CurrentDesktop().OpenUrl(kOnlineGuideAddress);
            break;
        case ID_MENU_HELP_HOMEPAGE:
            CurrentDesktop().OpenUrl(kProductPageAddress);
            break;
        case ID_MENU_HELP_ABOUT:
            ShowAboutDialog();
            break;
        default:
            break;
    }
}
