// The program's main window: input files, scanning mode, folders, progress,
// Stop, Close and the Help menu.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <cstdint>
#include <vector>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "reader/records.h"
#include "reader/scan.h"
#include "running_work.h"

class COrvendelDlg : public fw::Dialog, public ScanWindow {
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
    void OnBnClickedBrowseBakFile();
    void OnBnClickedMoveUp();
    void OnBnClickedMoveDown();
    void OnBnClickedAddFiles();
    void OnBnClickedRemoveFiles();
    void OnBnClickedStop();
    void OnBnClickedClose();
    void OnBnClickedCancel();
    void OnBnClickedHelp();

    // The add-files worker's two tests of a chosen path.
    bool ConfirmIfAlreadyListed(const QString& path);
    // False when the file does not open; `reason` then says why.
    bool CanOpenBackupFile(const QString& path, QString* reason = nullptr);
    void RedrawFocusedRow();

    // What the scan asks of the window (from the scan's thread).
    void ShowProgress(bool show) override;
    void ShowStop(bool show) override;
    void ShowStatus(bool show) override;
    void SetStatusText(const std::u16string& text) override;
    void SetProgressRange(int32_t upper) override;
    void SetProgressPos(int32_t position) override;
    void PostProgressPos(int32_t position) override;
    bool AskYesNo(const std::u16string& text) override;
    void Tell(const std::u16string& text) override;
    void ResetStopFlag() override;
    bool ChooseBackupSet() override;
    void ShowBackupInformation() override;

    QIcon m_hIcon;
    std::vector<InputFileEntry> m_inputFiles;
    QString m_strTempFolder;
    RunningWork m_work;  // which worker runs, and the stop flag they share
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
    // Shows a notice owned by this dialog.
    void Notice(const QString& text);
    // Move Up (-1) and Move Down (+1).
    void MoveMarkedRow(int step, const QString& emptyNotice);
    // The scan's worker is over (from its thread): the request buttons again.
    void EndScan();
    bool m_clearListsWhenStopped = false;
};

// The add-files worker: the multi-select picker, then every chosen file that
// opens appended to the list in the picker's order. Returns 0. It runs after
// m_work.BeginAdding() succeeded and ends that work itself.
uint32_t AddFilesThread(COrvendelDlg* dlg);

// The system's temporary folder with a trailing "/": TMPDIR, else "/tmp/";
// empty when it does not fit the 512-unit buffer the folder box is fed from.
QString SystemTempFolder();
