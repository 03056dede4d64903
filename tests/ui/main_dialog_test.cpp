// The main dialog, the About box and start-up, driven through their controls
// with a scripted desktop answering the message boxes and pickers.
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <atomic>
#include <unistd.h>

#include "about_dialog.h"
#include "framework/instance_lock.h"
#include "main_dialog.h"
#include "orvendel_app.h"
#include "product.h"
#include "resource.h"
#include "ui_test_support.h"

using namespace fw;

// This test process holds a name of its own, so it never meets a running program.
SingleInstanceGuard g_instanceGuard{"orvendel-ui-tests-" + std::to_string(::getpid())};
COrvendelApp theApp;

namespace {

const std::string kTestInstanceName = "orvendel-ui-tests-" + std::to_string(::getpid());

QString EditText(Dialog& dialog, int id) { return static_cast<QLineEdit*>(dialog.Item(id))->text(); }

// Runs `act` once the dialog is on screen inside its modal loop.
void WhenShown(Dialog& dialog, std::function<void()> act) {
    Repeatedly([&dialog, act] {
        if (!dialog.isVisible()) return false;
        act();
        return true;
    });
}

CTalveroAboutDlg* OpenAboutBox() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* about = dynamic_cast<CTalveroAboutDlg*>(window); about && about->isVisible()) return about;
    for (QWidget* window : QApplication::allWidgets())
        if (auto* about = dynamic_cast<CTalveroAboutDlg*>(window); about && about->isVisible()) return about;
    return nullptr;
}

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT

