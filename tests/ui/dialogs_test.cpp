// The backup-set dialog and the information dialog: what they show of the
// catalog store, their keys and clicks, and their run from a worker thread.
// (The real backups go through both in the scan's end-to-end tests.)
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTest>
#include <atomic>
#include <thread>
#include <unistd.h>

#include "backup_option_dialog.h"
#include "framework/instance_lock.h"
#include "main_dialog.h"
#include "orvendel_app.h"
#include "preview_dialog.h"
#include "product.h"
#include "resource.h"
#include "shown_names.h"
#include "ui_test_support.h"

using namespace fw;

SingleInstanceGuard g_instanceGuard{"orvendel-dialogs-tests-" + std::to_string(::getpid())};
COrvendelApp theApp;

namespace {

BackupSetRecord Set(const std::u16string& database, int32_t number, uint64_t size) {
    BackupSetRecord set;
    set.strDatabaseName = database;
    set.strBackupStartDate = u"2-1-2020::3:4:5";
    set.nBackupSize = size;
    set.dataSet = {number, u"Name " + database, u"About " + database};
    return set;
}

DatabaseFileRecord File(const std::u16string& name, uint32_t number, uint32_t type, uint64_t size) {
    SqlFileDescriptor descriptor;
    auto put32 = [&](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) descriptor.bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    put32(SqlFileDescriptor::kFileNumberOffset, number);
    put32(SqlFileDescriptor::kFileTypeOffset, type);
    DatabaseFileRecord file = MakeDatabaseFileRecord(descriptor, name);
    file.nSize = size;
    return file;
}

QStringList Row(ListCtrl& list, int row) {
    QStringList cells;
    for (int column = 0; column < list.GetColumnCount(); ++column) cells << list.GetItemText(row, column);
    return cells;
}

QString Label(Dialog& dialog, int id) { return static_cast<QLabel*>(dialog.Item(id))->text(); }

QTableWidget* Table(Dialog& dialog, int id) { return static_cast<QTableWidget*>(dialog.Item(id)); }

void ClickRow(QTableWidget* table, int row, Qt::KeyboardModifiers modifiers = {}) {
    const QRect cell = table->visualRect(table->model()->index(row, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, modifiers, cell.center());
}

void ClickEmptySpace(QTableWidget* table) {
    const QRect viewport = table->viewport()->rect();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, viewport.bottomRight() - QPoint(20, 5));
}

// Runs `dialog` modally with `act` done once it shows; returns its result.
int RunWith(Dialog& dialog, const std::function<void()>& act) {
    QTimer::singleShot(0, &dialog, act);
    return dialog.DoModal();
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { theApp.m_catalog = CatalogStore{}; }

    void backupSetRowsShowEverySetInStoreOrder() {
        theApp.m_catalog.m_backupSets = {Set(u"Small", 1, 1023), Set(u"Kilo", 65535, 1024),
                                         Set(u"Odd", 7, 2047), Set(u"Big", 2, 5ull << 30)};
        BackupOptionDlg dlg;
        dlg.Create();
        QCOMPARE(dlg.windowTitle(), QString(kProductTitle));
        QVERIFY(!(dlg.windowFlags() & Qt::FramelessWindowHint));
        const QStringList headings{"Database Name",     "Data Set Name",   "Data set Number",
                                   "Backup Start Date", "Backup size(KB)", "Data set Description"};
        const int widths[] = {150, 150, 50, 150, 100, 150};
        QCOMPARE(dlg.m_listBackupSets.GetColumnCount(), 6);
        for (int column = 0; column < 6; ++column) {
            QCOMPARE(dlg.m_listBackupSets.GetColumnTitle(column), headings[column]);
            QCOMPARE(dlg.m_listBackupSets.GetColumnWidth(column), widths[column]);
        }
        QCOMPARE(dlg.m_listBackupSets.GetExtendedStyle(), 0x425u);
        QCOMPARE(Row(dlg.m_listBackupSets, 0),
                 (QStringList{"Small", "Name Small", "1", "2-1-2020::3:4:5", "0 Kb", "About Small"}));
        QCOMPARE(Row(dlg.m_listBackupSets, 1)[2], QString("65535"));
        QCOMPARE(Row(dlg.m_listBackupSets, 1)[4], QString("1 Kb"));
        QCOMPARE(Row(dlg.m_listBackupSets, 2)[4], QString("1 Kb"));
        QCOMPARE(Row(dlg.m_listBackupSets, 3)[4], QString("5242880 Kb"));
        QCOMPARE(dlg.m_listBackupSets.GetItemCount(), 4);
        QVERIFY(!dlg.Item(IDOK)->isEnabled());
        QCOMPARE(dlg.focusWidget(), dlg.Item(IDCANCEL));
    }

    // OK follows the selection at each click in the list (a row, empty space),
    // not at a header click; OK stores the lowest selected row.
    void okFollowsClicksInTheListAndStoresTheLowestSelectedRow() {
        theApp.m_catalog.m_backupSets = {Set(u"A", 1, 0), Set(u"B", 2, 0), Set(u"C", 3, 0)};
        theApp.m_catalog.m_nSelectedSet = 0;
        BackupOptionDlg dlg;
        const int result = RunWith(dlg, [&] {
            QTableWidget* table = Table(dlg, IDC_BACKUP_SET_LIST);
            ClickRow(table, 2);
            QVERIFY(dlg.Item(IDOK)->isEnabled());
            ClickEmptySpace(table);
            QVERIFY(!dlg.Item(IDOK)->isEnabled());
            QVERIFY(dlg.m_listBackupSets.GetSelectedRows().empty());
            ClickRow(table, 2);
            ClickRow(table, 1, Qt::ControlModifier);
            QTest::mouseClick(table->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(30, 5));
            QCOMPARE(dlg.m_listBackupSets.GetSelectedRows(), (std::vector<int>{1, 2}));
            QCOMPARE(dlg.m_listBackupSets.GetItemText(0, 0), QString("A"));
            QVERIFY(dlg.Item(IDOK)->isEnabled());
            ButtonOf(dlg, IDOK)->click();
        });
        QCOMPARE(result, IDOK);
        QCOMPARE(theApp.m_catalog.m_nSelectedSet, 1u);
    }

    // The keyboard can clear the selection after the click that enabled OK:
    // OK then keeps the dialog open (and goes back to disabled) instead of
    // closing with the previous request's choice.
    void okWithNothingSelectedKeepsTheDialogOpen() {
        theApp.m_catalog.m_backupSets = {Set(u"A", 1, 0), Set(u"B", 2, 0)};
        theApp.m_catalog.m_nSelectedSet = 1;
        BackupOptionDlg dlg;
        bool stayedOpen = false;
        const int result = RunWith(dlg, [&] {
            QTableWidget* table = Table(dlg, IDC_BACKUP_SET_LIST);
            ClickRow(table, 0);
            QTest::keyClick(table, Qt::Key_Space, Qt::ControlModifier);  // deselects the current row
            QVERIFY(dlg.m_listBackupSets.GetSelectedRows().empty());
            ButtonOf(dlg, IDOK)->click();
            stayedOpen = dlg.isVisible() && !dlg.Item(IDOK)->isEnabled();
            QTest::keyClick(table, Qt::Key_Escape);
        });
        QVERIFY(stayedOpen);
        QCOMPARE(result, IDCANCEL);
        QCOMPARE(theApp.m_catalog.m_nSelectedSet, 1u);
    }

    // The system's keys: Enter presses the focused button (Cancel at the start),
    // else OK while it is enabled; Escape cancels. A scan that found nothing can
    // only be cancelled.
    void backupSetDialogKeepsTheSystemsKeys() {
        theApp.m_catalog.m_backupSets = {Set(u"A", 1, 0)};
        BackupOptionDlg first;
        QCOMPARE(RunWith(first, [&] {
                     ClickRow(Table(first, IDC_BACKUP_SET_LIST), 0);
                     ButtonOf(first, IDCANCEL)->setFocus();
                     QTest::keyClick(first.focusWidget(), Qt::Key_Return);
                 }),
                 IDCANCEL);
        BackupOptionDlg second;
        QCOMPARE(RunWith(second, [&] {
                     ClickRow(Table(second, IDC_BACKUP_SET_LIST), 0);
                     QTest::keyClick(second.Item(IDC_BACKUP_SET_LIST), Qt::Key_Return);
                 }),
                 IDOK);

        theApp.m_catalog.m_backupSets.clear();
        BackupOptionDlg empty;
        QCOMPARE(RunWith(empty, [&] {
                     QCOMPARE(empty.m_listBackupSets.GetItemCount(), 0);
                     QCOMPARE(empty.m_listBackupSets.GetColumnCount(), 6);
                     ClickEmptySpace(Table(empty, IDC_BACKUP_SET_LIST));
                     QTest::keyClick(empty.Item(IDC_BACKUP_SET_LIST), Qt::Key_Return);  // OK stays disabled
                     QVERIFY(empty.isVisible() && !empty.Item(IDOK)->isEnabled());
                     QTest::keyClick(&empty, Qt::Key_Escape);
                 }),
                 IDCANCEL);
    }

    void informationShowsTheNameTablesAndTheSizeRule() {
        BackupInfo& info = theApp.m_catalog.m_backupInfo;
        info = {u"Sales", u"HOST\\SQL", u"1-2-2003::4:5:6", u"7-8-2009::10:11:12", u"", 65535, 612, 'd',
                -1, 2};
        theApp.m_catalog.m_databaseFiles = {
            File(u"C:\\data\\sales.mdf", 1, 1, 5ull << 30), File(u"sales_log.ldf", 2, 2, 1023),
            File(u"ft", 0xFFFFFFFF, 0, 1024),    File(u"four", 4, 4, 2047),
            File(u"five", 5, 5, 2048),           File(u"", 6, 6, 0),
        };
        PreviewDlg dlg;
        dlg.Create();
        QCOMPARE(dlg.windowTitle(), QString(kProductTitle));
        QVERIFY(dlg.windowFlags() & Qt::FramelessWindowHint);
        const QStringList labels{Label(dlg, IDC_VALUE_DATABASE_NAME),  Label(dlg, IDC_VALUE_SERVER_NAME),
                                 Label(dlg, IDC_VALUE_CREATION_DATE),  Label(dlg, IDC_VALUE_BACKUP_START),
                                 Label(dlg, IDC_VALUE_BACKUP_FINISH),  Label(dlg, IDC_VALUE_DATABASE_ID),
                                 Label(dlg, IDC_VALUE_DATABASE_VERSION), Label(dlg, IDC_VALUE_BACKUP_TYPE),
                                 Label(dlg, IDC_VALUE_DATA_FILE_COUNT), Label(dlg, IDC_VALUE_LOG_FILE_COUNT)};
        QCOMPARE(labels, (QStringList{"Sales", "HOST\\SQL", "1-2-2003::4:5:6", "7-8-2009::10:11:12", "", "65535",
                                      " SQL Server 2005 SP2+ with VarDecimal enabled", "Unknown Backup Type", "-1",
                                      "2"}));
        const QStringList headings{"Physical File Name", "File Number", "File Type", "File size(KB)"};
        const int widths[] = {80, 40, 60, 70};
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(dlg.m_listFiles.GetColumnTitle(column), headings[column]);
            QCOMPARE(dlg.m_listFiles.GetColumnWidth(column), widths[column]);
        }
        QCOMPARE(dlg.m_listFiles.GetExtendedStyle(), 0x425u);
        QCOMPARE(dlg.m_listFiles.GetItemCount(), 6);
        QCOMPARE(Row(dlg.m_listFiles, 0), (QStringList{"C:\\data\\sales.mdf", "1", "Sql Database File", "5242880"}));
        QCOMPARE(Row(dlg.m_listFiles, 1), (QStringList{"sales_log.ldf", "2", "Sql Physical Log File", "1023(Bytes)"}));
        QCOMPARE(Row(dlg.m_listFiles, 2), (QStringList{"ft", "-1", "Unknown Sql File", "1"}));
        QCOMPARE(Row(dlg.m_listFiles, 3), (QStringList{"four", "4", "Unknown File", "1"}));
        QCOMPARE(Row(dlg.m_listFiles, 4), (QStringList{"five", "5", "Unknown File", "2"}));
        QCOMPARE(Row(dlg.m_listFiles, 5), (QStringList{"", "6", "Sql Full text File", "0(Bytes)"}));

        for (const ShownName& v : kVersionNames)
            QCOMPARE(DatabaseVersionName(static_cast<uint16_t>(v.value)), QString(v.name));
        for (uint16_t version : {0, 700, 904}) QCOMPARE(DatabaseVersionName(version), QString(kUnknownVersion));
        for (const ShownName& t : kBackupTypeNames)
            QCOMPARE(BackupTypeName(static_cast<uint8_t>(t.value)), QString(t.name));
        QCOMPARE(BackupTypeName('d'), QString(kUnknownBackupType));
        for (const ShownName& f : kFileTypeNames) QCOMPARE(FileTypeName(f.value), QString(f.name));
        QCOMPARE(FileTypeName(9), QString(kUnknownFileType));
    }

