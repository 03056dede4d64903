#include "main_dialog.h"

#include <QProcessEnvironment>
#include <sys/stat.h>

#include "about_dialog.h"
#include "backup_option_dialog.h"
#include "framework/desktop.h"
#include "orvendel_app.h"
#include "preview_dialog.h"
#include "product.h"
#include "reader/backup_file.h"
#include "reader/scan_context.h"
#include "resource.h"
#include "text.h"

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
    {Notify::Clicked, IDC_BROWSE_BAK_FILE, &COrvendelDlg::OnBnClickedBrowseBakFile},
    {Notify::Clicked, IDC_MOVE_UP, &COrvendelDlg::OnBnClickedMoveUp},
    {Notify::Clicked, IDC_MOVE_DOWN, &COrvendelDlg::OnBnClickedMoveDown},
    {Notify::Clicked, IDC_ADD_FILES, &COrvendelDlg::OnBnClickedAddFiles},
    {Notify::Clicked, IDC_REMOVE_FILES, &COrvendelDlg::OnBnClickedRemoveFiles},
    {Notify::Clicked, IDC_STOP, &COrvendelDlg::OnBnClickedStop},
    {Notify::Clicked, IDOK, &COrvendelDlg::OnBnClickedClose},
    {Notify::Clicked, IDCANCEL, &COrvendelDlg::OnBnClickedCancel},
    {Notify::Clicked, IDC_HELP_BUTTON, &COrvendelDlg::OnBnClickedHelp},
};

// Two names of the same file as the file system sees it: the same device and
// inode, so a hard or symbolic link counts, while names that differ only in
// letter case are two files where the file system tells case apart. A name
// that cannot be looked up is the same file only as the very same text.
bool SameFile(const QString& one, const QString& other) {
    if (one == other) return true;
    struct stat first {}, second {};
    return ::stat(ToUtf8(ToU16(one)).c_str(), &first) == 0 && ::stat(ToUtf8(ToU16(other)).c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

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

    m_strTempFolder = SystemTempFolder();
    m_editTempFolder.SetWindowText(m_strTempFolder);
    return true;
}

void COrvendelDlg::Notice(const QString& text) { MessageBox(text, kProductTitle, MB_ICONINFORMATION); }

// Starts a request: the catalog store and the input list emptied, the input and
// the two folders checked in that order, then the scan of the chosen mode on a
// worker. One scan runs at a time, and none while files are being added: while
// one runs (its walk, its dialogs), "Select Extract File(s)" and "Add Files"
// are disabled and a click does nothing, so nothing is emptied under a worker.
void COrvendelDlg::OnBnClickedSelectExtract() {
    COrvendelApp* app = GetOrvendelApp();
    if (app == nullptr || m_work.ScanRunning() || m_work.AddingRunning()) return;
    CatalogStore& catalog = app->m_catalog;
    catalog.m_backupSets.clear();
    m_inputFiles.clear();
    catalog.m_databaseFiles.clear();
    catalog.m_backupInfo = BackupInfo{};

    const uint8_t compressed = m_chkCompressed.GetCheck() == BST_CHECKED ? 1 : 0;
    if (m_radioSingleFile.GetCheck() == BST_CHECKED) {
        const QString path = m_editBakFile.GetWindowText();
        if (path.isEmpty()) {
            Notice("Please browse backup file first");
            return;
        }
        m_inputFiles.push_back({ToU16(path), compressed});
    } else {
        const int rows = m_listInputFiles.GetItemCount();
        if (rows == 0) {
            Notice("Please add split backup files in list control.");
            return;
        }
        for (int row = 0; row < rows; ++row)
            m_inputFiles.push_back({ToU16(m_listInputFiles.GetItemText(row, 0)), compressed});
    }
    if (m_editSaveFolder.GetWindowText().isEmpty()) {
        Notice("Please browse save location.");
        return;
    }
    if (m_editTempFolder.GetWindowText().isEmpty()) {
        Notice("Temporary Path cannot be left blank.");
        return;
    }
    Notice("Please Make sure Temporary and Saving Location have free space 3 times the size of actual "
           "database file(s).");

    const bool standard = m_radioStandardMode.GetCheck() == BST_CHECKED;
    if (!m_work.BeginScan()) return;
    m_btnSelectExtract.EnableWindow(false);
    m_btnAddFiles.EnableWindow(false);
    const bool started = BeginThread([this, app, standard] {
        ScanRequest request{m_inputFiles, app->m_catalog, m_work.StopFlag(), *this};
        if (standard) ScanThreadStandard(request);
        else ScanThreadAdvanced(request);
        EndScan();
    });
    if (!started) EndScan();
}

// On the GUI thread, so that the buttons are back when the next request may
// start; a closing dialog takes no calls, and the scan is then over all the same.
void COrvendelDlg::EndScan() {
    const bool restored = Caller().Run([this] {
        m_work.EndScan();
        m_btnSelectExtract.EnableWindow(true);
        m_btnAddFiles.EnableWindow(m_radioSplitFiles.GetCheck() == BST_CHECKED);
    });
    if (!restored) m_work.EndScan();
}

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
    m_btnAddFiles.EnableWindow(!m_work.ScanRunning());
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
                   MB_YESNO | MB_ICONINFORMATION) != IDYES)
        return;
    m_work.RequestStop();
}

