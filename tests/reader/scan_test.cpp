// The scan of a request over generated backups, with a scripted window: the
// order of what it shows, Standard Mode's questions and corrupt-file notice,
// Advanced Mode's unknown-data notice, Stop, and the hand-over.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "fixtures/container_writer.h"
#include "fixtures/limited_child.h"
#include "fixtures/mtf_writer.h"
#include "fixtures/temp_file.h"
#include "fixtures/xpress_encoder.h"
#include "reader/backup_file.h"
#include "reader/scan.h"
#include "reader/scan_context.h"

namespace {

std::string U8(const std::u16string& text) { return ToUtf8(text); }

class ScriptedWindow : public ScanWindow {
public:
    std::vector<std::string> log;       // every call but progress positions, in order
    std::vector<int32_t> positions;     // posted positions
    std::deque<bool> answers;           // for AskYesNo (No when empty)
    int choose = -1;                    // the set chosen at the dialog; -1 cancels
    std::function<void(int32_t)> onPosition;
    std::function<void()> onChoose;     // runs while the backup-set dialog is open
    CatalogStore* store = nullptr;
    std::atomic<int32_t>* stopFlag = nullptr;

    void ShowProgress(bool show) override { log.push_back(show ? "show progress" : "hide progress"); }
    void ShowStop(bool show) override { log.push_back(show ? "show stop" : "hide stop"); }
    void ShowStatus(bool show) override { log.push_back(show ? "show status" : "hide status"); }
    void SetStatusText(const std::u16string& text) override { log.push_back("status '" + U8(text) + "'"); }
    void SetProgressRange(int32_t upper) override { log.push_back("range " + std::to_string(upper)); }
    void SetProgressPos(int32_t position) override { log.push_back("pos " + std::to_string(position)); }
    void PostProgressPos(int32_t position) override {
        positions.push_back(position);
        if (onPosition) onPosition(position);
    }
    bool AskYesNo(const std::u16string& text) override {
        log.push_back("ask " + U8(text));
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void Tell(const std::u16string& text) override { log.push_back("tell " + U8(text)); }
    void ResetStopFlag() override {
        log.push_back("reset stop");
        if (stopFlag) *stopFlag = 0;
    }
    bool ChooseBackupSet() override {
        log.push_back("sets " + std::to_string(store->m_backupSets.size()));
        if (choose < 0) return false;
        if (onChoose) onChoose();
        store->m_nSelectedSet = static_cast<uint32_t>(choose);
        return true;
    }
    void ShowBackupInformation() override {
        log.push_back("information " + U8(store->m_backupInfo.strDatabaseName) + " files " +
                      std::to_string(store->m_databaseFiles.size()));
    }

    // The calls that start with `prefix`.
    std::vector<std::string> Calls(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& call : log)
            if (call.rfind(prefix, 0) == 0) found.push_back(call);
        return found;
    }
};

BackupSetFields SetOf(const std::u16string& database) {
    BackupSetFields set;
    set.scin.databaseName = database;
    return set;
}

// A plain backup without a catalog whose data block holds a non-empty "MQDA"
// stream after another stream.
std::vector<uint8_t> DataOnly() {
    MtfWriter w;
    w.Tape();
    w.Pad();
    w.Msda();
    w.Stream("MQOB", std::vector<uint8_t>(8, 1));
    w.Stream("MQDA", std::vector<uint8_t>(100, 7));
    w.Pad();
    return w.Bytes();
}

std::vector<uint8_t> Compressed(const std::vector<uint8_t>& media) {
    ContainerWriter writer(ChunkLayout::Checksummed, XpressEncode);
    writer.AddMedia(media);
    return writer.Finish();
}

struct Scan {
    std::vector<std::unique_ptr<TempFile>> files;
    std::vector<InputFileEntry> inputs;
    CatalogStore store;
    std::atomic<int32_t> stopFlag{0};
    ScriptedWindow window;

    Scan() {
        window.store = &store;
        window.stopFlag = &stopFlag;
    }
    void Add(const std::vector<uint8_t>& bytes, uint8_t compressed) {
        files.push_back(std::make_unique<TempFile>(bytes));
        inputs.push_back({files.back()->Path16(), compressed});
    }
    void AddMissing() { inputs.push_back({u"/nonexistent/stripe.bak", 0}); }
    void AddPath(const std::string& path) { inputs.push_back({FromUtf8(path), 0}); }
    std::string Path(size_t k) const { return U8(inputs[k].strPath); }
    void Run(ScanMode mode) {
        ScanRequest request{inputs, store, stopFlag, window};
        if (mode == ScanMode::Standard) ScanThreadStandard(request);
        else ScanThreadAdvanced(request);
    }
    std::vector<std::string> Databases() const {
        std::vector<std::string> names;
        for (const BackupSetRecord& set : store.m_backupSets) names.push_back(U8(set.strDatabaseName));
        return names;
    }
};

}  // namespace

