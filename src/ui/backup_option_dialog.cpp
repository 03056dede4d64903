#include "backup_option_dialog.h"

#include "orvendel_app.h"
#include "product.h"
#include "resource.h"
#include "text.h"

using namespace fw;

namespace {

const DialogTemplate kBackupOptionTemplate{
    321, 151, "Dialog", true,
    {
        {IDOK, Kind::Button, "OK", 115, 132, 50, 16, kDefault | kDisabled | kTabStop},
        {IDCANCEL, Kind::Button, "Cancel", 170, 132, 50, 16, kTabStop},
        {IDC_BACKUP_SET_LIST, Kind::List, "", 6, 9, 309, 118, kBorder | kTabStop},
    }};

const MessageMap<BackupOptionDlg> kMessageMap{
    {Notify::Clicked, IDOK, &BackupOptionDlg::OnBnClickedOk},
    {Notify::HeaderClick, 0, &BackupOptionDlg::OnHdnItemclickList},
    {Notify::ListClick, IDC_BACKUP_SET_LIST, &BackupOptionDlg::OnNMClickList},
    {Notify::Clicked, IDCANCEL, &BackupOptionDlg::OnBnClickedCancel},
};

const struct {
    const char* heading;
    int width;
} kColumns[] = {
    {"Database Name", 150},     {"Data Set Name", 150},   {"Data set Number", 50},
    {"Backup Start Date", 150}, {"Backup size(KB)", 100}, {"Data set Description", 150},
};

}  // namespace

BackupOptionDlg::BackupOptionDlg() : Dialog(kBackupOptionTemplate) { InitOrvendelResources(); }

BackupOptionDlg::~BackupOptionDlg() = default;

void BackupOptionDlg::DoDataExchange() {
    m_listBackupSets.Attach(*this, IDC_BACKUP_SET_LIST);
    m_btnOK.Attach(*this, IDOK);
}

bool BackupOptionDlg::OnNotify(Notify code, int id) { return Dispatch(*this, kMessageMap, code, id); }

bool BackupOptionDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    DoDataExchange();
    SetWindowText(kProductTitle);

    if (m_listBackupSets.GetItemCount() > 0) m_listBackupSets.DeleteAllItems();
    for (int column = 0; column < 6; ++column) m_listBackupSets.InsertColumn(column, kColumns[column].heading);
    for (int column = 0; column < 6; ++column) m_listBackupSets.SetColumnWidth(column, kColumns[column].width);
    m_listBackupSets.SetExtendedStyle(m_listBackupSets.GetExtendedStyle() | ListCtrl::kGridLines |
                                      ListCtrl::kCheckBoxes | ListCtrl::kFullRowSelect | ListCtrl::kInfoTip);

    const COrvendelApp* app = GetOrvendelApp();
    if (app == nullptr) return true;
    const std::vector<BackupSetRecord>& sets = app->m_catalog.m_backupSets;
    for (size_t i = 0; i < sets.size(); ++i) {
        const BackupSetRecord& set = sets[i];
        const int row = m_listBackupSets.InsertItem(m_listBackupSets.GetItemCount(), ToQString(set.strDatabaseName));
        m_listBackupSets.SetItemText(row, 1, ToQString(set.dataSet.strName));
        m_listBackupSets.SetItemText(row, 2, QString::number(set.dataSet.nNumber));
        m_listBackupSets.SetItemText(row, 3, ToQString(set.strBackupStartDate));
        m_listBackupSets.SetItemText(row, 4, QString("%1 Kb").arg(static_cast<qulonglong>(set.ShownBackupSize() >> 10)));
        m_listBackupSets.SetItemText(row, 5, ToQString(set.dataSet.strDescription));
    }
    return true;
}

int BackupOptionDlg::FirstSelectedRow() const {
    const std::vector<int> rows = m_listBackupSets.GetSelectedRows();
    return rows.empty() ? -1 : rows.front();
}

// OK takes the lowest selected row. With none selected (the keyboard can clear
// the selection after the click that enabled OK) the dialog stays open and OK
// goes back to disabled: closing would leave the previous request's choice.
void BackupOptionDlg::OnBnClickedOk() {
    const int row = FirstSelectedRow();
    if (row < 0) {
        m_btnOK.EnableWindow(false);
        return;
    }
    if (COrvendelApp* app = GetOrvendelApp()) app->m_catalog.m_nSelectedSet = static_cast<uint32_t>(row);
    Dialog::OnOK();
}

// A click on a column header changes nothing: the rows stay in scan order.
void BackupOptionDlg::OnHdnItemclickList() {}

void BackupOptionDlg::OnNMClickList() { m_btnOK.EnableWindow(FirstSelectedRow() >= 0); }

void BackupOptionDlg::OnBnClickedCancel() { Dialog::OnCancel(); }
