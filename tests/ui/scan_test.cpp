// The program's main road, end to end through the real main dialog: a request
// is made, the scan runs on its worker, the backup-set dialog lists what it
// found, and the chosen set's information is shown. Pickers, message boxes and
// the user at the two dialogs are scripted.
#include <QLabel>
#include <QProgressBar>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <unistd.h>

#include "backup_option_dialog.h"
#include "fixtures/mtf_writer.h"
#include "fixtures/real_backups.h"
#include "fixtures/temp_file.h"
#include "framework/instance_lock.h"
#include "main_dialog.h"
#include "orvendel_app.h"
#include "preview_dialog.h"
#include "product.h"
#include "resource.h"
#include "shown_names.h"
#include "ui_test_support.h"

using namespace fw;

SingleInstanceGuard g_instanceGuard{"orvendel-scan-tests-" + std::to_string(::getpid())};
COrvendelApp theApp;

namespace {

const char kFreeSpaceNotice[] =
    "Please Make sure Temporary and Saving Location have free space 3 times the size of actual database file(s).";

QStringList RowsOf(ListCtrl& list) {
    QStringList rows;
    for (int row = 0; row < list.GetItemCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < list.GetColumnCount(); ++column) cells << list.GetItemText(row, column);
        rows << cells.join(" | ");
    }
    return rows;
}

// The user at the two dialogs of the hand-over: notes what they show, chooses
// row `choose` (Cancel when -1 or when there is no such row) and closes the
// information with Save.
struct User {
    int choose = 0;
    std::function<void()> atSets;  // acts instead, while the backup-set dialog is open
    int setDialogs = 0, informationDialogs = 0;
    QStringList sets, labels, files;
    QPointer<QTimer> timer;
    ~User() { delete timer.data(); }
};

std::unique_ptr<User> StartUser() {
    auto user = std::make_unique<User>();
    user->timer = Repeatedly([user = user.get()] {
        if (BackupOptionDlg* dlg = OpenWindow<BackupOptionDlg>(); dlg && !dlg->property("seen").toBool()) {
            dlg->setProperty("seen", true);
            ++user->setDialogs;
            user->sets = RowsOf(dlg->m_listBackupSets);
            if (user->atSets) {
                user->atSets();
            } else if (user->choose < 0 || user->choose >= dlg->m_listBackupSets.GetItemCount()) {
                ButtonOf(*dlg, IDCANCEL)->click();
            } else {
                auto* table = static_cast<QTableWidget*>(dlg->Item(IDC_BACKUP_SET_LIST));
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                                  table->visualRect(table->model()->index(user->choose, 1)).center());
                ButtonOf(*dlg, IDOK)->click();
            }
        }
        if (PreviewDlg* dlg = OpenWindow<PreviewDlg>(); dlg && !dlg->property("seen").toBool()) {
            dlg->setProperty("seen", true);
            ++user->informationDialogs;
            user->labels.clear();
            for (int id = IDC_VALUE_DATABASE_NAME; id <= IDC_VALUE_LOG_FILE_COUNT; ++id)
                user->labels << static_cast<QLabel*>(dlg->Item(id))->text();
            user->files = RowsOf(dlg->m_listFiles);
            ButtonOf(*dlg, IDOK)->click();
        }
        return false;
    });
    return user;
}

// Sets up the main dialog's input: one file in single mode, several in split mode.
void SetInput(COrvendelDlg& dlg, const std::vector<InputFileEntry>& inputs, bool compressed, bool standard) {
    if (inputs.size() == 1) {
        dlg.OnBnClickedSingleFile();
        dlg.m_editBakFile.SetWindowText(QString::fromStdU16String(inputs[0].strPath));
    } else {
        dlg.OnBnClickedSplitFiles();
        dlg.m_listInputFiles.DeleteAllItems();
        for (const InputFileEntry& input : inputs)
            dlg.m_listInputFiles.InsertItem(dlg.m_listInputFiles.GetItemCount(),
                                            QString::fromStdU16String(input.strPath));
    }
    dlg.m_chkCompressed.SetCheck(compressed ? BST_CHECKED : BST_UNCHECKED);
    if (standard) dlg.OnBnClickedStandardMode();
    else dlg.OnBnClickedAdvancedMode();
    dlg.m_editSaveFolder.SetWindowText("/srv/restore/");
}

