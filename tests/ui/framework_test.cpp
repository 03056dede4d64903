// The framework layer on its own: templates and dialog units, key handling,
// the message map, the control kinds, and calls from worker threads.
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QScrollBar>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <QToolTip>
#include <atomic>
#include <thread>
#include <unistd.h>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/instance_lock.h"
#include "ui_test_support.h"

using namespace fw;

namespace {

constexpr int kPlain = 10, kImage = 11, kMenu = 12, kLink = 13, kRadio = 14, kList = 15,
              kProgress = 16, kLabel = 17;

const DialogTemplate kTestTemplate{
    200, 150, "", false,
    {
        {IDOK, Kind::ImageButton, "OK", 140, 130, 50, 14, kTabStop | kDefault},
        {kPlain, Kind::Button, "...", 10, 10, 20, 14, kTabStop},
        {kImage, Kind::ImageButton, "Image", 40, 10, 50, 14, kTabStop},
        {kMenu, Kind::MenuButton, "Menu", 100, 10, 50, 14, kTabStop},
        {kLink, Kind::Link, "Example link", 10, 30, 80, 10, kTabStop},
        {kRadio, Kind::Radio, "Choice", 100, 30, 60, 10, kGroup},
        {kList, Kind::List, "", 10, 45, 180, 60, kBorder | kTabStop},
        {kProgress, Kind::Progress, "", 10, 110, 180, 8, kBorder},
        {kLabel, Kind::Static, "Label", 10, 122, 100, 10},
        {IDCANCEL, Kind::Button, "Cancel", 100, 130, 30, 14, kTabStop | kHidden},
    }};

const MenuTemplate kTestMenu{"Test", {{501, "First"}, {502, "Second"}, {503, "Third"}}};

class TestDialog : public Dialog {
public:
    explicit TestDialog(bool ignoreEnterEscape) : Dialog(kTestTemplate) {
        SetIgnoreEnterEscape(ignoreEnterEscape);
        SetDragAnywhere(true);
    }
    bool OnInitDialog() override {
        Dialog::OnInitDialog();
        m_menu.Attach(*this, kMenu);
        m_menu.SetMenu(&kTestMenu);
        m_link.Attach(*this, kLink);
        m_link.SetURLPrefix("https://");
        m_link.SetURL("www.talveroworks.example/test/");
        m_list.Attach(*this, kList);
        m_progress.Attach(*this, kProgress);
        return true;
    }
    void OnImage() { handled.push_back(kImage); }
    void OnImageAgain() { handled.push_back(-kImage); }
    void OnMenu() { handled.push_back(kMenu); }
    void OnPlain() { handled.push_back(kPlain); }

    std::vector<int> handled;
    MenuButton m_menu;
    LinkCtrl m_link;
    ListCtrl m_list;
    ProgressCtrl m_progress;

protected:
    bool OnNotify(Notify code, int id) override;
};

const MessageMap<TestDialog> kTestMap{
    {Notify::Clicked, kImage, &TestDialog::OnImage},
    {Notify::Clicked, kImage, &TestDialog::OnImageAgain},  // never reached: first row wins
    {Notify::Clicked, kMenu, &TestDialog::OnMenu},
    {Notify::Clicked, kPlain, &TestDialog::OnPlain},
};

bool TestDialog::OnNotify(Notify code, int id) { return Dispatch(*this, kTestMap, code, id); }

}  // namespace

