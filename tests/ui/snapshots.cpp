// Renders the program's windows to PNG files, filled from a real backup, for a
// person to look at: `ui_snapshots [folder]`. A command, not a test.
#include <QApplication>
#include <QDir>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

#include "about_dialog.h"
#include "backup_option_dialog.h"
#include "fixtures/real_backups.h"
#include "main_dialog.h"
#include "orvendel_app.h"
#include "preview_dialog.h"
#include "reader/backup_file.h"
#include "reader/mtf_walk.h"
#include "reader/scan.h"
#include "reader/scan_context.h"
#include "resource.h"

SingleInstanceGuard g_instanceGuard{"orvendel-snapshots-" + std::to_string(::getpid())};
COrvendelApp theApp;

namespace {

QString g_folder;

void Save(QWidget* window, const char* name) {
    const QString path = g_folder + "/" + name + ".png";
    window->grab().save(path);
    std::printf("%s\n", qPrintable(path));
}

// Fills the application's catalog as a scan of `key` would, then re-reads set `chosen`.
void FillCatalog(const std::string& key, size_t chosen) {
    CatalogStore& store = theApp.m_catalog;
    const std::vector<InputFileEntry> inputs = expected::InputsOf(key);
    ScanContext ctx;
    ctx.store = &store;
    for (uint32_t k = 0; k < inputs.size() && !ctx.found; ++k) {
        BackupFile file;
        if (file.Open(inputs[k].strPath)) WalkMtfBlocks(file, file.GetLength(), k, ctx);
    }
    store.m_nSelectedSet = static_cast<uint32_t>(chosen);
    ReadChosenSet(inputs, store);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    g_folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(ORVENDEL_UI_SNAPSHOT_DIR);
    QDir().mkpath(g_folder);

    COrvendelDlg main;
    main.Create();
    main.show();
    Save(&main, "main_dialog");
    main.OnBnClickedSplitFiles();
    for (const auto& input : expected::InputsOf("striped: striped/RestoreTimeStripe.bak + striped/RestoreTimeStripe1.bak"))
        main.m_listInputFiles.InsertItem(main.m_listInputFiles.GetItemCount(), QString::fromStdU16String(input.strPath));
    main.m_progress.ShowWindow(true);
    main.m_progress.SetRange32(0, 100);
    main.m_progress.SetPos(40);
    main.m_btnStop.ShowWindow(true);
    main.m_btnSelectExtract.EnableWindow(false);
    main.m_btnClose.EnableWindow(false);
    main.m_staticStatus.SetWindowText("Processing File...");
    main.m_staticStatus.ShowWindow(true);
    Save(&main, "main_dialog_busy");

    FillCatalog("multiset/Library_cyxoi1.bak", 1);
    BackupOptionDlg sets;
    sets.Create();
    sets.show();
    Save(&sets, "backup_sets");
    auto* table = static_cast<QTableWidget*>(sets.Item(IDC_BACKUP_SET_LIST));
    table->selectRow(1);
    sets.OnNMClickList();
    Save(&sets, "backup_sets_chosen");

    PreviewDlg preview;
    preview.Create();
    preview.show();
    Save(&preview, "backup_information");

    CTalveroAboutDlg about;
    about.Create();
    about.show();
    Save(&about, "about_dialog");
    return 0;
}