// Clicks "Select Extract File(s)" and waits until the request has ended.
bool Request(COrvendelDlg& dlg) {
    ButtonOf(dlg, IDC_SELECT_EXTRACT)->click();
    return WaitFor([&] { return !dlg.m_work.ScanRunning(); });
}

QString Text(const nlohmann::json& value) { return QString::fromStdString(value.get<std::string>()); }

QStringList ExpectedSets(const nlohmann::json& sets) {
    QStringList rows;
    for (const auto& set : sets)
        rows << QStringList{Text(set.at("database")), Text(set.at("dataSetName")),
                            QString::number(set.at("dataSetNumber").get<int>()), Text(set.at("backupStartDate")),
                            QString("%1 Kb").arg(set.at("endCatalogBackupSize").get<qulonglong>() >> 10),
                            Text(set.at("dataSetDescription"))}
                    .join(" | ");
    return rows;
}

// The finish date is the one of the set's second catalog copy.
QStringList ExpectedLabels(const nlohmann::json& chosen) {
    const nlohmann::json& info = chosen.at("info");
    return {Text(info.at("databaseName")),
            Text(info.at("serverName")),
            Text(info.at("creationDate")),
            Text(info.at("backupStartDate")),
            Text(chosen.at("endCatalogFinishDate")),
            QString::number(info.at("databaseId").get<int>()),
            ShownNameOf(kVersionNames, info.at("databaseVersion").get<uint16_t>(), kUnknownVersion),
            ShownNameOf(kBackupTypeNames, static_cast<uint8_t>(info.at("backupType").get<std::string>()[0]),
                        kUnknownBackupType),
            QString::number(info.at("dataFileCount").get<int>()),
            QString::number(info.at("logFileCount").get<int>())};
}

// Database files are never under 1 KB: their size shows in whole KB.
QStringList ExpectedFiles(const nlohmann::json& files) {
    QStringList rows;
    for (const auto& file : files)
        rows << QStringList{Text(file.at("physicalName")),
                            QString::number(static_cast<int32_t>(file.at("fileNumber").get<uint32_t>())),
                            ShownNameOf(kFileTypeNames, file.at("fileType").get<uint32_t>(), kUnknownFileType),
                            QString::number(file.at("sizeBytes").get<qulonglong>() >> 10)}
                    .join(" | ");
    return rows;
}

// A plain backup of one set followed by `blocks` soft filemarks (a walk that
// takes a while) and a second set at the end.
void WriteLongBackup(const std::string& path, int blocks) {
    MtfWriter w;
    w.Tape();
    w.Pad();
    BackupSetFields early;
    early.scin.databaseName = u"Early";
    AppendBackupSet(w, early);
    for (int i = 0; i < blocks; ++i) w.Sfmb(512);
    BackupSetFields late;
    late.scin.databaseName = u"Late";
    AppendBackupSet(w, late);
    w.WriteSparseFile(path);
}

}  // namespace