// ---- the input list ----

void COrvendelDlg::OnBnClickedBrowseBakFile() {
    const QStringList chosen = CurrentDesktop().OpenFileNames(this, QString(), QString(), false);
    m_editBakFile.SetWindowText(chosen.isEmpty() ? QString() : chosen.first());
}

// Refused while a scan runs (the button is disabled then).
void COrvendelDlg::OnBnClickedAddFiles() {
    if (m_work.ScanRunning()) return;
    if (m_listInputFiles.GetItemCount() == 0)
        Notice("Make Sure split Backup Files are in correct order.Use Move Up and Down Button to correct order.");
    if (!m_work.BeginAdding()) return;
    if (!BeginThread([this] { AddFilesThread(this); })) m_work.EndAdding();
}

uint32_t AddFilesThread(COrvendelDlg* dlg) {
    QStringList leftOut;  // the names that did not open, each with its reason
    // The picker runs on the GUI thread, owned by the main dialog, which it
    // keeps disabled while it is open. Qt's picker has no limit on the names.
    const QStringList names = dlg->Send(
        [dlg] { return CurrentDesktop().OpenFileNames(dlg, QString(), QString(), true, "Backup"); },
        QStringList());
    if (!names.isEmpty()) {
        dlg->m_btnStop.ShowWindow(true);
        dlg->m_btnSelectExtract.EnableWindow(false);
        dlg->m_btnClose.EnableWindow(false);
        dlg->m_progress.ShowWindow(true);
        const qsizetype n = names.size();
        const int shift = ProgressShift(static_cast<uint64_t>(n));  // the bar ends full for any number of names
        dlg->m_progress.SetRange32(0, static_cast<int32_t>(n >> shift));
        dlg->m_progress.SetPos(0);
        for (qsizetype i = 0; i < n && dlg->m_work.StopFlag().load() != 1; ++i) {
            try {
                const int row = dlg->m_listInputFiles.GetItemCount();
                const QString& path = names[i];
                if (!dlg->ConfirmIfAlreadyListed(path)) continue;
                QString reason;
                if (dlg->CanOpenBackupFile(path, &reason)) dlg->m_listInputFiles.InsertItem(row, path);
                else leftOut << path + ": " + reason + ".";
                dlg->m_progress.SetPos(static_cast<int32_t>(i >> shift));
            } catch (...) {
                // This name is left out; adding goes on with the next one.
            }
        }
        dlg->m_progress.SetPos(static_cast<int32_t>(n >> shift));
    }
    if (dlg->m_work.EndAdding()) {  // the last worker to end restores the controls
        dlg->m_btnSelectExtract.EnableWindow(true);
        dlg->m_btnClose.EnableWindow(true);
        dlg->m_btnStop.ShowWindow(false);
        dlg->m_progress.SetPos(0);
        dlg->m_progress.ShowWindow(false);
    }
    // One notice for all the names left out.
    if (!leftOut.isEmpty())
        dlg->Tell(ToU16("These file(s) cannot be read and were not added to the list:\n" + leftOut.join("\n")));
    return 0;
}

