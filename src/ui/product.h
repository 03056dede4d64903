// The product's own texts and web addresses.
#pragma once

// Caption of every message box and window text of every dialog.
constexpr const char kProductTitle[] = "Talvero Morlith v22.0";

// Where the framework would keep the program's settings (nothing is stored).
constexpr const char kSettingsOrganisation[] = "Talvero Works";
constexpr const char kSettingsApplication[] = "Talvero Morlith";

constexpr const char kOnlineGuideAddress[] = "https://www.talveroworks.example/morlith/guide/";
constexpr const char kProductPageAddress[] = "https://www.talveroworks.example/morlith/";
// The sibling product's page, given to its link after the "https://" prefix.
constexpr const char kSiblingProductPage[] = "www.talveroworks.example/quillmere/";

constexpr const char kMakerWebsite[] = "https://www.talveroworks.example/";
constexpr const char kSupportAddress[] = "support@talveroworks.example";
constexpr const char kSalesAddress[] = "sales@talveroworks.example";
constexpr const char kCopyrightLine[] = "Copyright \u00A9 2026 Talvero Works. All rights reserved.";