class ScanTest : public QObject {
    Q_OBJECT

private slots:
    // Every real backup (the stripe pair in split mode, the compressed ones
    // with the box set) in both modes: each of its sets chosen in turn.
    void everyRealBackupShowsItsSetsAndEachChosenSetsInformation() {
        if (const std::string missing = expected::MissingRealBackups(); !missing.empty()) {
            if (expected::RealBackupsRequired()) QFAIL(missing.c_str());
            QSKIP(missing.c_str());
        }
        const nlohmann::json all = expected::LoadJson();
        QVERIFY2(!all.empty() && !all.is_discarded(), "EXPECTED.json of the real backups is missing");
        ScriptedDesktop desktop;
        auto user = StartUser();
        COrvendelDlg dlg;
        int requests = 0, wanted = 0;
        InsideModal(dlg, [&] {
            for (const auto& [key, want] : all.items()) {
                const std::vector<InputFileEntry> inputs = expected::InputsOf(key);
                const bool compressed = inputs.front().bCompressed != 0;
                const nlohmann::json& sets = want.at("sets");
                wanted += 2 * static_cast<int>(sets.size());
                for (bool standard : {true, false}) {
                    for (size_t i = 0; i < sets.size(); ++i) {
                        const QByteArray where = QByteArray::fromStdString(key) + (standard ? " standard" : " advanced");
                        SetInput(dlg, inputs, compressed, standard);
                        user->choose = static_cast<int>(i);
                        const int informationBefore = user->informationDialogs;
                        QVERIFY2(Request(dlg), where.constData());
                        ++requests;
                        QVERIFY2(user->informationDialogs == informationBefore + 1, where.constData());
                        QCOMPARE(user->sets, ExpectedSets(sets));
                        QCOMPARE(user->labels, ExpectedLabels(sets[i].at("chosen")));
                        QCOMPARE(user->files, ExpectedFiles(sets[i].at("chosen").at("files")));
                    }
                }
            }
        });
        QCOMPARE(requests, wanted);  // every entry of EXPECTED.json, each set in both modes
        // Nothing but the free-space notice was shown: no question, no unknown-data notice.
        for (const AskedBox& box : desktop.Boxes()) QCOMPARE(box.text, QString(kFreeSpaceNotice));
        QCOMPARE(int(desktop.Boxes().size()), requests);
    }

    // Only the first missing item is reported; the notice comes on every request
    // that passes; Cancel at the backup-set dialog ends the request.
    void requestChecksItsInputInOrderAndEndsAtCancel() {
        ScriptedDesktop desktop;
        auto user = StartUser();
        user->choose = -1;
        COrvendelDlg dlg;
        theApp.m_catalog.m_backupSets.resize(2);
        InsideModal(dlg, [&] {
            ButtonOf(dlg, IDC_SELECT_EXTRACT)->click();
            QVERIFY(theApp.m_catalog.m_backupSets.empty());
            dlg.OnBnClickedSplitFiles();
            ButtonOf(dlg, IDC_SELECT_EXTRACT)->click();
            dlg.OnBnClickedSingleFile();
            dlg.m_editBakFile.SetWindowText(" ");
            ButtonOf(dlg, IDC_SELECT_EXTRACT)->click();
            dlg.m_editSaveFolder.SetWindowText("/srv/restore/");
            dlg.m_editTempFolder.SetWindowText("");
            ButtonOf(dlg, IDC_SELECT_EXTRACT)->click();
            dlg.m_editTempFolder.SetWindowText("/tmp/");
            QVERIFY(Request(dlg));  // " " does not open: said, no sets, then Cancel
        });
        QStringList texts;
        for (const AskedBox& box : desktop.Boxes()) texts << box.text;
        QCOMPARE(texts, (QStringList{"Please browse backup file first", "Please add split backup files in list control.",
                                     "Please browse save location.", "Temporary Path cannot be left blank.",
                                     kFreeSpaceNotice,
                                     "Selected File   cannot be read: No such file or directory."}));
        const AskedBox cannotRead = desktop.Boxes().back();
        QCOMPARE(cannotRead.owner, static_cast<QWidget*>(&dlg));
        QCOMPARE(cannotRead.caption, QString(kProductTitle));
        QCOMPARE(cannotRead.style, MB_ICONINFORMATION);
        QCOMPARE(user->setDialogs, 1);
        QCOMPARE(user->sets, QStringList());
        QCOMPARE(user->informationDialogs, 0);
    }

