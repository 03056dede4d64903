#include "about_dialog.h"

#include "product.h"
#include "resource.h"

using namespace fw;

namespace {

const DialogTemplate kAboutTemplate{
    263, 166, "About Orvendel", true,
    {
        {IDOK, Kind::ImageButton, "OK", 109, 146, 50, 16, kDefault | kGroup | kTabStop},
        {IDC_ABOUT_TITLE, Kind::Static, "d", 38, 65, 223, 12, kGroup},
        {IDC_ABOUT_COPYRIGHT, Kind::Static, "d", 25, 121, 233, 15, kGroup},
        {-1, Kind::Static, "____________________________________________________________________________",
         21, 132, 223, 14, kGroup},
        {IDC_ABOUT_LINK_WEBSITE, Kind::Link, kMakerWebsite, 81, 81, 98, 11, kTabStop},
        {IDC_ABOUT_LINK_SUPPORT, Kind::Link, kSupportAddress, 81, 91, 90, 12, kTabStop},
        {IDC_ABOUT_LINK_SALES, Kind::Link, kSalesAddress, 81, 103, 81, 11, kTabStop},
        {-1, Kind::Picture, ":/bitmap/130.png", 0, 0, 263, 52},
    }};

const MessageMap<CTalveroAboutDlg> kMessageMap{
    {Notify::Clicked, IDOK, &CTalveroAboutDlg::OnBnClickedOk},
};

}  // namespace

CTalveroAboutDlg::CTalveroAboutDlg() : Dialog(kAboutTemplate) {
    InitOrvendelResources();
    m_fontBold = SansFontForCell(15, 600);
    SetIgnoreEnterEscape(true);
    SetDragAnywhere(true);
}

CTalveroAboutDlg::~CTalveroAboutDlg() = default;

void CTalveroAboutDlg::DoDataExchange() {
    m_btnOK.Attach(*this, IDOK);
    m_linkWebsite.Attach(*this, IDC_ABOUT_LINK_WEBSITE);
    m_linkSupport.Attach(*this, IDC_ABOUT_LINK_SUPPORT);
    m_linkSales.Attach(*this, IDC_ABOUT_LINK_SALES);
    m_staticCopyright.Attach(*this, IDC_ABOUT_COPYRIGHT);
    m_staticTitle.Attach(*this, IDC_ABOUT_TITLE);
}

bool CTalveroAboutDlg::OnNotify(Notify code, int id) {
    return Dispatch(*this, kMessageMap, code, id);
}

bool CTalveroAboutDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    DoDataExchange();

    const struct {
        LinkCtrl* link;
        const char* prefix;
        const char* url;
        const char* tooltip;
    } links[] = {
        {&m_linkWebsite, "", kMakerWebsite, "Company website"},
        {&m_linkSupport, "mailto:", kSupportAddress, "Support email address"},
        {&m_linkSales, "mailto:", kSalesAddress, "Sales email address"},
    };
    for (const auto& entry : links) {
        entry.link->SetURLPrefix(entry.prefix);
        entry.link->SetURL(entry.url);
        entry.link->SizeToContent();
        entry.link->SetTooltip(entry.tooltip);
        entry.link->SetDrawFocus(false);
    }

    m_staticCopyright.SetWindowText(kCopyrightLine);
    m_staticCopyright.SetFont(m_fontBold);
    m_staticTitle.SetWindowText(kProductTitle);
    m_staticTitle.SetFont(m_fontBold);
    SetWindowText(kProductTitle);
    return true;
}

void CTalveroAboutDlg::OnBnClickedOk() { Dialog::OnOK(); }

void ShowAboutDialog() {
    CTalveroAboutDlg dlg;
    dlg.DoModal();
}