// What each mode shows and hides, in order, for a file with two sets; the
// chosen set's catalog is read again before its information is shown.
TEST(Scan, ShowsAndHidesTheControlsInEachModesOrderAndReadsTheChosenSetAgain) {
    const std::vector<uint8_t> backup = MakeBackup({SetOf(u"First"), SetOf(u"Second")});
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        Scan scan;
        scan.Add(backup, 0);
        scan.window.choose = 1;
        scan.Run(mode);
        const std::string size = std::to_string(backup.size());
        const std::vector<std::string> begin{"show progress", mode == ScanMode::Standard ? "hide stop" : "show stop",
                                             "show status", "pos 0", "range " + size, "status 'Processing File...'"};
        const std::vector<std::string> end =
            mode == ScanMode::Standard
                ? std::vector<std::string>{"reset stop", "status ''", "hide progress", "hide stop", "hide status"}
                : std::vector<std::string>{"reset stop", "hide status", "hide progress", "hide stop"};
        std::vector<std::string> expected = begin;
        expected.insert(expected.end(), end.begin(), end.end());
        expected.push_back("sets 2");
        expected.push_back("information Second files 2");
        EXPECT_EQ(scan.window.log, expected);
        EXPECT_EQ(scan.Databases(), (std::vector<std::string>{"First", "Second"}));
        ASSERT_FALSE(scan.window.positions.empty());
        EXPECT_EQ(scan.window.positions.front(), 0);
    }
}

// Standard Mode: a container with the box clear and plain media with it set.
// Yes rewrites every entry's flag (no question for the next file); No walks
// the file as flagged and asks again at the next one.
TEST(Scan, StandardModeOffersToCorrectTheCompressedSetting) {
    const std::vector<uint8_t> plain = MakeBackup({SetOf(u"Plain")});
    const std::vector<uint8_t> container = Compressed(MakeBackup({SetOf(u"Packed")}));
    const std::vector<uint8_t> nothing = DataOnly();

    Scan yes;
    yes.Add(Compressed(nothing), 0);
    yes.Add(container, 0);
    yes.window.answers = {true};
    yes.Run(ScanMode::Standard);
    EXPECT_EQ(yes.window.Calls("ask").size(), 1u);
    EXPECT_EQ(yes.window.Calls("ask")[0], "ask Selected File " + yes.Path(0) +
                                              " is compressed.Do u want to treat all file(s) as compressed File.");
    EXPECT_EQ(yes.Databases(), std::vector<std::string>{"Packed"});
    EXPECT_EQ(yes.inputs[1].bCompressed, 1);

    Scan no;
    no.Add(Compressed(nothing), 0);
    no.Add(container, 0);
    no.Run(ScanMode::Standard);
    EXPECT_EQ(no.window.Calls("ask").size(), 2u);
    EXPECT_TRUE(no.store.m_backupSets.empty());  // both walked as plain media

    Scan plainYes;
    plainYes.Add(plain, 1);
    plainYes.window.answers = {true};
    plainYes.window.choose = 0;
    plainYes.Run(ScanMode::Standard);
    EXPECT_EQ(plainYes.window.Calls("ask"),
              std::vector<std::string>{"ask Selected File " + plainYes.Path(0) +
                                       " is not compressed.Do u want to treat it all file(s) as uncompressed File."});
    EXPECT_EQ(plainYes.Databases(), std::vector<std::string>{"Plain"});
    EXPECT_EQ(plainYes.window.log.back(), "information Plain files 2");

    Scan plainNo;
    plainNo.Add(plain, 1);
    plainNo.Run(ScanMode::Standard);
    EXPECT_TRUE(plainNo.store.m_backupSets.empty());  // walked as chunks
}

