// The process-wide objects: the single-instance guard and the application,
// which owns the catalog of the current scan and runs the main dialog.
#pragma once

#include <cstdint>
#include <string>

#include "reader/records.h"

// The name that only one running copy of the program may hold, shared by every
// user of the machine.
inline const std::string kInstanceName = "Global\\{TALVEROWORKSordvel_EXE_RUNNING1}";

class SingleInstanceGuard {
public:
    explicit SingleInstanceGuard(const std::string& name = kInstanceName);
    ~SingleInstanceGuard();
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    uint32_t m_dwLastError = 0;  // kErrorAlreadyExists when another copy holds the name
    int m_hMutex = -1;           // the held name; -1 when not held
};

class COrvendelApp {
public:
    COrvendelApp();
    ~COrvendelApp();
    COrvendelApp(const COrvendelApp&) = delete;
    COrvendelApp& operator=(const COrvendelApp&) = delete;

    // Refuses a second copy, else runs the main dialog modally. Always returns
    // false: the process ends when it returns. Needs the QApplication.
    bool InitInstance();

    // The catalog of the current scan: sets found, chosen index, the chosen
    // set's backup information and database files.
    CatalogStore m_catalog;
};

extern SingleInstanceGuard g_instanceGuard;

// The running application object (the latest one constructed).
COrvendelApp* GetOrvendelApp();
