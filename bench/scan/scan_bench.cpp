// The scan of a large plain backup and of a large compressed backup, run
// through the real main dialog (offscreen, its progress bar and status line
// served by the GUI thread) against the bare walk of the same file. Each
// iteration times both; "ratio" is scan time over bare walk time.
//
//   QT_QPA_PLATFORM=offscreen build/bench/scan/scan_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <memory>
#include <unistd.h>

#include "fixtures/large_container.h"
#include "fixtures/mtf_writer.h"
#include "fixtures/temp_file.h"
#include "framework/desktop.h"
#include "main_dialog.h"
#include "orvendel_app.h"
#include "reader/backup_file.h"
#include "reader/compressed.h"
#include "reader/mtf_walk.h"
#include "reader/scan_context.h"
#include "resource.h"

SingleInstanceGuard g_instanceGuard{"orvendel-scan-bench-" + std::to_string(::getpid())};
COrvendelApp theApp;

namespace {

using Clock = std::chrono::steady_clock;

// Answers every message box at once, so that only the scan is timed.
class SilentDesktop : public fw::Desktop {
public:
    int MessageBox(QWidget*, const QString&, const QString&, unsigned style) override {
        return (style & 0x0F) == fw::MB_YESNO ? fw::IDNO : fw::IDOK;
    }
};

// A plain backup: one set, then a million soft filemarks (every step of the
// walk a block, the most progress a walk reports), then a second set.
const TempFile& PlainBackup() {
    static const std::unique_ptr<TempFile> file = [] {
        MtfWriter w;
        w.Tape();
        w.Pad();
        AppendBackupSet(w, BackupSetFields{});
        for (int i = 0; i < 1000000; ++i) w.Sfmb(512);
        AppendBackupSet(w, BackupSetFields{});
        auto temp = std::make_unique<TempFile>();
        w.WriteSparseFile(temp->Path());
        return temp;
    }();
    return *file;
}

// A compressed backup: eight sets, each followed by 128 MiB of data in 64 KiB chunks.
constexpr size_t kCompressedSets = 8;
const TempFile& CompressedBackup() {
    static const LargeContainer container = MakeLargeContainer(kCompressedSets, 2048);
    return *container.file;
}

double BareWalkSeconds(const TempFile& backup, bool compressed) {
    CatalogStore store;
    ScanContext ctx;
    ctx.store = &store;
    BackupFile file;
    file.Open(backup.Path16());
    const auto start = Clock::now();
    if (compressed) WalkCompressedChunks(file, file.GetLength(), 0, ctx);
    else WalkMtfBlocks(file, file.GetLength(), 0, ctx);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (store.m_backupSets.size() != (compressed ? kCompressedSets : 2))
        std::fprintf(stderr, "walk found %zu sets\n", store.m_backupSets.size());
    return seconds;
}

// The main dialog, up to the hand-over: the time at which the scan asks for the
// backup-set dialog ends the measure, and the request ends there.
class TimedDialog : public COrvendelDlg {
public:
    Clock::time_point handOver;
    size_t setsFound = 0;
    bool ChooseBackupSet() override {
        handOver = Clock::now();
        setsFound = theApp.m_catalog.m_backupSets.size();
        Caller().Post([this] { EndDialog(fw::IDOK); });
        return false;
    }
};

// From the click on "Select Extract File(s)" to the hand-over, the GUI thread
// serving the window in the dialog's own loop meanwhile.
double WindowScanSeconds(const TempFile& backup, bool compressed) {
    TimedDialog dlg;
    fw::SetMainWindow(&dlg);
    Clock::time_point start;
    QTimer::singleShot(0, &dlg, [&] {
        dlg.m_editBakFile.SetWindowText(QString::fromStdString(backup.Path()));
        dlg.m_chkCompressed.SetCheck(compressed ? fw::BST_CHECKED : fw::BST_UNCHECKED);
        dlg.m_editSaveFolder.SetWindowText("/tmp/");
        start = Clock::now();
        dlg.OnBnClickedSelectExtract();
    });
    dlg.DoModal();
    fw::SetMainWindow(nullptr);
    if (dlg.setsFound != (compressed ? kCompressedSets : 2)) std::fprintf(stderr, "scan found %zu sets\n", dlg.setsFound);
    return std::chrono::duration<double>(dlg.handOver - start).count();
}

void Scan(benchmark::State& state, bool compressed) {
    const TempFile& backup = compressed ? CompressedBackup() : PlainBackup();
    double bare = 0, window = 0;
    for (auto _ : state) {
        bare += BareWalkSeconds(backup, compressed);
        const double seconds = WindowScanSeconds(backup, compressed);
        window += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["bare_walk_s"] = benchmark::Counter(bare, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = window / bare;
}

BENCHMARK_CAPTURE(Scan, plain, false)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(Scan, compressed, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    SilentDesktop desktop;
    fw::SetDesktop(&desktop);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fw::SetDesktop(nullptr);
    return 0;
}
