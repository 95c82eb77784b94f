#include "BrandLogo.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "CSMBIOSData.h"
#include "NvErrorCode.h"

namespace {
const DWORD kBrandBufferChars = 2048;
const wchar_t kBrandCorvane[] = L"Corvane";
const wchar_t kBrandVelora[] = L"Velora";
const wchar_t kBrandZQ[] = L"ZQ";

std::string JoinedOemStrings(const CSMBIOSData& data)
{
    SMBiosType11 type11 = {};
    std::string joined;
    if (!data.GetData(&type11))
        return joined;
    for (size_t i = 0; i < type11.bCount && i < _countof(type11.szStrings); ++i)
        if (type11.szStrings[i])
            joined += type11.szStrings[i];
    return joined;
}
} // namespace

HRESULT GetBrandFromIni(CString& strBrand)
{
    wchar_t wszPath[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, wszPath)) ||
        !PathAppendW(wszPath, L"Recovery\\") || !PathAppendW(wszPath, L"_Branding") || !PathFileExistsW(wszPath))
        return NV_E_NOT_FOUND;
    std::wstring value(kBrandBufferChars, L'\0');
    DWORD n = GetPrivateProfileStringW(L"ZQ_Branding", L"Brand", L"", &value[0], kBrandBufferChars, wszPath);
    if (n == 0)
        return NV_E_VALUE;
    strBrand = value.c_str();
    return S_OK;
}

void DetectDesktopBrand(CString& strBrand, ISMBiosSource& source)
{
    CSMBIOSData data(source);
    strBrand = kBrandZQ;
    if (data.FetchSMBiosData() && JoinedOemStrings(data).find("Prelind") != std::string::npos)
        strBrand = kBrandCorvane;
}

void DetectNotebookBrand(CString& strBrand, ISMBiosSource& source)
{
    CSMBIOSData data(source);
    strBrand = kBrandZQ;
    if (!data.FetchSMBiosData())
        return;
    SMBiosType1 type1 = {};
    CString strProduct;
    if (data.GetData(&type1) && type1.szProductName)
        strProduct = CString(type1.szProductName);
    OutputDebugStringW(L"stSMBiosType1.szProductName = " + strProduct);
    OutputDebugStringW(L"After creating CString, stSMBiosType1.szProductName = " + strProduct);
    strProduct.MakeUpper();
    if (strProduct.Find(L"CORVANE") >= 0 || strProduct.Find(L"PRELIND") >= 0)
        strBrand = kBrandCorvane;
    else if (strProduct.Find(L"VELORA") >= 0)
        strBrand = kBrandVelora;
}

void DetectBrand(CString& strBrand, DWORD dwVendor, ISMBiosSource& source)
{
    if (dwVendor == kVendorDesktop)
        DetectDesktopBrand(strBrand, source);
    else
        DetectNotebookBrand(strBrand, source);
}

CString BrandLogoPath(const CString& strBrand, DWORD dwVendor)
{
    if (strBrand == kBrandCorvane)
        return dwVendor == kVendorDesktop ? L"Image\\logo_corvane_white.png" : L"Image\\logo_corvane.png";
    if (strBrand == kBrandVelora)
        return L"Image\\logo_velora.png";
    return L"Image\\logo_zq.png";
}

CString BrandLogoForPage(DWORD dwVendor, ISMBiosSource& source)
{
    CString strBrand;
    if (FAILED(GetBrandFromIni(strBrand)))
        DetectBrand(strBrand, dwVendor, source);
    return BrandLogoPath(strBrand, dwVendor);
}