// A file of neither kind ends a Standard scan with a notice; files after it are
// never walked, and the choice still follows. Advanced Mode walks it by its flag.
// A file that does not open is named with its reason and passed over.
TEST(Scan, StandardModeStopsAtAFileOfNeitherKind) {
    Scan scan;
    scan.Add(DataOnly(), 0);
    scan.AddMissing();
    scan.Add(std::vector<uint8_t>(4000, 'x'), 0);
    scan.Add(MakeBackup({SetOf(u"Never")}), 0);
    scan.Run(ScanMode::Standard);
    EXPECT_EQ(scan.window.Calls("tell"),
              (std::vector<std::string>{
                  "tell Selected File /nonexistent/stripe.bak cannot be read: No such file or directory.",
                  "tell Selected File " + scan.Path(2) + " is corrupt.Please try Advance mode."}));
    EXPECT_TRUE(scan.store.m_backupSets.empty());
    EXPECT_EQ(scan.window.Calls("sets"), std::vector<std::string>{"sets 0"});

    Scan advanced;
    advanced.Add(std::vector<uint8_t>(4000, 'x'), 0);
    advanced.Add(std::vector<uint8_t>(), 0);
    advanced.Add(MakeBackup({SetOf(u"Found")}), 0);
    advanced.Run(ScanMode::Advanced);
    EXPECT_TRUE(advanced.window.Calls("tell").empty());
    EXPECT_EQ(advanced.Databases(), std::vector<std::string>{"Found"});
}

// As an ordinary user: a backup without read permission, a missing one, a folder
// and one another program holds are each named with the system's reason and
// passed over; a read-only backup and one of another account are read, and so
// is the chosen set's catalog.
TEST(Scan, NamesEachFileThatDoesNotOpenAndReadsReadOnlyFilesAsAnOrdinaryUser) {
    char folder[] = "/tmp/orvendel-folder-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    Scan scan;
    scan.Add(MakeBackup({SetOf(u"Hidden")}), 0);
    scan.AddMissing();
    scan.AddPath(folder);
    scan.Add(DataOnly(), 0);  // held
    scan.Add(DataOnly(), 0);  // read-only
    scan.Add(MakeBackup({SetOf(u"OtherOwner")}), 0);
    scan.window.choose = 0;
    for (auto [k, mode] : {std::pair{0, 0000}, {2, 0755}, {3, 0644}, {4, 0444}, {5, 0644}})
        ASSERT_EQ(::chmod(scan.Path(k).c_str(), mode), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(scan.Path(5).c_str(), 1, 1), 0);  // another account's
    }
    BackupFile holder;
    ASSERT_TRUE(holder.Open(scan.inputs[3].strPath));
    const std::optional<std::string> seen = RunUnprivileged([&] {
        scan.Run(ScanMode::Standard);
        std::string text;
        for (const std::string& call : scan.window.Calls("tell")) text += call + "\n";
        return text + scan.window.log.back();
    });
    ::rmdir(folder);
    ASSERT_TRUE(seen.has_value()) << "the child could not run as an ordinary user";
    EXPECT_EQ(*seen, "tell Selected File " + scan.Path(0) + " cannot be read: Permission denied.\n"
                     "tell Selected File /nonexistent/stripe.bak cannot be read: No such file or directory.\n"
                     "tell Selected File " + scan.Path(2) + " cannot be read: Is a directory.\n"
                     "tell Selected File " + scan.Path(3) + " cannot be read: Another program is using it.\n"
                     "information OtherOwner files 2");
}

// Advanced Mode says once at the end that it met unknown data and no catalog.
TEST(Scan, AdvancedModeReportsUnknownDataOnceAndOnlyWithoutACatalog) {
    Scan scan;
    for (int i = 0; i < 3; ++i) scan.Add(DataOnly(), 0);
    scan.Run(ScanMode::Advanced);
    EXPECT_EQ(scan.window.Calls("tell"), std::vector<std::string>{"tell Unknown Data Stream Found."});

    Scan standard;
    for (int i = 0; i < 2; ++i) standard.Add(DataOnly(), 0);
    standard.Run(ScanMode::Standard);
    EXPECT_TRUE(standard.window.Calls("tell").empty());

    Scan found;
    found.Add(DataOnly(), 0);
    found.Add(MakeBackup({SetOf(u"Catalog")}), 0);
    found.Run(ScanMode::Advanced);
    EXPECT_TRUE(found.window.Calls("tell").empty());
}

