// The input list of the main dialog: the single-file picker, Add Files with its
// worker, Remove Files, Move Up and Move Down, driven through the real dialog
// with the pickers and message boxes scripted.
#include <QLineEdit>
#include <QFileInfo>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

#include "fixtures/temp_file.h"
#include "framework/instance_lock.h"
#include "main_dialog.h"
#include "orvendel_app.h"
#include "product.h"
#include "resource.h"
#include "ui_test_support.h"

using namespace fw;

SingleInstanceGuard g_instanceGuard{"orvendel-input-list-tests-" + std::to_string(::getpid())};
COrvendelApp theApp;

namespace {

const char kDuplicateQuestion[] = "already exist in the list.Do you want to add it again?";

QString Path(const TempFile& file) { return QString::fromStdString(file.Path()); }

QStringList Rows(COrvendelDlg& dlg) {
    QStringList rows;
    for (int row = 0; row < dlg.m_listInputFiles.GetItemCount(); ++row)
        rows << dlg.m_listInputFiles.GetItemText(row, 0);
    return rows;
}

QStringList BoxTexts(ScriptedDesktop& desktop) {
    QStringList texts;
    for (const AskedBox& box : desktop.Boxes()) texts << box.text;
    return texts;
}

// Clicks "Add Files" and waits until its worker has ended and been released.
void AddFiles(COrvendelDlg& dlg) {
    ButtonOf(dlg, IDC_ADD_FILES)->click();
    QVERIFY(WaitFor([&] { return dlg.WorkerCount() == 0; }));
}

// What the user sees of the adding controls.
struct AddingState {
    bool stopShown, selectEnabled, closeEnabled, barShown;
    int barMaximum, barValue;
};
AddingState StateOf(COrvendelDlg& dlg) {
    auto* bar = static_cast<QProgressBar*>(dlg.Item(IDC_PROGRESS));
    return {!dlg.Item(IDC_STOP)->isHidden(), dlg.Item(IDC_SELECT_EXTRACT)->isEnabled(),
            dlg.Item(IDOK)->isEnabled(), !bar->isHidden(), bar->maximum(), bar->value()};
}

void ExpectIdle(COrvendelDlg& dlg) {
    const AddingState state = StateOf(dlg);
    QVERIFY(!state.stopShown);
    QVERIFY(state.selectEnabled);
    QVERIFY(state.closeEnabled);
    QVERIFY(!state.barShown);
    QCOMPARE(state.barValue, 0);
    QCOMPARE(dlg.m_work.StopFlag().load(), 0);
}

}  // namespace

class InputListTest : public QObject {
    Q_OBJECT

private slots:
    void singleFilePickerShowsEveryFileAndCancelEmptiesThePath() {
        ScriptedDesktop desktop;
        desktop.files = {{"/srv/backups/sales.bak"}, {}};
        COrvendelDlg dlg;
        dlg.Create();
        ButtonOf(dlg, IDC_BROWSE_BAK_FILE)->click();
        QCOMPARE(dlg.m_editBakFile.GetWindowText(), QString("/srv/backups/sales.bak"));
        ButtonOf(dlg, IDC_BROWSE_BAK_FILE)->click();  // cancelled
        QCOMPARE(dlg.m_editBakFile.GetWindowText(), QString());
        QCOMPARE(desktop.pickers.size(), size_t(2));
        QCOMPARE(desktop.pickers[0].filter, QString());
        QVERIFY(!desktop.pickers[0].multiSelect);
        QCOMPARE(desktop.pickers[0].owner, static_cast<QWidget*>(&dlg));
    }