    // Stop during a long Advanced scan: the walk ends, the sets found before are
    // offered, and the flag is 0 again. A second request and Add Files are
    // refused meanwhile, and their buttons shown disabled until the scan ends.
    void stopDuringAScanOffersTheSetsFoundSoFar() {
        ScriptedDesktop desktop;
        TempFile backup;
        WriteLongBackup(backup.Path(), 400000);
        auto user = StartUser();
        user->choose = -1;
        COrvendelDlg dlg;
        bool stopShown = false, requestButtonsDisabled = false, requestButtonsBack = false;
        InsideModal(dlg, [&] {
            SetInput(dlg, {{backup.Path16(), 0}}, false, false);
            desktop.answers = {IDYES};
            auto* bar = static_cast<QProgressBar*>(dlg.Item(IDC_PROGRESS));
            ButtonOf(dlg, IDC_SELECT_EXTRACT)->click();
            QVERIFY(WaitFor([&] { return bar->value() > 40000 || !dlg.m_work.ScanRunning(); }));
            stopShown = !dlg.Item(IDC_STOP)->isHidden();
            ButtonOf(dlg, IDC_RADIO_SPLIT_FILES)->click();
            requestButtonsDisabled = !dlg.Item(IDC_SELECT_EXTRACT)->isEnabled() && !dlg.Item(IDC_ADD_FILES)->isEnabled();
            dlg.OnBnClickedSelectExtract();  // refused: a scan runs
            dlg.OnBnClickedAddFiles();       // refused as well
            ButtonOf(dlg, IDC_STOP)->click();
            QVERIFY(WaitFor([&] { return !dlg.m_work.ScanRunning(); }));
            requestButtonsBack = dlg.Item(IDC_SELECT_EXTRACT)->isEnabled() && dlg.Item(IDC_ADD_FILES)->isEnabled();
        });
        QVERIFY(stopShown && requestButtonsDisabled && requestButtonsBack);
        QVERIFY(desktop.pickers.empty());
        QCOMPARE(user->sets.size(), 1);
        QVERIFY(user->sets[0].startsWith("Early | "));
        QCOMPARE(dlg.m_work.StopFlag().load(), 0);
        QStringList texts;
        for (const AskedBox& box : desktop.Boxes()) texts << box.text;
        QCOMPARE(texts, (QStringList{kFreeSpaceNotice, "Are you sure to Stop the running Process ?"}));
    }

    // Close confirmed during a scan and during the backup-set dialog: the dialog
    // ends, the worker is joined and the lists are emptied.
    void closeDuringAScanOrItsDialogEndsCleanly() {
        TempFile backup;
        WriteLongBackup(backup.Path(), 400000);
        for (bool atDialog : {false, true}) {
            ScriptedDesktop desktop;
            desktop.answers = {IDYES};
            auto user = StartUser();
            COrvendelDlg dlg;
            dlg.Create();
            SetInput(dlg, {{backup.Path16(), 0}}, false, true);
            if (atDialog) {
                WriteLongBackup(backup.Path(), 10);
                user->atSets = [&] { dlg.OnBnClickedClose(); };
            } else {
                Repeatedly([&] {
                    if (static_cast<QProgressBar*>(dlg.Item(IDC_PROGRESS))->value() <= 0) return false;
                    dlg.OnBnClickedClose();
                    return true;
                });
            }
            SetMainWindow(&dlg);
            QTimer::singleShot(0, &dlg, [&] { ButtonOf(dlg, IDC_SELECT_EXTRACT)->click(); });
            QCOMPARE(dlg.DoModal(), IDOK);
            SetMainWindow(nullptr);
                QCOMPARE(dlg.WorkerCount(), size_t(0));
            QVERIFY(!dlg.m_work.ScanRunning());
            QVERIFY(dlg.m_inputFiles.empty());
            QVERIFY(theApp.m_catalog.m_databaseFiles.empty());
            QCOMPARE(user->setDialogs, atDialog ? 1 : 0);
            QCOMPARE(user->informationDialogs, 0);
        }
    }
};

QTEST_MAIN(ScanTest)
#include "scan_test.moc"
