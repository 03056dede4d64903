// The program's main window: input files, scanning mode, folders, progress,
// Stop, Close and the Help menu.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <atomic>
#include <cstdint>
#include <vector>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "reader/records.h"

class COrvendelDlg : public fw::Dialog {
public:
    COrvendelDlg();
    ~COrvendelDlg() override;

    bool OnInitDialog() override;

    void OnBnClickedSelectExtract();
    void OnBnClickedSingleFile();
    void OnBnClickedSplitFiles();
    void OnBnClickedStandardMode();
    void OnBnClickedAdvancedMode();
    void OnBnClickedBrowseTempFolder();
    void OnBnClickedBrowseSaveFolder();
    void OnBnClickedStop();
    void OnBnClickedClose();
    void OnBnClickedCancel();
    void OnBnClickedHelp();

    QIcon m_hIcon;
    std::vector<InputFileEntry> m_inputFiles;
    QString m_strTempFolder;
    std::atomic<int32_t> m_nStopFlag{0};
    QString m_strSaveFolder;

    fw::ListCtrl m_listInputFiles;
    fw::Button m_radioStandardMode;
    fw::Button m_radioAdvancedMode;
    fw::Button m_radioSingleFile;
    fw::Button m_radioSplitFiles;
    fw::Edit m_editBakFile;
    fw::Button m_btnBrowseBakFile;
    fw::Button m_btnAddFiles;
    fw::Button m_btnRemoveFiles;
    fw::Button m_btnMoveUp;
    fw::Button m_btnMoveDown;
    fw::Button m_chkCompressed;
    fw::Edit m_editSaveFolder;
    fw::Button m_btnBrowseSaveFolder;
    fw::Edit m_editTempFolder;
    fw::Button m_btnStop;
    fw::ProgressCtrl m_progress;
    fw::Button m_btnSelectExtract;
    fw::Button m_btnClose;
    fw::Static m_staticStatus;
    fw::Button m_btnBrowseTempFolder;
    fw::MenuButton m_btnHelp;
    const fw::MenuTemplate* m_menuHelp = nullptr;
    QFont m_fontBold;
    fw::Static m_groupScanMode;
    fw::Static m_groupTempFolder;
    fw::Static m_groupSaveFolder;
    fw::LinkCtrl m_linkDownload;

protected:
    bool OnNotify(fw::Notify code, int id) override;
    void OnWorkersStopped() override;

private:
    void DoDataExchange();
    // Asks before the program ends; true when the user answered Yes.
    bool ConfirmClose();
    // Picks a folder; empty when cancelled.
    QString BrowseFolder();
    bool m_clearListsWhenStopped = false;
};

// The system's temporary folder with a trailing "/": TMPDIR, else "/tmp/";
// empty when it does not fit the 512-unit buffer the folder box is fed from.
QString SystemTempFolder();
