// The list of backup sets that a scan found, for the user to choose one.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"

class BackupOptionDlg : public fw::Dialog {
public:
    BackupOptionDlg();
    ~BackupOptionDlg() override;

    bool OnInitDialog() override;

    void OnBnClickedOk();
    void OnHdnItemclickList();
    void OnNMClickList();
    void OnBnClickedCancel();

    fw::ListCtrl m_listBackupSets;
    fw::Button m_btnOK;

protected:
    bool OnNotify(fw::Notify code, int id) override;

private:
    void DoDataExchange();
    // The lowest selected row, or -1.
    int FirstSelectedRow() const;
};