// Stop during the first of three files: the walk ends at its next step, the
// sets found so far are offered, the next file is never opened, the flag is 0.
TEST(Scan, StopEndsTheWalkAndTheFileLoopButNotTheHandOver) {
    std::vector<BackupSetFields> sets;
    for (int i = 0; i < 6; ++i) sets.push_back(SetOf(u"Set" + std::u16string(1, char16_t(u'0' + i))));
    std::vector<uint64_t> catalogs;
    const std::vector<uint8_t> first = MakeBackup(sets, &catalogs);
    Scan scan;
    scan.Add(DataOnly(), 0);
    scan.Add(first, 0);
    scan.Add(MakeBackup({SetOf(u"Third")}), 0);
    uint64_t stoppedAt = 0;
    scan.window.onPosition = [&](int32_t position) {
        if (stoppedAt == 0 && static_cast<uint64_t>(position) > catalogs[1] && scan.window.Calls("range").size() == 2) {
            stoppedAt = static_cast<uint64_t>(position);
            scan.stopFlag = 1;
        }
    };
    scan.Run(ScanMode::Advanced);
    // The block at the position reported when Stop came is still read; none after it.
    std::vector<std::string> expected;
    for (size_t i = 0; i < catalogs.size() && catalogs[i] <= stoppedAt; ++i) expected.push_back("Set" + std::to_string(i));
    ASSERT_GE(expected.size(), 2u);
    ASSERT_LT(expected.size(), 6u) << "the walk was not stopped inside the file";
    EXPECT_EQ(scan.Databases(), expected);
    EXPECT_EQ(scan.window.Calls("range").size(), 2u);  // the third file was never opened
    EXPECT_EQ(scan.stopFlag.load(), 0);
    EXPECT_EQ(scan.window.Calls("sets"), std::vector<std::string>{"sets " + std::to_string(expected.size())});
}

// A split backup: the files after the first with a catalog are not opened; the
// chosen set is read from its own stripe (the first entry's flag tells how),
// and OK on an index out of range shows the information without a re-read. A
// set whose file changed while the sets were listed is not shown: a notice says
// why, whether the file no longer opens or holds another set where it was.
TEST(Scan, ReadsTheChosenSetFromItsStripeAndShowsInformationAlsoOutOfRange) {
    Scan split;
    split.Add(Compressed(DataOnly()), 1);
    split.Add(Compressed(MakeBackup({SetOf(u"Striped")})), 1);
    split.Add(Compressed(MakeBackup({SetOf(u"Later")})), 1);
    split.window.choose = 0;
    split.Run(ScanMode::Standard);
    EXPECT_EQ(split.Databases(), std::vector<std::string>{"Striped"});
    EXPECT_EQ(split.store.m_backupSets[0].nStripe, 1u);
    EXPECT_EQ(split.window.log.back(), "information Striped files 2");

    Scan none;
    none.Add(DataOnly(), 0);
    none.window.choose = 4;
    none.Run(ScanMode::Standard);
    EXPECT_EQ(none.window.log.back(), "information  files 0");

    Scan held;
    held.Add(Compressed(MakeBackup({SetOf(u"First"), SetOf(u"Second")})), 1);
    held.window.choose = 0;
    BackupFile holder;
    held.window.onChoose = [&] { ASSERT_TRUE(holder.Open(held.inputs[0].strPath)); };
    held.Run(ScanMode::Standard);
    EXPECT_EQ(held.window.log.back(),
              "tell Selected File " + held.Path(0) + " cannot be read: Another program is using it.");

    Scan replaced;
    replaced.Add(MakeBackup({SetOf(u"First"), SetOf(u"Second")}), 0);
    replaced.window.choose = 0;
    replaced.window.onChoose = [&] { replaced.files[0]->Write(MakeBackup({SetOf(u"Other"), SetOf(u"Second")})); };
    replaced.Run(ScanMode::Advanced);
    EXPECT_EQ(replaced.window.log.back(),
              "tell Selected File " + replaced.Path(0) +
                  " no longer holds the chosen backup set: it has changed since it was scanned.");
    EXPECT_TRUE(replaced.store.m_databaseFiles.empty());
}

// A file beyond 4 GiB: the bar's range and positions are scaled alike, so the
// range is positive and every position lies inside it.
TEST(Scan, ProgressFitsTheBarForFilesBeyondFourGibibytes) {
    MtfWriter w;
    w.Tape();
    w.Pad();
    w.Msda();
    w.Stream("MQDA", (5ull << 30) + 1000);
    w.Pad();
    for (int i = 0; i < 10; ++i) {
        w.Msda();
        w.Stream("MQDA", std::vector<uint8_t>(10, 1));
        w.Pad();
    }
    TempFile sparse;
    w.WriteSparseFile(sparse.Path());
    Scan scan;
    scan.inputs.push_back({sparse.Path16(), 0});
    scan.Run(ScanMode::Standard);
    const std::vector<std::string> ranges = scan.window.Calls("range");
    ASSERT_EQ(ranges.size(), 1u);
    const int32_t range = std::stoi(ranges[0].substr(6));
    EXPECT_EQ(static_cast<uint64_t>(range), w.Size() >> 2);
    ASSERT_GT(scan.window.positions.size(), 1u);
    for (int32_t position : scan.window.positions) {
        EXPECT_GE(position, 0);
        EXPECT_LE(position, range);
    }
    EXPECT_GT(scan.window.positions.back(), range / 2);  // the last blocks lie beyond the big stream
}