    // The dialog itself ignores Enter and Escape; a focused button still
    // presses on Enter (Save has the focus at the start).
    void informationDialogClosesOnlyByItsButtons() {
        PreviewDlg saved;
        bool openAfterKeys = false;
        QCOMPARE(RunWith(saved, [&] {
                     QCOMPARE(saved.focusWidget(), saved.Item(IDOK));
                     QTest::keyClick(&saved, Qt::Key_Escape);
                     QTest::keyClick(saved.Item(IDC_FILE_LIST), Qt::Key_Return);
                     QTest::keyClick(saved.Item(IDC_FILE_LIST), Qt::Key_Escape);
                     openAfterKeys = saved.isVisible();
                     QTest::keyClick(saved.focusWidget(), Qt::Key_Return);
                 }),
                 IDOK);
        QVERIFY(openAfterKeys);
        for (const auto& [id, tooltip] : {std::pair{IDOK, "Save"}, std::pair{IDCANCEL, "Cancel"}}) {
            QCOMPARE(saved.Item(id)->toolTip(), QString(tooltip));
            QVERIFY(!ButtonOf(saved, id)->icon().isNull());
        }
        PreviewDlg cancelled;
        QCOMPARE(RunWith(cancelled, [&] { QTest::keyClick(cancelled.Item(IDCANCEL), Qt::Key_Return); }), IDCANCEL);
    }

