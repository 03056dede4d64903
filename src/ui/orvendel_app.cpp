#include "orvendel_app.h"

#include <QCoreApplication>

#include "framework/constants.h"
#include "framework/desktop.h"
#include "framework/instance_lock.h"
#include "main_dialog.h"
#include "product.h"
#include "resource.h"

namespace {
COrvendelApp* g_currentApp = nullptr;
}

SingleInstanceGuard::SingleInstanceGuard(const std::string& name) {
    m_hMutex = fw::HoldInstanceName(name, m_dwLastError);
}

SingleInstanceGuard::~SingleInstanceGuard() {
    if (m_hMutex >= 0) {
        fw::ReleaseInstanceName(m_hMutex);
        m_hMutex = -1;
    }
}

COrvendelApp::COrvendelApp() { g_currentApp = this; }

COrvendelApp::~COrvendelApp() {
    if (g_currentApp == this) g_currentApp = nullptr;
}

COrvendelApp* GetOrvendelApp() { return g_currentApp; }

bool COrvendelApp::InitInstance() {
    InitOrvendelResources();
    // Names where settings would be kept (~/.config/Talvero Works/); nothing is
    // read or written there.
    QCoreApplication::setOrganizationName(kSettingsOrganisation);
    QCoreApplication::setApplicationName(kSettingsApplication);

    if (g_instanceGuard.m_dwLastError == fw::kErrorAlreadyExists) {
        fw::CurrentDesktop().MessageBox(nullptr,
                                        "Another instance of application is already running",
                                        kProductTitle, fw::MB_ICONINFORMATION);
        return false;
    }

    COrvendelDlg dlg;
    fw::SetMainWindow(&dlg);
    dlg.DoModal();  // Close and Cancel both end the program
    fw::SetMainWindow(nullptr);
    return false;
}