    // Missing files, folders and files another descriptor holds locked are left
    // out, named with their reasons in one notice; the rest keep the picker's
    // order. A name of a listed file (the same path, a hard or symbolic link to
    // it) is asked about once per matching row; a name that differs only in case
    // is another file.
    void addFilesKeepsThePickersOrderAndAsksAboutListedPaths() {
        ScriptedDesktop desktop;
        TempFile a, b, c, locked;
        const int holder = ::open(locked.Path().c_str(), O_RDONLY);
        QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
        const QString folder = QString::fromStdString(std::filesystem::temp_directory_path().string());
        const QFileInfo bInfo(Path(b));
        const QString twin = bInfo.dir().filePath(bInfo.fileName().toUpper());
        std::ofstream(twin.toStdString()) << "another file";
        const auto removeTwin = qScopeGuard([&] { QFile::remove(twin); });
        QTemporaryDir links;
        const QString hard = links.filePath("hard.bak"), soft = links.filePath("soft.bak");
        QVERIFY(::link(qPrintable(Path(b)), qPrintable(hard)) == 0 && QFile::link(Path(b), soft));
        desktop.files = {
            {Path(a), "/nonexistent/missing.bak", folder, Path(b), Path(locked), Path(c)},
            {Path(a)},                 // listed once: asked once, Yes
            {Path(a)},                 // listed twice now: Yes, then No
            {twin, hard, soft},        // not asked; asked once, Yes; asked for b and hard: Yes, then No
            {},                        // cancelled
        };
        desktop.answers = {IDYES, IDYES, IDNO, IDYES, IDYES, IDNO};
        std::vector<AddingState> busy;
        desktop.onBox = [&](const QString& text) {
            COrvendelDlg* dlg = OpenWindow<COrvendelDlg>();
            if (dlg && text.endsWith(kDuplicateQuestion)) busy.push_back(StateOf(*dlg));
        };

        COrvendelDlg dlg;
        dlg.Create();
        dlg.OnBnClickedSplitFiles();
        InsideModal(dlg, [&] {
            for (int click = 0; click < 5; ++click) AddFiles(dlg);
            ExpectIdle(dlg);
        });
        ::close(holder);

        QCOMPARE(Rows(dlg), (QStringList{Path(a), Path(b), Path(c), Path(a), twin, hard}));
        const QStringList asked = BoxTexts(desktop);
        const QString question = Path(a) + "\n" + kDuplicateQuestion;
        const QString aboutSoft = soft + "\n" + kDuplicateQuestion;
        QCOMPARE(asked, (QStringList{"Make Sure split Backup Files are in correct order.Use Move Up and Down "
                                     "Button to correct order.",
                                     "These file(s) cannot be read and were not added to the list:\n"
                                     "/nonexistent/missing.bak: No such file or directory.\n" +
                                         folder + ": Is a directory.\n" + Path(locked) +
                                         ": Another program is using it.",
                                     question, question, question, hard + "\n" + kDuplicateQuestion, aboutSoft,
                                     aboutSoft}));
        for (const AskedBox& box : desktop.Boxes()) {
            QCOMPARE(box.owner, static_cast<QWidget*>(&dlg));
            QCOMPARE(box.caption, QString(kProductTitle));
            QVERIFY(box.onGuiThread);
        }
        QCOMPARE(desktop.Boxes()[1].style, MB_ICONINFORMATION);
        QCOMPARE(desktop.Boxes()[2].style, MB_YESNO | MB_ICONQUESTION);
        for (const auto& picker : desktop.pickers) {
            QVERIFY(picker.multiSelect && picker.onGuiThread);
            QCOMPARE(picker.owner, static_cast<QWidget*>(&dlg));
            QCOMPARE(picker.defaultSuffix, QString("Backup"));
        }
        // While it adds: Stop shown, the bar over 0..n, "Select Extract File(s)" and Close disabled.
        QCOMPARE(busy.size(), size_t(6));
        for (size_t i = 0; i < busy.size(); ++i) {
            QVERIFY(busy[i].stopShown && busy[i].barShown && !busy[i].selectEnabled && !busy[i].closeEnabled);
            QCOMPARE(busy[i].barMaximum, i < 3 ? 1 : 3);
        }
    }