// Asks once for every row that names the same file as the path; the last
// answer decides.
bool COrvendelDlg::ConfirmIfAlreadyListed(const QString& path) {
    bool add = true;
    const int rows = m_listInputFiles.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if (!SameFile(m_listInputFiles.GetItemText(row, 0), path)) continue;
        add = MessageBox(path + "\nalready exist in the list.Do you want to add it again?", kProductTitle,
                         MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    return add;
}

// Opened as the scan will open it, and closed again; the contents are not read.
bool COrvendelDlg::CanOpenBackupFile(const QString& path, QString* reason) {
    BackupFile file;
    if (file.Open(ToU16(path))) return true;
    if (reason != nullptr) *reason = ToQString(OpenFailureText(file.LastOpenFailure()));
    return false;
}

void COrvendelDlg::OnBnClickedRemoveFiles() {
    if (m_listInputFiles.GetItemCount() == 0) {
        Notice("No Backup file(s) is present in the list to remove.");
        return;
    }
    std::vector<int> selected = m_listInputFiles.GetSelectedRows();
    if (selected.empty()) {
        Notice("No Backup file(s) is selected to remove.");
        return;
    }
    while (!selected.empty()) {
        m_listInputFiles.DeleteItem(selected.front());
        selected = m_listInputFiles.GetSelectedRows();
    }
}

void COrvendelDlg::OnBnClickedMoveUp() {
    MoveMarkedRow(-1, "Add Backup file(s) in the list to do the Move Up operation");
}

void COrvendelDlg::OnBnClickedMoveDown() {
    MoveMarkedRow(+1, "Add Backup file(s) in the list to do the Move Down operation");
}

// Swaps the texts of the row at the selection mark and its neighbour; at the
// edge the row is only selected.
void COrvendelDlg::MoveMarkedRow(int step, const QString& emptyNotice) {
    const int rows = m_listInputFiles.GetItemCount();
    if (rows == 0) {
        Notice(emptyNotice);
        return;
    }
    const int k = m_listInputFiles.GetSelectionMark();
    if (k < 0 || k >= rows) return;
    const int neighbour = k + step;
    if (neighbour < 0 || neighbour >= rows) {
        m_listInputFiles.SetSelected(k, true);
        m_listInputFiles.SetFocus();
        return;
    }
    m_listInputFiles.SetSelected(k, false);
    RedrawFocusedRow();
    const QString marked = m_listInputFiles.GetItemText(k, 0);
    const QString other = m_listInputFiles.GetItemText(neighbour, 0);
    m_listInputFiles.SetItemText(k, 0, other);
    m_listInputFiles.SetItemText(neighbour, 0, marked);
    m_listInputFiles.SetSelected(neighbour, true);
    m_listInputFiles.SetFocus();
    m_listInputFiles.SetSelectionMark(neighbour);
}

void COrvendelDlg::RedrawFocusedRow() {
    const int focused = m_listInputFiles.GetFocusedRow();
    if (focused >= 0) m_listInputFiles.RedrawItems(focused, focused);
}

// ---- what the scan asks of the window ----

void COrvendelDlg::ShowProgress(bool show) { m_progress.ShowWindow(show); }
void COrvendelDlg::ShowStop(bool show) { m_btnStop.ShowWindow(show); }
void COrvendelDlg::ShowStatus(bool show) { m_staticStatus.ShowWindow(show); }
void COrvendelDlg::SetStatusText(const std::u16string& text) { m_staticStatus.SetWindowText(ToQString(text)); }
void COrvendelDlg::SetProgressRange(int32_t upper) { m_progress.SetRange32(0, upper); }
void COrvendelDlg::SetProgressPos(int32_t position) { m_progress.SetPos(position); }
void COrvendelDlg::PostProgressPos(int32_t position) { m_progress.PostPos(position); }

bool COrvendelDlg::AskYesNo(const std::u16string& text) {
    return MessageBox(ToQString(text), kProductTitle, MB_YESNO | MB_ICONINFORMATION) == IDYES;
}

void COrvendelDlg::Tell(const std::u16string& text) { Notice(ToQString(text)); }

void COrvendelDlg::ResetStopFlag() { m_work.EndScanWalk(); }

// The two dialogs of the hand-over run on the GUI thread, modal over this
// dialog, while the scan's thread waits for them; a closing main dialog ends
// them and answers Cancel.
bool COrvendelDlg::ChooseBackupSet() {
    return Send(
               [] {
                   BackupOptionDlg dlg;
                   return dlg.DoModal();
               },
               IDCANCEL) == IDOK;
}

void COrvendelDlg::ShowBackupInformation() {
    Send([] {
        PreviewDlg dlg;
        dlg.DoModal();
    });
}

bool COrvendelDlg::ConfirmClose() {
    return MessageBox("Are you sure to close the application?", kProductTitle,
                      MB_YESNO | MB_ICONINFORMATION) == IDYES;
}

// Ending the dialog stops the workers (stop flag, no more calls served); the
// lists they read are emptied once they have been joined.
void COrvendelDlg::OnBnClickedClose() {
    if (!ConfirmClose()) return;
    m_work.StopAll();
    m_clearListsWhenStopped = true;
    CurrentDesktop().OpenUrl(kProductPageAddress);
    Dialog::OnOK();
}

void COrvendelDlg::OnBnClickedCancel() {
    if (!ConfirmClose()) return;
    m_work.StopAll();
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
