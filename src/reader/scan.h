// The scan of one request: the input files in order, each walked as plain MTF
// or as a compressed container, until the first file in which a catalog is met;
// then the choice of a backup set, the chosen set's catalog read again, and its
// information shown. It runs on a worker thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "reader/records.h"

// What the scan asks of the window that started it. Every call comes from the
// scan's thread; the window carries it out on its own thread.
class ScanWindow {
public:
    virtual ~ScanWindow() = default;

    virtual void ShowProgress(bool show) = 0;
    virtual void ShowStop(bool show) = 0;
    virtual void ShowStatus(bool show) = 0;
    virtual void SetStatusText(const std::u16string& text) = 0;
    // The bar runs from 0 to `upper`.
    virtual void SetProgressRange(int32_t upper) = 0;
    virtual void SetProgressPos(int32_t position) = 0;
    // Moves the bar during a walk: many thousand times a second, so this must
    // not wait for the window. Later calls still come after it.
    virtual void PostProgressPos(int32_t position) = 0;
    // A question (true for Yes) and a notice.
    virtual bool AskYesNo(const std::u16string& text) = 0;
    virtual void Tell(const std::u16string& text) = 0;
    // Sets the stop flag back to 0: the walk is over.
    virtual void ResetStopFlag() = 0;
    // Runs the backup-set dialog over the store: true when it closed with OK.
    virtual bool ChooseBackupSet() = 0;
    // Runs the dialog with the chosen set's backup information and files.
    virtual void ShowBackupInformation() = 0;
};

// What one scan works on. The input list is read, and in Standard Mode its
// compressed flags may be rewritten; the store is filled; the flag is read.
struct ScanRequest {
    std::vector<InputFileEntry>& inputFiles;
    CatalogStore& store;
    const std::atomic<int32_t>& stopFlag;
    ScanWindow& window;
};

// The chosen set (store.m_nSelectedSet) read again from its own stripe: its
// backup information and database files, with the finish date of the catalog
// copy written after its data where the scan met one. The first entry's flag
// tells how the stripe is read; every entry carries the same flag by then. A
// stop request (a confirmed Close) ends the read early.
//
// The file may have changed since the scan. Returns the notice to show in place
// of the set's information when its file no longer opens, or no longer holds the
// set's catalog where the scan found it (the information read is then not the
// set's own, and the store keeps none of it); empty when the set was read, or
// when no set is chosen.
std::u16string ReadChosenSet(const std::vector<InputFileEntry>& inputFiles, CatalogStore& store,
                             const std::atomic<int32_t>* stopFlag = nullptr);

// Standard Mode: checks the first bytes of every file, offers to correct the
// compressed setting and stops at a file that is neither kind. Returns 1.
uint32_t ScanThreadStandard(ScanRequest& request);
// Advanced Mode: trusts the compressed setting and reports unknown data streams
// when no catalog was met. Returns 1.
uint32_t ScanThreadAdvanced(ScanRequest& request);