private slots:
    void startsInStandardSingleFileModeWithTheTemporaryFolderFilledIn() {
        COrvendelDlg dlg;
        dlg.Create();
        QCOMPARE(ButtonOf(dlg, IDC_RADIO_STANDARD_MODE)->isChecked(), true);
        QCOMPARE(ButtonOf(dlg, IDC_RADIO_ADVANCED_MODE)->isChecked(), false);
        QCOMPARE(ButtonOf(dlg, IDC_RADIO_SINGLE_FILE)->isChecked(), true);
        QCOMPARE(ButtonOf(dlg, IDC_RADIO_SPLIT_FILES)->isChecked(), false);
        QCOMPARE(ButtonOf(dlg, IDC_CHECK_COMPRESSED)->isChecked(), false);
        QCOMPARE(ButtonOf(dlg, IDC_RADIO_SPLIT_FILES)->text(), QString("Select Splited .BAK File(s):"));

        QCOMPARE(dlg.m_listInputFiles.GetColumnCount(), 1);
        QCOMPARE(dlg.m_listInputFiles.GetColumnTitle(0), QString("Backup File Path"));
        QCOMPARE(dlg.m_listInputFiles.GetColumnWidth(0), 350);
        QCOMPARE(dlg.m_listInputFiles.GetItemCount(), 0);
        QCOMPARE(dlg.m_listInputFiles.GetExtendedStyle(), ListCtrl::kGridLines | ListCtrl::kFullRowSelect);

        QVERIFY(dlg.Item(IDC_EDIT_BAK_FILE)->isEnabled());
        QVERIFY(dlg.Item(IDC_BROWSE_BAK_FILE)->isEnabled());
        for (int id : {IDC_LIST_INPUT_FILES, IDC_ADD_FILES, IDC_REMOVE_FILES, IDC_MOVE_UP, IDC_MOVE_DOWN})
            QVERIFY2(!dlg.Item(id)->isEnabled(), qPrintable(QString::number(id)));

        QCOMPARE(EditText(dlg, IDC_EDIT_TEMP_FOLDER), SystemTempFolder());
        QCOMPARE(dlg.m_strTempFolder, SystemTempFolder());
        QVERIFY(dlg.m_strTempFolder.endsWith('/'));
        QCOMPARE(EditText(dlg, IDC_EDIT_SAVE_FOLDER), QString());
        for (int id : {IDC_STOP, IDC_PROGRESS, IDC_STATIC_STATUS, IDCANCEL})
            QVERIFY2(dlg.Item(id)->isHidden(), qPrintable(QString::number(id)));
        QCOMPARE(dlg.focusWidget(), dlg.Item(IDOK));

        QCOMPARE(dlg.windowTitle(), QString(kProductTitle));
        QVERIFY(dlg.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!dlg.windowIcon().isNull());
        for (int id : {IDC_LIST_INPUT_FILES, IDC_GROUP_SCAN_MODE, IDC_RADIO_SINGLE_FILE,
                       IDC_RADIO_SPLIT_FILES, IDC_GROUP_TEMP_FOLDER, IDC_GROUP_SAVE_FOLDER})
            QCOMPARE(dlg.Item(id)->font().weight(), QFont::DemiBold);
        QCOMPARE(dlg.Item(IDC_RADIO_STANDARD_MODE)->font().weight(), QFont::Normal);

        const struct { int id; const char* tooltip; } tips[] = {
            {IDC_ADD_FILES, "Add .Bak File(s)"}, {IDC_REMOVE_FILES, "Remove file(s)"},
            {IDC_MOVE_UP, "Move Up"}, {IDC_MOVE_DOWN, "Move Down"},
            {IDC_STOP, "Stop the running process"}, {IDOK, "Close the application"},
            {IDC_SELECT_EXTRACT, "Click to save MDF/LDF file(s)"}, {IDC_HELP_BUTTON, "Help"}};
        for (const auto& tip : tips) {
            QCOMPARE(dlg.Item(tip.id)->toolTip(), QString(tip.tooltip));
            QVERIFY2(!ButtonOf(dlg, tip.id)->icon().isNull(), tip.tooltip);
        }
        QCOMPARE(ButtonOf(dlg, IDC_HELP_BUTTON)->iconSize(), QSize(20, 20));
        QCOMPARE(ButtonOf(dlg, IDOK)->iconSize(), QSize(23, 20));
        QVERIFY(ButtonOf(dlg, IDC_BROWSE_BAK_FILE)->icon().isNull());
        QCOMPARE(dlg.Item(IDC_BROWSE_BAK_FILE)->toolTip(),
                 QString("Please select .bak file to continue the recovery process"));
        QCOMPARE(dlg.m_linkDownload.Address(), QString("https://www.talveroworks.example/quillmere/"));
        QCOMPARE(dlg.Item(IDC_LINK_DOWNLOAD)->toolTip(), QString("Software to Repair MDF/LDF Files"));

        // The banner fills its place at the top of the window.
        const QPoint banner = dlg.DialogUnitsToPixels(430, 46);
        QCOMPARE(banner, QPoint(645, 75));
    }

    void temporaryFolderComesFromTmpdir() {
        const QByteArray saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", "/var/spool/scratch");
        QCOMPARE(SystemTempFolder(), QString("/var/spool/scratch/"));
        qputenv("TMPDIR", "");
        QCOMPARE(SystemTempFolder(), QString("/tmp/"));
        qputenv("TMPDIR", QByteArray("/") + QByteArray(600, 'x'));
        QCOMPARE(SystemTempFolder(), QString());  // too long for the folder box's buffer
        if (saved.isNull()) qunsetenv("TMPDIR");
        else qputenv("TMPDIR", saved);
    }

    void enterAndEscapeDoNothingExceptOnImageButtonsAndHelp() {
        ScriptedDesktop desktop;
        COrvendelDlg dlg;
        dlg.Create();
        dlg.show();
        QTest::keyClick(&dlg, Qt::Key_Escape);
        for (int id : {IDC_BROWSE_SAVE_FOLDER, IDC_BROWSE_TEMP_FOLDER, IDC_RADIO_ADVANCED_MODE,
                       IDC_CHECK_COMPRESSED, IDC_EDIT_BAK_FILE, IDC_LIST_INPUT_FILES}) {
            QTest::keyClick(dlg.Item(id), Qt::Key_Return);
            QTest::keyClick(dlg.Item(id), Qt::Key_Escape);
        }
        QVERIFY(desktop.Boxes().empty());
        QVERIFY(desktop.folderTitles.empty());
        QVERIFY(ButtonOf(dlg, IDC_RADIO_STANDARD_MODE)->isChecked());
        QVERIFY(dlg.isVisible());

        // "Close" has the focus at start: Enter presses it and asks (answered No).
        QTest::keyClick(dlg.focusWidget(), Qt::Key_Return);
        QCOMPARE(desktop.Boxes().size(), size_t(1));
        QCOMPARE(desktop.Boxes()[0].text, QString("Are you sure to close the application?"));
        QVERIFY(dlg.isVisible());

        // Enter on Help opens its menu; dismissing it reaches no handler.
        ChooseFromOpenMenu(-1);
        QTest::keyClick(dlg.Item(IDC_HELP_BUTTON), Qt::Key_Return);
        QCOMPARE(dlg.m_btnHelp.MenuResult(), 0);
        QVERIFY(desktop.urls.empty());
    }

    void helpMenuOpensTheGuideTheProductPageAndTheAboutBox() {
        ScriptedDesktop desktop;
        COrvendelDlg dlg;
        dlg.Create();
        dlg.show();
        auto* help = static_cast<QPushButton*>(dlg.Item(IDC_HELP_BUTTON));
        ChooseFromOpenMenu(0);
        help->click();
        ChooseFromOpenMenu(1);
        help->click();
        QCOMPARE(desktop.urls, (std::vector<QString>{kOnlineGuideAddress, kProductPageAddress}));

        QString aboutTitle;
        Repeatedly([&] {
            CTalveroAboutDlg* about = OpenAboutBox();
            if (!about) return false;
            aboutTitle = about->windowTitle();
            ButtonOf(*about, IDOK)->click();
            return true;
        });
        ChooseFromOpenMenu(2);
        help->click();
        QCOMPARE(dlg.m_btnHelp.MenuResult(), ID_MENU_HELP_ABOUT);
        QCOMPARE(aboutTitle, QString(kProductTitle));
        QCOMPARE(desktop.urls.size(), size_t(2));
    }

    void closeAndCancelEndOnlyWhenAnsweredYes() {
        ScriptedDesktop desktop;
        desktop.answers = {IDNO, IDYES};
        theApp.m_catalog.m_databaseFiles.resize(2);
        theApp.m_catalog.m_backupSets.resize(3);
        COrvendelDlg dlg;
        dlg.m_inputFiles.push_back({u"/data/a.bak", 0});
        int visibleAfterNo = -1;
        WhenShown(dlg, [&] {
            ButtonOf(dlg, IDOK)->click();
            visibleAfterNo = dlg.isVisible() && dlg.m_inputFiles.size() == 1;
            ButtonOf(dlg, IDOK)->click();
        });
        QCOMPARE(dlg.DoModal(), IDOK);
        QCOMPARE(visibleAfterNo, 1);
        const auto boxes = desktop.Boxes();
        QCOMPARE(boxes.size(), size_t(2));
        for (const AskedBox& box : boxes) {
            QCOMPARE(box.text, QString("Are you sure to close the application?"));
            QCOMPARE(box.caption, QString(kProductTitle));
            QCOMPARE(box.style, MB_YESNO | MB_ICONINFORMATION);
            QCOMPARE(box.owner, static_cast<QWidget*>(&dlg));
        }
        QCOMPARE(desktop.urls, std::vector<QString>{kProductPageAddress});
        QVERIFY(dlg.m_inputFiles.empty());
        QVERIFY(theApp.m_catalog.m_databaseFiles.empty());
        QCOMPARE(theApp.m_catalog.m_backupSets.size(), size_t(3));  // not Close's to empty
        theApp.m_catalog.m_backupSets.clear();
    }

    void windowManagersCloseIsCancelAndOpensNoPage() {
        ScriptedDesktop desktop;
        desktop.answers = {IDNO, IDYES};
        COrvendelDlg dlg;
        WhenShown(dlg, [&] {
            dlg.close();  // Alt+F4, answered No
            if (dlg.isVisible()) dlg.close();
        });
        QCOMPARE(dlg.DoModal(), IDCANCEL);
        QCOMPARE(desktop.Boxes().size(), size_t(2));
        QVERIFY(desktop.urls.empty());
    }

    // Stop reaches only work that runs when it is confirmed: a stale request
    // would make the next scan find nothing.
    void stopSetsTheFlagOnlyOnYesAndOnlyWhileWorkRuns() {
        ScriptedDesktop desktop;
        desktop.answers = {IDYES, IDNO, IDYES};
        COrvendelDlg dlg;
        dlg.Create();
        ButtonOf(dlg, IDC_STOP)->click();
        QCOMPARE(dlg.m_work.StopFlag().load(), 0);  // nothing runs
        QVERIFY(dlg.m_work.BeginAdding());
        ButtonOf(dlg, IDC_STOP)->click();
        QCOMPARE(dlg.m_work.StopFlag().load(), 0);  // answered No
        ButtonOf(dlg, IDC_STOP)->click();
        QCOMPARE(dlg.m_work.StopFlag().load(), 1);
        dlg.m_work.EndAdding();
        QCOMPARE(dlg.m_work.StopFlag().load(), 0);
        const auto boxes = desktop.Boxes();
        QCOMPARE(boxes.size(), size_t(3));
        QCOMPARE(boxes[1].text, QString("Are you sure to Stop the running Process ?"));
        QCOMPARE(boxes[1].style, MB_YESNO | MB_ICONINFORMATION);
        QVERIFY(dlg.Item(IDC_STOP)->isHidden());  // the worker hides it, not the handler
    }

    void folderPickersAppendOneSeparatorAndKeepTheOldFolderWhenCancelled() {
        ScriptedDesktop desktop;
        desktop.folders = {"/srv/restore", "", "/", "", "/var/tmp/work"};
        COrvendelDlg dlg;
        dlg.Create();
        const QString defaultTemp = dlg.m_strTempFolder;
        ButtonOf(dlg, IDC_BROWSE_SAVE_FOLDER)->click();
        QCOMPARE(dlg.m_strSaveFolder, QString("/srv/restore/"));
        QCOMPARE(EditText(dlg, IDC_EDIT_SAVE_FOLDER), QString("/srv/restore/"));
        ButtonOf(dlg, IDC_BROWSE_SAVE_FOLDER)->click();  // cancelled
        QCOMPARE(EditText(dlg, IDC_EDIT_SAVE_FOLDER), QString("/srv/restore/"));
        ButtonOf(dlg, IDC_BROWSE_SAVE_FOLDER)->click();  // the root keeps its one separator
        QCOMPARE(dlg.m_strSaveFolder, QString("/"));
        ButtonOf(dlg, IDC_BROWSE_TEMP_FOLDER)->click();  // cancelled: the default stays
        QCOMPARE(dlg.m_strTempFolder, defaultTemp);
        QCOMPARE(EditText(dlg, IDC_EDIT_TEMP_FOLDER), defaultTemp);
        ButtonOf(dlg, IDC_BROWSE_TEMP_FOLDER)->click();
        QCOMPARE(dlg.m_strTempFolder, QString("/var/tmp/work/"));
        QCOMPARE(EditText(dlg, IDC_EDIT_TEMP_FOLDER), QString("/var/tmp/work/"));
        QCOMPARE(EditText(dlg, IDC_EDIT_SAVE_FOLDER), QString("/"));
        QCOMPARE(desktop.folderTitles.size(), size_t(5));
        QCOMPARE(desktop.folderTitles[0], QString("Please choose a folder."));
    }

    void modeButtonsKeepTheirPairsExclusiveAndKeepTheInput() {
        COrvendelDlg dlg;
        dlg.Create();
        dlg.show();
        QTest::mouseClick(dlg.Item(IDC_RADIO_ADVANCED_MODE), Qt::LeftButton, {}, QPoint(4, 6));
        QVERIFY(!ButtonOf(dlg, IDC_RADIO_STANDARD_MODE)->isChecked());
        QVERIFY(ButtonOf(dlg, IDC_RADIO_ADVANCED_MODE)->isChecked());
        QTest::mouseClick(dlg.Item(IDC_RADIO_ADVANCED_MODE), Qt::LeftButton, {}, QPoint(4, 6));
        QVERIFY(ButtonOf(dlg, IDC_RADIO_ADVANCED_MODE)->isChecked());  // a second click keeps it
        ButtonOf(dlg, IDC_RADIO_STANDARD_MODE)->click();
        QVERIFY(ButtonOf(dlg, IDC_RADIO_STANDARD_MODE)->isChecked());
        QVERIFY(!ButtonOf(dlg, IDC_RADIO_ADVANCED_MODE)->isChecked());

        dlg.m_editBakFile.SetWindowText("/data/one.bak");
        ButtonOf(dlg, IDC_RADIO_SPLIT_FILES)->click();
        QVERIFY(!ButtonOf(dlg, IDC_RADIO_SINGLE_FILE)->isChecked());
        QVERIFY(!dlg.Item(IDC_EDIT_BAK_FILE)->isEnabled());
        QVERIFY(!dlg.Item(IDC_BROWSE_BAK_FILE)->isEnabled());
        for (int id : {IDC_LIST_INPUT_FILES, IDC_ADD_FILES, IDC_REMOVE_FILES, IDC_MOVE_UP, IDC_MOVE_DOWN})
            QVERIFY(dlg.Item(id)->isEnabled());
        dlg.m_listInputFiles.InsertItem(0, "/data/stripe1.bak");
        ButtonOf(dlg, IDC_RADIO_SINGLE_FILE)->click();
        QCOMPARE(EditText(dlg, IDC_EDIT_BAK_FILE), QString("/data/one.bak"));
        QCOMPARE(dlg.m_listInputFiles.GetItemCount(), 1);
        QVERIFY(!dlg.Item(IDC_LIST_INPUT_FILES)->isEnabled());

    }

    void closeWaitsForARunningWorkerBeforeEmptyingItsLists() {
        ScriptedDesktop desktop;
        desktop.answers = {IDYES};
        COrvendelDlg dlg;
        for (int i = 0; i < 3; ++i) dlg.m_inputFiles.push_back({u"/data/part.bak", 1});
        std::atomic<int> steps{0};
        size_t filesSeenAtEnd = 0;
        WhenShown(dlg, [&] {
            dlg.m_btnStop.ShowWindow(true);
            dlg.BeginThread([&] {
                // A stand-in for the scan: it reads the input list and drives the
                // progress controls until asked to stop.
                dlg.m_progress.ShowWindow(true);
                dlg.m_progress.SetRange32(0, 1 << 30);
                while (dlg.m_work.StopFlag().load() != 1) {
                    filesSeenAtEnd = dlg.m_inputFiles.size();
                    dlg.m_progress.SetPos(++steps);
                    dlg.m_staticStatus.SetWindowText("Processing File...");
                }
                dlg.m_progress.ShowWindow(false);
                dlg.m_btnStop.ShowWindow(false);
            });
        });
        Repeatedly([&] {
            if (steps.load() < 20) return false;
            ButtonOf(dlg, IDOK)->click();
            return true;
        });
        QCOMPARE(dlg.DoModal(), IDOK);
        QVERIFY(!dlg.WorkersRunning());
        QCOMPARE(filesSeenAtEnd, size_t(3));
        QVERIFY(dlg.m_inputFiles.empty());
        QCOMPARE(dlg.m_work.StopFlag().load(), 1);
    }

    void secondInstanceIsRefusedBeforeAnyWindow() {
        ScriptedDesktop desktop;
        SingleInstanceGuard second(kTestInstanceName);
        QCOMPARE(second.m_dwLastError, kErrorAlreadyExists);
        QCOMPARE(second.m_hMutex, -1);

        int mainDialogsShown = 0;
        auto closeMainDialogs = [&] {
            Repeatedly([&] {
                for (QWidget* window : QApplication::topLevelWidgets()) {
                    if (auto* dlg = dynamic_cast<COrvendelDlg*>(window); dlg && dlg->isVisible()) {
                        ++mainDialogsShown;
                        desktop.answers.push_back(IDYES);
                        ButtonOf(*dlg, IDOK)->click();
                        return true;
                    }
                }
                return false;
            });
        };

        const uint32_t own = g_instanceGuard.m_dwLastError;
        g_instanceGuard.m_dwLastError = second.m_dwLastError;  // as the second copy sees it
        closeMainDialogs();
        theApp.InitInstance();
        g_instanceGuard.m_dwLastError = own;
        QCOMPARE(mainDialogsShown, 0);
        auto boxes = desktop.Boxes();
        QCOMPARE(boxes.size(), size_t(1));
        QCOMPARE(boxes[0].owner, static_cast<QWidget*>(nullptr));
        QCOMPARE(boxes[0].text, QString("Another instance of application is already running"));
        QCOMPARE(boxes[0].caption, QString(kProductTitle));
        QCOMPARE(boxes[0].style, MB_ICONINFORMATION);

        // The first copy starts normally and ends when its dialog closes.
        QCOMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(nullptr));
        theApp.InitInstance();
        QCOMPARE(mainDialogsShown, 1);
        QCOMPARE(MainWindow(), static_cast<QWidget*>(nullptr));
        QCOMPARE(QCoreApplication::organizationName(), QString(kSettingsOrganisation));
    }

    void aboutBoxShowsTheTitleLinksAndCopyrightAndIgnoresEscape() {
        ScriptedDesktop desktop;
        CTalveroAboutDlg about;
        about.Create();
        about.show();
        QCOMPARE(about.focusWidget(), about.Item(IDOK));
        QCOMPARE(about.windowTitle(), QString(kProductTitle));
        QVERIFY(!(about.windowFlags() & Qt::FramelessWindowHint));
        // A title bar without a close box: every point of the box drags it, so that box would not respond.
        QVERIFY(about.windowFlags() & Qt::WindowTitleHint);
        QVERIFY(!(about.windowFlags() & Qt::WindowCloseButtonHint));
        auto* title = static_cast<QLabel*>(about.Item(IDC_ABOUT_TITLE));
        auto* copyright = static_cast<QLabel*>(about.Item(IDC_ABOUT_COPYRIGHT));
        QCOMPARE(title->text(), QString(kProductTitle));
        QCOMPARE(copyright->text(), QString::fromUtf8(kCopyrightLine));
        QCOMPARE(title->font().weight(), QFont::DemiBold);
        QCOMPARE(copyright->font().weight(), QFont::DemiBold);
        QCOMPARE(about.m_linkWebsite.Address(), QString(kMakerWebsite));
        QCOMPARE(about.m_linkSupport.Address(), QString("mailto:") + kSupportAddress);
        QCOMPARE(about.m_linkSales.Address(), QString("mailto:") + kSalesAddress);
        QCOMPARE(about.Item(IDC_ABOUT_LINK_SALES)->toolTip(), QString("Sales email address"));
        QTest::mouseClick(about.Item(IDC_ABOUT_LINK_SUPPORT), Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(desktop.urls, std::vector<QString>{QString("mailto:") + kSupportAddress});
    }

    void aboutBoxClosesWithEnterOnOkButNotWithEscape() {
        CTalveroAboutDlg about;
        bool visibleAfterEscape = false;
        WhenShown(about, [&] {
            QTest::keyClick(&about, Qt::Key_Escape);
            QTest::keyClick(about.Item(IDC_ABOUT_LINK_WEBSITE), Qt::Key_Escape);
            visibleAfterEscape = about.isVisible();
            QTest::keyClick(about.Item(IDOK), Qt::Key_Return);
        });
        QCOMPARE(about.DoModal(), IDOK);
        QVERIFY(visibleAfterEscape);

        CTalveroAboutDlg closed;
        WhenShown(closed, [&] { closed.close(); });
        QCOMPARE(closed.DoModal(), IDCANCEL);
    }

    // The mouse finds the control under it through the group boxes that frame
    // it; the banner and the group boxes' own surface drag the window.
    void clicksReachFramedControlsAndTheBannerDragsTheWindow() {
        COrvendelDlg dlg;
        dlg.Create();
        dlg.show();
        dlg.move(100, 100);
        for (int id : {IDC_BROWSE_BAK_FILE, IDC_EDIT_BAK_FILE, IDC_LIST_INPUT_FILES, IDC_RADIO_ADVANCED_MODE,
                       IDC_BROWSE_SAVE_FOLDER, IDC_CHECK_COMPRESSED}) {
            QWidget* found = dlg.childAt(dlg.Item(id)->geometry().center());
            QVERIFY2(found == dlg.Item(id) || dlg.Item(id)->isAncestorOf(found), qPrintable(QString::number(id)));
        }
        const QPoint onBanner = dlg.DialogUnitsToPixels(200, 20);
        QCOMPARE(dlg.childAt(onBanner), static_cast<QWidget*>(nullptr));
        const QPoint start = dlg.pos();
        QTest::mousePress(&dlg, Qt::LeftButton, {}, onBanner);
        QTest::mouseMove(&dlg, onBanner + QPoint(30, 15));
        QTest::mouseRelease(&dlg, Qt::LeftButton, {}, onBanner + QPoint(30, 15));
        QCOMPARE(dlg.pos(), start + QPoint(30, 15));
    }
};

QTEST_MAIN(MainDialogTest)
#include "main_dialog_test.moc"