class FrameworkTest : public QObject {
    Q_OBJECT

private slots:
    void controlsArePlacedInDialogUnitsOfTheDialogFont() {
        TestDialog dialog(true);
        dialog.Create();
        // An 8-point sans serif at 96 dpi has base units near 6 x 13 pixels.
        QVERIFY2(dialog.BaseUnitX() >= 5 && dialog.BaseUnitX() <= 7, qPrintable(QString::number(dialog.BaseUnitX())));
        QVERIFY2(dialog.BaseUnitY() >= 12 && dialog.BaseUnitY() <= 15, qPrintable(QString::number(dialog.BaseUnitY())));
        const QPoint origin = dialog.DialogUnitsToPixels(40, 10);
        const QPoint extent = dialog.DialogUnitsToPixels(50, 14);
        // One pixel of border surrounds the client area of a dialog without title bar.
        QCOMPARE(dialog.Item(kImage)->geometry(), QRect(origin + QPoint(1, 1), QSize(extent.x(), extent.y())));
        const QPoint client = dialog.DialogUnitsToPixels(200, 150);
        QCOMPARE(dialog.size(), QSize(client.x() + 2, client.y() + 2));
        QCOMPARE(dialog.DialogUnitsToPixels(4, 8), QPoint(dialog.BaseUnitX(), dialog.BaseUnitY()));
        // The first tab stop takes the focus; hidden controls start hidden.
        QCOMPARE(dialog.focusWidget(), dialog.Item(IDOK));
        QVERIFY(dialog.Item(IDCANCEL)->isHidden());
        QVERIFY((dialog.windowFlags() & Qt::FramelessWindowHint) != 0);
    }

    void enterAndEscapeAreIgnoredButFocusedImageButtonsPressThemselves() {
        TestDialog dialog(true);
        dialog.Create();
        dialog.show();
        QTest::keyClick(dialog.Item(kPlain), Qt::Key_Return);
        QTest::keyClick(dialog.Item(kRadio), Qt::Key_Return);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(dialog.Item(kList), Qt::Key_Escape);
        QVERIFY(dialog.handled.empty());
        QVERIFY(dialog.isVisible());
        QTest::keyClick(dialog.Item(kImage), Qt::Key_Return);
        QCOMPARE(dialog.handled, std::vector<int>{kImage});  // only the map's first matching row
        QTest::keyClick(dialog.Item(kPlain), Qt::Key_Space);
        QCOMPARE(dialog.handled, (std::vector<int>{kImage, kPlain}));
    }

    void standardKeysEndTheDialogWithCancel() {
        TestDialog dialog(false);
        Repeatedly([&] {
            if (!dialog.isVisible()) return false;
            QTest::keyClick(dialog.Item(kList), Qt::Key_Escape);
            return true;
        });
        QCOMPARE(dialog.DoModal(), IDCANCEL);
    }

    void windowManagersCloseIsTheCancelCommand() {
        TestDialog dialog(true);
        Repeatedly([&] {
            if (!dialog.isVisible()) return false;
            dialog.close();
            return true;
        });
        QCOMPARE(dialog.DoModal(), IDCANCEL);
    }

    void linkOpensOnceOnClickAndOnEntersReleaseWithoutNotifying() {
        ScriptedDesktop desktop;
        TestDialog dialog(true);
        dialog.Create();
        dialog.show();
        QWidget* link = dialog.Item(kLink);
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(desktop.urls, std::vector<QString>{"https://www.talveroworks.example/test/"});
        QTest::keyPress(link, Qt::Key_Return);
        QCOMPARE(desktop.urls.size(), size_t(1));  // not yet: it opens on the release
        QTest::keyRelease(link, Qt::Key_Return);
        QCOMPARE(desktop.urls.size(), size_t(2));
        QTest::keyClick(link, Qt::Key_Space);
        QCOMPARE(desktop.urls.size(), size_t(2));
        QVERIFY(dialog.handled.empty());
        dialog.m_link.SizeToContent();
        QCOMPARE(link->pos(), dialog.DialogUnitsToPixels(10, 30) + QPoint(1, 1));
    }

    void menuButtonReportsTheChosenCommandOnlyWhenOneWasChosen() {
        TestDialog dialog(true);
        dialog.Create();
        dialog.show();
        auto* button = static_cast<QPushButton*>(dialog.Item(kMenu));
        ChooseFromOpenMenu(1);
        button->click();
        QCOMPARE(dialog.m_menu.MenuResult(), 502);
        QCOMPARE(dialog.handled, std::vector<int>{kMenu});
        ChooseFromOpenMenu(-1);
        QTest::keyClick(button, Qt::Key_Return);  // Enter opens the menu too
        QCOMPARE(dialog.m_menu.MenuResult(), 0);
        QCOMPARE(dialog.handled, std::vector<int>{kMenu});
    }

