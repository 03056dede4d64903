#include "reader/scan.h"

#include "reader/backup_file.h"
#include "reader/catalog.h"
#include "reader/compressed.h"
#include "reader/mtf_walk.h"
#include "reader/scan_context.h"
#include "reader/tags.h"

namespace {

// What Standard Mode's look at the first bytes of a file decided.
enum class Header { Walk, Corrupt };

// Entry `k` carries flag `wrong` for a file of the other kind: asks `question`,
// and Yes gives the entry, and with it every entry, the other flag.
void OfferToCorrect(std::vector<InputFileEntry>& inputs, size_t k, uint8_t wrong, const std::u16string& question,
                    ScanWindow& window) {
    if (inputs[k].bCompressed != wrong || !window.AskYesNo(question)) return;
    const uint8_t right = wrong == 0 ? 1 : 0;
    inputs[k].bCompressed = right;
    for (InputFileEntry& entry : inputs) entry.bCompressed = right;
}

// Reads the first 8 bytes of entry `k`'s file: a compressed container begins
// "MSSQLBAK", plain media "TAPE". Offers to correct the entry's flag, or finds
// the file to be neither.
Header CheckHeader(BackupFile& file, std::vector<InputFileEntry>& inputs, size_t k, ScanWindow& window) {
    uint8_t head[9] = {};
    file.ReadAt(0, head, 8);
    const std::u16string path = inputs[k].strPath;
    if (TagIs(head, 8, "MSSQLBAK")) {
        OfferToCorrect(inputs, k, 0,
                       u"Selected File " + path + u" is compressed.Do u want to treat all file(s) as compressed File.",
                       window);
        return Header::Walk;
    }
    if (!TagIs(head, 4, "TAPE")) {
        window.Tell(u"Selected File " + path + u" is corrupt.Please try Advance mode.");
        return Header::Corrupt;
    }
    OfferToCorrect(inputs, k, 1,
                   u"Selected File " + path +
                       u" is not compressed.Do u want to treat it all file(s) as uncompressed File.",
                   window);
    return Header::Walk;
}

// Said of a file that does not open, with the reason.
std::u16string CannotReadNotice(const std::u16string& path, const OpenFailure& failure) {
    return u"Selected File " + path + u" cannot be read: " + OpenFailureText(failure) + u".";
}

// The file loop: each entry in turn until the first file in which a catalog
// was met, a stop, or (Standard Mode) a file of neither kind.
void WalkInputs(ScanRequest& request, ScanContext& ctx) {
    ScanWindow& window = request.window;
    std::vector<InputFileEntry>& inputs = request.inputFiles;
    for (size_t k = 0; k < inputs.size() && !ctx.StopRequested(); ++k) {
        BackupFile file;
        if (!file.Open(inputs[k].strPath)) {
            // Said, then passed over: the scan goes on with the next file.
            window.Tell(CannotReadNotice(inputs[k].strPath, file.LastOpenFailure()));
        } else {
            const uint64_t length = file.GetLength();
            // The bar's range and positions are scaled alike, so that it shows
            // true progress for files of any length.
            ctx.progressShift = ProgressShift(length);
            window.SetProgressPos(0);
            window.SetProgressRange(static_cast<int32_t>(length >> ctx.progressShift));
            window.SetStatusText(u"Processing File...");
            if (ctx.mode == ScanMode::Standard && CheckHeader(file, inputs, k, window) == Header::Corrupt) return;
            // A read error or a failed allocation ends that file's walk only; the
            // sets found before stay.
            const uint32_t stripe = static_cast<uint32_t>(k);
            if (inputs[k].bCompressed != 0) WalkCompressedChunks(file, length, stripe, ctx);
            else if (length != 0) WalkMtfBlocks(file, length, stripe, ctx);
        }
        if (ctx.found) return;
    }
}

}  // namespace

std::u16string ReadChosenSet(const std::vector<InputFileEntry>& inputFiles, CatalogStore& store,
                             const std::atomic<int32_t>* stopFlag) {
    if (store.m_nSelectedSet >= store.m_backupSets.size() || inputFiles.empty()) return {};
    const BackupSetRecord chosen = store.m_backupSets[store.m_nSelectedSet];
    if (chosen.nStripe >= inputFiles.size()) return {};
    const std::u16string& path = inputFiles[chosen.nStripe].strPath;
    ScanContext closing;  // a confirmed Close sets the stop flag
    closing.stopFlag = stopFlag;
    // The scan's last catalog is no one's answer here: only what the read finds counts.
    store.m_backupInfo = BackupInfo{};
    const OpenFailure failure =
        inputFiles.front().bCompressed != 0
            ? ReadCompressedCatalog(inputFiles, chosen.nPosition, chosen.nStripe, store)
            : ReadCatalogFromFile(inputFiles, chosen.nPosition, chosen.nStripe, store, &closing);
    if (failure.kind != OpenFailure::Kind::None) return CannotReadNotice(path, failure);
    const BackupInfo& info = store.m_backupInfo;
    if (info.strDatabaseName != chosen.strDatabaseName || info.strBackupStartDate != chosen.strBackupStartDate) {
        store.m_backupInfo = BackupInfo{};
        store.m_databaseFiles.clear();
        return u"Selected File " + path +
               u" no longer holds the chosen backup set: it has changed since it was scanned.";
    }
    // The catalog read holds no finish date; the copy after the set's data does.
    if (chosen.bEndCatalog) store.m_backupInfo.strBackupFinishDate = chosen.strEndFinishDate;
    return {};
}

namespace {

uint32_t RunScan(ScanRequest& request, ScanMode mode) {
    ScanWindow& window = request.window;
    const bool standard = mode == ScanMode::Standard;
    ScanContext ctx;
    ctx.mode = mode;
    ctx.store = &request.store;
    ctx.stopFlag = &request.stopFlag;
    ctx.setProgress = [&window](int32_t position) { window.PostProgressPos(position); };

    window.ShowProgress(true);
    window.ShowStop(!standard);  // Standard Mode keeps Stop hidden
    window.ShowStatus(true);

    WalkInputs(request, ctx);

    if (!standard && !ctx.found && ctx.mqda) window.Tell(u"Unknown Data Stream Found.");
    window.ResetStopFlag();
    if (standard) {
        window.SetStatusText(u"");
        window.ShowProgress(false);
        window.ShowStop(false);
        window.ShowStatus(false);
    } else {
        window.ShowStatus(false);
        window.ShowProgress(false);
        window.ShowStop(false);
    }

    // The choice follows every scan, also one that found nothing or was stopped.
    if (!window.ChooseBackupSet()) return 1;
    const std::u16string notice = ReadChosenSet(request.inputFiles, request.store, &request.stopFlag);
    // A set that could not be read again shows nothing made of other values.
    if (!notice.empty()) {
        window.Tell(notice);
        return 1;
    }
    window.ShowBackupInformation();
    return 1;
}

}  // namespace

uint32_t ScanThreadStandard(ScanRequest& request) { return RunScan(request, ScanMode::Standard); }

uint32_t ScanThreadAdvanced(ScanRequest& request) { return RunScan(request, ScanMode::Advanced); }