    // The scan runs both dialogs from its own thread: each opens on the GUI
    // thread, modal over the main dialog, and its result reaches the worker.
    void bothDialogsRunFromAWorkerThreadModalOverTheMainDialog() {
        theApp.m_catalog.m_backupSets = {Set(u"A", 1, 0), Set(u"B", 2, 0)};
        COrvendelDlg main;
        std::atomic<int> stage{0};
        bool chosen = false;
        QWidget* setsOwner = nullptr;
        QWidget* informationOwner = nullptr;
        bool mainBlocked = false;
        int stageAtInformation = -1;
        // The user acts from timers: the dialogs' own loops run them.
        Repeatedly([&] {
            BackupOptionDlg* sets = OpenWindow<BackupOptionDlg>();
            if (!sets) return false;
            setsOwner = sets->parentWidget();
            mainBlocked = QApplication::activeModalWidget() == sets;
            ClickRow(Table(*sets, IDC_BACKUP_SET_LIST), 1);
            ButtonOf(*sets, IDOK)->click();
            return true;
        });
        Repeatedly([&] {
            PreviewDlg* information = OpenWindow<PreviewDlg>();
            if (!information) return false;
            informationOwner = information->parentWidget();
            stageAtInformation = stage.load();
            ButtonOf(*information, IDCANCEL)->click();
            return true;
        });
        InsideModal(main, [&] {
            main.BeginThread([&] {
                chosen = main.ChooseBackupSet();
                stage = 1;
                main.ShowBackupInformation();
                stage = 2;
            });
            QVERIFY(WaitFor([&] { return stage.load() == 2; }));
        });
        QCOMPARE(stageAtInformation, 1);
        QVERIFY(chosen);
        QCOMPARE(theApp.m_catalog.m_nSelectedSet, 1u);
        QCOMPARE(setsOwner, static_cast<QWidget*>(&main));
        QCOMPARE(informationOwner, static_cast<QWidget*>(&main));
        QVERIFY(mainBlocked);
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
