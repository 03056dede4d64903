// The chosen backup set's information and database files.
#pragma once

#include <QString>
#include <cstdint>

#include "framework/controls.h"
#include "framework/dialog.h"

class PreviewDlg : public fw::Dialog {
public:
    PreviewDlg();
    ~PreviewDlg() override;

    bool OnInitDialog() override;

    void OnBnClickedOk();
    void OnBnClickedCancel();

    fw::Static m_staticDatabaseName;
    fw::Static m_staticServerName;
    fw::Static m_staticCreationDate;
    fw::Static m_staticBackupStartDate;
    fw::Static m_staticBackupFinishDate;
    fw::Static m_staticDatabaseId;
    fw::Static m_staticDatabaseVersion;
    fw::Static m_staticBackupType;
    fw::Static m_staticDataFileCount;
    fw::Static m_staticLogFileCount;
    fw::ListCtrl m_listFiles;
    fw::Button m_btnCancel;
    fw::Button m_btnSave;

protected:
    bool OnNotify(fw::Notify code, int id) override;

private:
    void DoDataExchange();
};

// The names the dialog shows for a database version, a backup type and a file type.
QString DatabaseVersionName(uint16_t version);
QString BackupTypeName(uint8_t type);
QString FileTypeName(uint32_t type);
// A file size: whole bytes below 1 KB ("512(Bytes)"), else whole KB.
QString FileSizeText(uint64_t bytes);
