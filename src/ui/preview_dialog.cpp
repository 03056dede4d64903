#include "preview_dialog.h"

#include "orvendel_app.h"
#include "product.h"
#include "resource.h"
#include "text.h"

using namespace fw;

namespace {

const DialogTemplate kPreviewTemplate{
    431, 374, "", false,
    {
        {IDOK, Kind::ImageButton, "Save", 167, 353, 55, 17, kDefault | kTabStop},
        {IDCANCEL, Kind::ImageButton, "Cancel", 226, 353, 55, 17, kTabStop},
        {-1, Kind::GroupBox, "Backup File Information:", 17, 56, 393, 291, kGroup},
        {-1, Kind::Static, "Database Name:", 26, 74, 54, 8, kGroup},
        {-1, Kind::Static, "Server Name:", 26, 92, 45, 8, kGroup},
        {-1, Kind::Static, "Creation Date:", 26, 111, 48, 8, kGroup},
        {-1, Kind::Static, "Backup Start Date:", 26, 131, 62, 8, kGroup},
        {-1, Kind::Static, "Backup Finish Date:", 26, 151, 64, 8, kGroup},
        {-1, Kind::Static, "Database id:", 26, 171, 42, 8, kGroup},
        {-1, Kind::Static, "Database Version:", 26, 190, 60, 8, kGroup},
        {-1, Kind::Static, "Backup Type:", 26, 210, 44, 8, kGroup},
        {-1, Kind::Static, "Database File Count:", 26, 229, 68, 8, kGroup},
        {-1, Kind::Static, "Log File Count:", 26, 249, 49, 8, kGroup},
        {IDC_FILE_LIST, Kind::List, "", 26, 268, 373, 72, kBorder | kTabStop},
        {IDC_VALUE_DATABASE_NAME, Kind::Static, "Static", 105, 74, 280, 10, kGroup},
        {IDC_VALUE_SERVER_NAME, Kind::Static, "Static", 105, 93, 280, 8, kGroup},
        {IDC_VALUE_CREATION_DATE, Kind::Static, "Static", 105, 111, 280, 9, kGroup},
        {IDC_VALUE_BACKUP_START, Kind::Static, "Static", 105, 131, 280, 10, kGroup},
        {IDC_VALUE_BACKUP_FINISH, Kind::Static, "Static", 104, 151, 280, 10, kGroup},
        {IDC_VALUE_DATABASE_ID, Kind::Static, "Static", 104, 171, 280, 9, kGroup},
        {IDC_VALUE_DATABASE_VERSION, Kind::Static, "Static", 104, 189, 280, 10, kGroup},
        {IDC_VALUE_BACKUP_TYPE, Kind::Static, "Static", 104, 210, 280, 9, kGroup},
        {IDC_VALUE_DATA_FILE_COUNT, Kind::Static, "Static", 105, 229, 280, 9, kGroup},
        {IDC_VALUE_LOG_FILE_COUNT, Kind::Static, "Static", 105, 248, 280, 9, kGroup},
        {-1, Kind::Picture, ":/bitmap/131.png", 0, 0, 430, 46, kGroup},
    }};

const MessageMap<PreviewDlg> kMessageMap{
    {Notify::Clicked, IDOK, &PreviewDlg::OnBnClickedOk},
    {Notify::Clicked, IDCANCEL, &PreviewDlg::OnBnClickedCancel},
};

}  // namespace

QString DatabaseVersionName(uint16_t version) {
    switch (version) {
        case 408: return "SQL Server 6.5";
        case 515: return "SQL Server 7.0";
        case 539: return "SQL Server 2000";
        case 611: return "SQL Server 2005";
        case 612: return " SQL Server 2005 SP2+ with VarDecimal enabled";
        case 655: return "SQL Server 2008";
        case 660:
        case 661: return "SQL Server 2008 R2";
        case 684: return "SQL Server 2012 CTP1";
        case 706: return " SQL Server 2012";
        case 782: return " SQL Server 2014";
        case 852: return " SQL Server 2016";
        case 869: return " SQL Server 2017";
        default: return "Unknown SQL Version";
    }
}

QString BackupTypeName(uint8_t type) {
    switch (type) {
        case 0: return "Invalid Backup";
        case 'D': return "Full Database Backup";
        case 'I': return "Differential Backup";
        case 'F': return "File Backup";
        case 'G': return "Differential File Backup";
        case 'L': return "Log Backup";
        case 'P': return "Partial Backup";
        case 'Q': return "Partial Differential Backup";
        default: return "Unknown Backup Type";
    }
}

