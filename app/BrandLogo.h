// Which brand logo a page shows: the branding file of the factory image, or
// else a guess from the machine's SMBIOS data. Decided anew for every page.
#pragma once

#include <afxwin.h>

#include "ISMBiosSource.h"

const DWORD kVendorDesktop = 2;

// 0 and the brand when the branding file names one; 0xE0EF000C without the
// file, 0xE0EF0005 when its value is missing or empty.
HRESULT GetBrandFromIni(CString& strBrand);
// "Corvane", "Velora" or "ZQ" from the SMBIOS data (desktops by their OEM
// strings, every other vendor by the product name).
void DetectBrand(CString& strBrand, DWORD dwVendor, ISMBiosSource& source = SystemSMBiosSource());
void DetectDesktopBrand(CString& strBrand, ISMBiosSource& source);
void DetectNotebookBrand(CString& strBrand, ISMBiosSource& source);
// The logo picture of a brand on a vendor's machines.
CString BrandLogoPath(const CString& strBrand, DWORD dwVendor);
// The branding file first, SMBIOS when it gives nothing; then the logo.
CString BrandLogoForPage(DWORD dwVendor, ISMBiosSource& source = SystemSMBiosSource());