    void stopConfirmedWhileAddingKeepsTheRowsAddedAndRestoresTheControls() {
        ScriptedDesktop desktop;
        TempFile first, second, third, fourth;
        COrvendelDlg dlg;
        dlg.Create();
        dlg.OnBnClickedSplitFiles();
        dlg.m_listInputFiles.InsertItem(0, Path(second));
        desktop.files = {{Path(first), Path(second), Path(third), Path(fourth)}};
        // Stop is confirmed while the question about the second name is open; a
        // request made then starts no scan.
        desktop.answers = {IDYES, IDYES};  // Stop's question, then the duplicate question
        desktop.onBox = [&](const QString& text) {
            if (text.endsWith(kDuplicateQuestion)) {
                desktop.onBox = nullptr;
                dlg.OnBnClickedSelectExtract();
                ButtonOf(dlg, IDC_STOP)->click();
            }
        };
        InsideModal(dlg, [&] {
            AddFiles(dlg);
            ExpectIdle(dlg);
        });
        QCOMPARE(Rows(dlg), (QStringList{Path(second), Path(first), Path(second)}));
        QVERIFY(dlg.m_inputFiles.empty());  // the request was refused before it began
        // A Stop confirmed when nothing runs reaches nothing: the next adding is whole.
        desktop.answers = {IDYES};
        ButtonOf(dlg, IDC_STOP)->click();
        QCOMPARE(dlg.m_work.StopFlag().load(), 0);
        desktop.files = {{Path(third), Path(fourth)}};
        InsideModal(dlg, [&] { AddFiles(dlg); });
        QCOMPARE(Rows(dlg).size(), 5);
    }

    void removeFilesDeletesEverySelectedRowAndSaysWhyWhenItCannot() {
        ScriptedDesktop desktop;
        COrvendelDlg dlg;
        dlg.Create();
        dlg.OnBnClickedSplitFiles();
        ButtonOf(dlg, IDC_REMOVE_FILES)->click();
        for (int row = 0; row < 5; ++row) dlg.m_listInputFiles.InsertItem(row, QString("/b/%1.bak").arg(row));
        ButtonOf(dlg, IDC_REMOVE_FILES)->click();
        dlg.m_listInputFiles.SetSelected(1, true);
        dlg.m_listInputFiles.SetSelected(3, true);
        ButtonOf(dlg, IDC_REMOVE_FILES)->click();
        QCOMPARE(Rows(dlg), (QStringList{"/b/0.bak", "/b/2.bak", "/b/4.bak"}));
        QCOMPARE(BoxTexts(desktop), (QStringList{"No Backup file(s) is present in the list to remove.",
                                                 "No Backup file(s) is selected to remove."}));
        QCOMPARE(desktop.Boxes()[0].style, MB_ICONINFORMATION);
    }