QString FileTypeName(uint32_t type) {
    switch (type) {
        case 0: return "Unknown Sql File";
        case 1: return "Sql Database File";
        case 2: return "Sql Physical Log File";
        case 3: return "Sql Logical Log File";
        case 6: return "Sql Full text File";
        case 7: return "Sql Stream Root File";
        case 8: return "Sql Stream Log File";
        default: return "Unknown File";
    }
}

QString FileSizeText(uint64_t bytes) {
    if (bytes < 1024) return QString("%1(Bytes)").arg(static_cast<int>(bytes));
    return QString::number(static_cast<qulonglong>(bytes >> 10));
}

PreviewDlg::PreviewDlg() : Dialog(kPreviewTemplate) {
    InitOrvendelResources();
    SetIgnoreEnterEscape(true);
    SetDragAnywhere(true);
}

PreviewDlg::~PreviewDlg() = default;

void PreviewDlg::DoDataExchange() {
    m_staticDatabaseName.Attach(*this, IDC_VALUE_DATABASE_NAME);
    m_staticServerName.Attach(*this, IDC_VALUE_SERVER_NAME);
    m_staticCreationDate.Attach(*this, IDC_VALUE_CREATION_DATE);
    m_staticBackupStartDate.Attach(*this, IDC_VALUE_BACKUP_START);
    m_staticBackupFinishDate.Attach(*this, IDC_VALUE_BACKUP_FINISH);
    m_staticDatabaseId.Attach(*this, IDC_VALUE_DATABASE_ID);
    m_staticDatabaseVersion.Attach(*this, IDC_VALUE_DATABASE_VERSION);
    m_staticBackupType.Attach(*this, IDC_VALUE_BACKUP_TYPE);
    m_staticDataFileCount.Attach(*this, IDC_VALUE_DATA_FILE_COUNT);
    m_staticLogFileCount.Attach(*this, IDC_VALUE_LOG_FILE_COUNT);
    m_listFiles.Attach(*this, IDC_FILE_LIST);
    m_btnCancel.Attach(*this, IDCANCEL);
    m_btnSave.Attach(*this, IDOK);
}

bool PreviewDlg::OnNotify(Notify code, int id) { return Dispatch(*this, kMessageMap, code, id); }

bool PreviewDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    DoDataExchange();
    SetWindowText(kProductTitle);

    m_listFiles.InsertColumn(0, "Physical File Name", 80);
    m_listFiles.InsertColumn(1, "File Number", 40);
    m_listFiles.InsertColumn(2, "File Type", 60);
    m_listFiles.InsertColumn(3, "File size(KB)", 70);
    m_listFiles.SetExtendedStyle(m_listFiles.GetExtendedStyle() | ListCtrl::kGridLines | ListCtrl::kCheckBoxes |
                                 ListCtrl::kFullRowSelect | ListCtrl::kInfoTip);

    m_btnCancel.SetTooltip("Cancel");
    m_btnCancel.SetImage(PngResource(IDB_PNG_CANCEL));
    m_btnSave.SetTooltip("Save");
    m_btnSave.SetImage(PngResource(IDB_PNG_SAVE));

    const COrvendelApp* app = GetOrvendelApp();
    const CatalogStore empty;
    const CatalogStore& store = app != nullptr ? app->m_catalog : empty;
    const BackupInfo& info = store.m_backupInfo;
    m_staticDatabaseName.SetWindowText(ToQString(info.strDatabaseName));
    m_staticServerName.SetWindowText(ToQString(info.strServerName));
    m_staticCreationDate.SetWindowText(ToQString(info.strCreationDate));
    m_staticBackupStartDate.SetWindowText(ToQString(info.strBackupStartDate));
    m_staticBackupFinishDate.SetWindowText(ToQString(info.strBackupFinishDate));
    m_staticDatabaseId.SetWindowText(QString::number(info.nDatabaseId));
    m_staticDatabaseVersion.SetWindowText(DatabaseVersionName(info.nDatabaseVersion));
    m_staticBackupType.SetWindowText(BackupTypeName(info.chBackupType));
    m_staticDataFileCount.SetWindowText(QString::number(info.nDataFileCount));
    m_staticLogFileCount.SetWindowText(QString::number(info.nLogFileCount));

    for (const DatabaseFileRecord& file : store.m_databaseFiles) {
        const int row = m_listFiles.InsertItem(m_listFiles.GetItemCount(), ToQString(file.strPhysicalName));
        m_listFiles.SetItemText(row, 1, QString::number(static_cast<int32_t>(file.descriptor.FileNumber())));
        m_listFiles.SetItemText(row, 2, FileTypeName(file.descriptor.FileType()));
        m_listFiles.SetItemText(row, 3, FileSizeText(file.nSize));
    }
    return true;
}

void PreviewDlg::OnBnClickedOk() { OnOK(); }

void PreviewDlg::OnBnClickedCancel() { OnCancel(); }