    void listKeepsRowsSelectionMarkAndChecks() {
        TestDialog dialog(true);
        dialog.Create();
        dialog.show();
        ListCtrl& list = dialog.m_list;
        QCOMPARE(list.InsertColumn(0, "Path"), 0);
        QCOMPARE(list.InsertColumn(1, "Size", 80), 1);
        list.SetColumnWidth(0, 120);
        QCOMPARE(list.GetColumnWidth(0), 120);
        QCOMPARE(list.GetColumnTitle(1), QString("Size"));
        for (int row = 0; row < 4; ++row) list.InsertItem(row, QString("row %1").arg(row));
        QCOMPARE(list.InsertItem(99, "last"), 4);
        list.SetItemText(2, 1, "2 MB");
        QCOMPARE(list.GetItemText(2, 1), QString("2 MB"));
        QCOMPARE(list.GetItemText(4, 0), QString("last"));

        auto* table = static_cast<QTableWidget*>(dialog.Item(kList));
        const QRect third = table->visualRect(table->model()->index(2, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, third.center());
        QCOMPARE(list.GetSelectionMark(), 2);
        QCOMPARE(list.GetFocusedRow(), 2);
        QCOMPARE(list.GetSelectedRows(), std::vector<int>{2});
        list.SetSelected(0, true);
        QCOMPARE(list.GetSelectedRows(), (std::vector<int>{0, 2}));
        QCOMPARE(list.GetSelectionMark(), 2);  // programmatic selection leaves the mark
        list.DeleteItem(0);
        QCOMPARE(list.GetSelectionMark(), 1);  // the marked row moved up
        list.DeleteItem(1);
        QCOMPARE(list.GetSelectionMark(), -1);
        QCOMPARE(list.GetItemCount(), 3);

        // Without full-row select a click beside the first column selects no row.
        list.SetExtendedStyle(ListCtrl::kGridLines);
        list.SetSelected(0, false);
        list.SetSelected(1, false);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(1, 1)).center());
        QVERIFY(list.GetSelectedRows().empty());

