// The About box: banner, product title, the maker's links and copyright line.
#pragma once

#include <QFont>

#include "framework/controls.h"
#include "framework/dialog.h"

class CTalveroAboutDlg : public fw::Dialog {
public:
    CTalveroAboutDlg();
    ~CTalveroAboutDlg() override;

    bool OnInitDialog() override;
    void OnBnClickedOk();

    fw::Button m_btnOK;
    fw::LinkCtrl m_linkWebsite;
    fw::LinkCtrl m_linkSupport;
    fw::LinkCtrl m_linkSales;
    fw::Static m_staticCopyright;
    fw::Static m_staticTitle;
    QFont m_fontBold;

protected:
    bool OnNotify(fw::Notify code, int id) override;

private:
    void DoDataExchange();
};

// Runs the About box modally; how it was closed does not matter.
void ShowAboutDialog();