    // Only the texts move; the edges only select; no selection mark, nothing.
    // The rows' order is the stripe order the next request reads.
    void moveUpAndDownCarryTheMarkedPathAndTheRequestTakesTheRowsInOrder() {
        ScriptedDesktop desktop;
        COrvendelDlg dlg;
        dlg.Create();
        dlg.show();
        dlg.OnBnClickedSplitFiles();
        ButtonOf(dlg, IDC_MOVE_UP)->click();
        ButtonOf(dlg, IDC_MOVE_DOWN)->click();
        QCOMPARE(BoxTexts(desktop), (QStringList{"Add Backup file(s) in the list to do the Move Up operation",
                                                 "Add Backup file(s) in the list to do the Move Down operation"}));
        for (int row = 0; row < 3; ++row) dlg.m_listInputFiles.InsertItem(row, QString("/b/%1.bak").arg(row));
        ButtonOf(dlg, IDC_MOVE_DOWN)->click();  // no selection mark
        QCOMPARE(Rows(dlg), (QStringList{"/b/0.bak", "/b/1.bak", "/b/2.bak"}));

        auto* table = static_cast<QTableWidget*>(dlg.Item(IDC_LIST_INPUT_FILES));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(0, 0)).center());
        ButtonOf(dlg, IDC_MOVE_UP)->click();  // the first row: only selected
        QCOMPARE(Rows(dlg), (QStringList{"/b/0.bak", "/b/1.bak", "/b/2.bak"}));
        QVERIFY(dlg.m_listInputFiles.IsSelected(0));
        ButtonOf(dlg, IDC_MOVE_DOWN)->click();
        ButtonOf(dlg, IDC_MOVE_DOWN)->click();
        QCOMPARE(Rows(dlg), (QStringList{"/b/1.bak", "/b/2.bak", "/b/0.bak"}));
        QCOMPARE(dlg.m_listInputFiles.GetSelectionMark(), 2);
        QCOMPARE(dlg.m_listInputFiles.GetSelectedRows(), std::vector<int>{2});
        ButtonOf(dlg, IDC_MOVE_DOWN)->click();  // the last row: only selected
        QCOMPARE(Rows(dlg), (QStringList{"/b/1.bak", "/b/2.bak", "/b/0.bak"}));
        ButtonOf(dlg, IDC_MOVE_UP)->click();
        QCOMPARE(Rows(dlg), (QStringList{"/b/1.bak", "/b/0.bak", "/b/2.bak"}));
        QCOMPARE(desktop.Boxes().size(), size_t(2));

        // The request reads the rows in order, each with the box's flag; no save folder stops it there.
        ButtonOf(dlg, IDC_CHECK_COMPRESSED)->click();
        ButtonOf(dlg, IDC_SELECT_EXTRACT)->click();
        QCOMPARE(desktop.Boxes().back().text, QString("Please browse save location."));
        QCOMPARE(dlg.m_inputFiles.size(), size_t(3));
        for (size_t i = 0; i < 3; ++i) {
            QCOMPARE(QString::fromStdU16String(dlg.m_inputFiles[i].strPath), Rows(dlg)[int(i)]);
            QCOMPARE(dlg.m_inputFiles[i].bCompressed, uint8_t(1));
        }
    }

    // A worker appends while the GUI thread removes rows: each change is one
    // call on the GUI thread, so rows stay whole and in the picker's order.
    void rowsRemovedWhileAWorkerAddsStayConsistent() {
        ScriptedDesktop desktop;
        std::vector<std::unique_ptr<TempFile>> files;
        QStringList chosen;
        for (int i = 0; i < 60; ++i) {
            files.push_back(std::make_unique<TempFile>());
            chosen << Path(*files.back());
        }
        desktop.files = {chosen};
        COrvendelDlg dlg;
        dlg.Create();
        dlg.OnBnClickedSplitFiles();
        int removed = 0;
        InsideModal(dlg, [&] {
            ButtonOf(dlg, IDC_ADD_FILES)->click();
            QVERIFY(WaitFor([&] {
                if (dlg.m_listInputFiles.GetItemCount() > 0 && removed < 20) {
                    dlg.m_listInputFiles.SetSelected(0, true);
                    dlg.OnBnClickedRemoveFiles();
                    ++removed;
                }
                return dlg.WorkerCount() == 0;
            }));
        });
        const QStringList rows = Rows(dlg);
        QCOMPARE(rows.size() + removed, 60);
        QCOMPARE(rows, chosen.mid(removed));
    }

    // Close confirmed while a worker waits in its picker: the picker is ended,
    // the worker ends and is joined, nothing deadlocks.
    void closeConfirmedWhileTheWorkersPickerIsOpenEndsEverything() {
        ScriptedDesktop desktop;
        TempFile file;
        COrvendelDlg dlg;
        dlg.Create();
        dlg.OnBnClickedSplitFiles();
        desktop.answers = {IDYES};
        desktop.picker = [&](QWidget* owner) {
            QDialog picker(owner);
            ModalScope scope(&picker);
            QTimer::singleShot(0, &dlg, [&] { dlg.OnBnClickedClose(); });
            return picker.exec() == QDialog::Accepted ? QStringList{Path(file)} : QStringList();
        };
        SetMainWindow(&dlg);
        QTimer::singleShot(0, &dlg, [&] { ButtonOf(dlg, IDC_ADD_FILES)->click(); });
        QCOMPARE(dlg.DoModal(), IDOK);
        SetMainWindow(nullptr);
        QCOMPARE(dlg.WorkerCount(), size_t(0));
        QCOMPARE(dlg.m_listInputFiles.GetItemCount(), 0);
    }
};

QTEST_MAIN(InputListTest)
#include "input_list_test.moc"