        list.SetExtendedStyle(ListCtrl::kGridLines | ListCtrl::kFullRowSelect | ListCtrl::kCheckBoxes);
        QVERIFY(table->showGrid());
        list.SetCheck(1, true);
        QVERIFY(list.GetCheck(1));
        QVERIFY(!list.GetCheck(0));
        list.DeleteAllItems();
        QCOMPARE(list.GetItemCount(), 0);
    }

    // Tab leaves a list without moving its selection; a column widened past the
    // list by its header's divider scrolls to its end; a cell's tip shows when
    // its text does not fit beside the row's check box.
    void listIsOneTabStopScrollsWideColumnsAndTipsCutText() {
        TestDialog dialog(true);
        dialog.Create();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        ListCtrl& list = dialog.m_list;
        list.InsertColumn(0, "Path", 150);
        for (int row = 0; row < 3; ++row) list.InsertItem(row, QString("/srv/backups/stripe-%1.bak").arg(row));
        auto* table = static_cast<QTableWidget*>(dialog.Item(kList));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(1, 0)).center());
        QTest::keyClick(table, Qt::Key_Tab);
        QVERIFY(dialog.focusWidget() != table);
        QCOMPARE(list.GetSelectedRows(), std::vector<int>{1});
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Down);
        QCOMPARE(list.GetSelectedRows(), std::vector<int>{2});

        QHeaderView* header = table->horizontalHeader();
        const QPoint divider(header->sectionViewportPosition(0) + 149, header->height() / 2);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, divider);
        QTest::mouseMove(header->viewport(), divider + QPoint(300, 0));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, divider + QPoint(300, 0));
        QCOMPARE(list.GetColumnWidth(0), 450);
        QTRY_COMPARE(table->horizontalScrollBar()->maximum(), 450 - table->viewport()->width());

        list.SetExtendedStyle(ListCtrl::kCheckBoxes | ListCtrl::kInfoTip);
        const QString text = list.GetItemText(0, 0);
        const int margin = table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
        const int bare = table->fontMetrics().horizontalAdvance(text) + 2 * margin + 2;  // fits without the box
        auto hover = [&] {
            const QPoint at = table->visualRect(table->model()->index(0, 0)).center();
            QHelpEvent event(QEvent::ToolTip, at, table->viewport()->mapToGlobal(at));
            QApplication::sendEvent(table->viewport(), &event);
        };
        list.SetColumnWidth(0, bare + 60);
        hover();
        QVERIFY(!QToolTip::isVisible());
        list.SetColumnWidth(0, bare);
        hover();
        QCOMPARE(QToolTip::text(), text);
    }

    void progressTakesSigned32BitRangeAndPosition() {
        TestDialog dialog(true);
        dialog.Create();
        dialog.m_progress.SetRange32(-100, 2147483647);
        dialog.m_progress.SetPos(2000000000);
        int32_t lower = 0, upper = 0;
        dialog.m_progress.GetRange(lower, upper);
        QCOMPARE(lower, -100);
        QCOMPARE(upper, 2147483647);
        QCOMPARE(dialog.m_progress.GetPos(), 2000000000);
        dialog.m_progress.SetPos(-50);
        QCOMPARE(dialog.m_progress.GetPos(), -50);
    }

    void workerCallsRunOnTheGuiThreadAndReturnTheirAnswers() {
        ScriptedDesktop desktop;
        desktop.answers = {IDYES};
        TestDialog dialog(true);
        dialog.Create();
        std::atomic<bool> done{false};
        bool ranOnGui = false;
        int answer = 0;
        int positionSeen = 0;
        std::thread worker([&] {
            ranOnGui = dialog.Send([] { return QThread::currentThread() == qApp->thread(); }, false);
            dialog.m_progress.SetRange32(0, 1000);
            dialog.m_progress.SetPos(640);
            positionSeen = dialog.m_progress.GetPos();
            answer = dialog.MessageBox("Go on?", "Caption", MB_YESNO | MB_ICONQUESTION);
            done = true;
        });
        QTRY_VERIFY(done.load());
        worker.join();
        QVERIFY(ranOnGui);
        QCOMPARE(positionSeen, 640);
        QCOMPARE(static_cast<QProgressBar*>(dialog.Item(kProgress))->value(), 640);
        QCOMPARE(answer, IDYES);
        const auto boxes = desktop.Boxes();
        QCOMPARE(boxes.size(), size_t(1));
        QVERIFY(boxes[0].onGuiThread);
        QCOMPARE(boxes[0].owner, static_cast<QWidget*>(&dialog));
        QCOMPARE(boxes[0].style, MB_YESNO | MB_ICONQUESTION);
    }

    // Posted positions never make the worker wait; the bar takes the latest,
    // and a call made after a post comes after it.
    void postedPositionsArriveInOrderWithLaterCalls() {
        TestDialog dialog(true);
        dialog.Create();
        dialog.m_progress.SetRange32(0, 1 << 30);
        std::atomic<bool> done{false};
        int32_t seenAfterPosts = -1;
        std::thread worker([&] {
            for (int32_t position = 1; position <= 100000; ++position) dialog.m_progress.PostPos(position);
            seenAfterPosts = dialog.m_progress.GetPos();
            dialog.m_progress.PostPos(5);
            dialog.m_progress.SetPos(7);
            done = true;
        });
        QTRY_VERIFY(done.load());
        worker.join();
        QCoreApplication::processEvents();
        QCOMPARE(seenAfterPosts, 100000);
        QCOMPARE(dialog.m_progress.GetPos(), 7);
    }

    // Workers run only inside DoModal, which joins them; a finished worker is
    // released at once rather than kept until the dialog ends.
    void workersStartOnlyWhileModalAndAreReleasedWhenTheyFinish() {
        TestDialog dialog(true);
        dialog.Create();
        QVERIFY(!dialog.BeginThread([] {}));
        QCOMPARE(dialog.WorkerCount(), size_t(0));
        size_t countWhileRunning = 0;
        int started = 0;
        bool releasedWhileModal = false;
        std::atomic<bool> release{false};
        InsideModal(dialog, [&] {
            for (int i = 0; i < 3; ++i)
                started += dialog.BeginThread([&] { while (!release.load()) QThread::msleep(1); });
            countWhileRunning = dialog.WorkerCount();
            release = true;
            releasedWhileModal = WaitFor([&] { return dialog.WorkerCount() == 0; }, 10000);
        });
        QCOMPARE(started, 3);
        QVERIFY(releasedWhileModal);
        QCOMPARE(countWhileRunning, size_t(3));
    }

    void endingTheDialogEndsModalsShownForWorkersAndJoinsThem() {
        TestDialog outer(true);
        QPointer<TestDialog> nested;
        std::atomic<int> nestedResult{0};
        std::atomic<bool> laterRan{false};
        int laterAnswer = 0;
        Repeatedly([&] {
            if (!outer.isVisible()) return false;
            outer.BeginThread([&] {
                nestedResult = outer.Send(
                    [&] {
                        TestDialog dialog(true);
                        nested = &dialog;
                        return dialog.DoModal();
                    },
                    -1);
                laterAnswer = outer.Send([&] { laterRan = true; return 5; }, -9);
            });
            return true;
        });
        Repeatedly([&] {
            if (!nested || !nested->isVisible()) return false;
            outer.EndDialog(IDOK);  // as a confirmed Close does
            return true;
        });
        QCOMPARE(outer.DoModal(), IDOK);
        QVERIFY(!outer.WorkersRunning());
        QCOMPARE(nestedResult.load(), IDCANCEL);
        QVERIFY(!laterRan.load());
        QCOMPARE(laterAnswer, -9);
    }

    void callsQueuedBeforeClosingAreAnsweredWithoutRunning() {
        GuiCaller caller;
        std::atomic<int> started{0};
        std::atomic<int> ran{0};
        std::vector<int> answers(4, 0);
        std::vector<std::thread> workers;
        for (int i = 0; i < 4; ++i) {
            workers.emplace_back([&, i] {
                ++started;
                answers[i] = caller.Call([&] { ++ran; return 1; }, 2);
            });
        }
        // The GUI thread does not serve events meanwhile, so every call waits in the queue.
        while (started.load() < 4) std::this_thread::yield();
        QThread::msleep(50);
        caller.Close();
        for (auto& worker : workers) worker.join();
        QCoreApplication::processEvents();
        QCOMPARE(ran.load(), 0);
        QCOMPARE(answers, (std::vector<int>{2, 2, 2, 2}));
    }

    void instanceNameIsHeldByOneHolderAtATime() {
        const std::string name = "orvendel-framework-test-" + std::to_string(::getpid());
        uint32_t firstError = 1, secondError = 0, thirdError = 1;
        const int first = HoldInstanceName(name, firstError);
        QVERIFY(first >= 0);
        QCOMPARE(firstError, 0u);
        QCOMPARE(HoldInstanceName(name, secondError), -1);
        QCOMPARE(secondError, kErrorAlreadyExists);
        ReleaseInstanceName(first);
        const int third = HoldInstanceName(name, thirdError);
        QVERIFY(third >= 0);
        QCOMPARE(thirdError, 0u);
        ReleaseInstanceName(third);
    }
};

QTEST_MAIN(FrameworkTest)
#include "framework_test.moc"
