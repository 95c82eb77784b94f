#include "ZQSimKey.h"

#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "NvSysUtil.h"
#include "ZQSimScrambler.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

ZQSimKey g_ZQSimKey;

namespace {

const WORD kTextTags[4] = {0x810E, 0x8113, 0x8117, 0x8122};
const DWORD kHeaderBytes = 6;
const DWORD kRecordHeadBytes = 6;
// Far above any real settings file; a larger one is not ours.
const DWORD kMaxFileBytes = 1024 * 1024;

struct DefaultValue {
    WORD wFirst;
    WORD wLast;
    int nValue;
};

const DefaultValue kIntDefaults[] = {
    {0x8101, 0x810D, 1}, {0x810F, 0x810F, 1}, {0x8110, 0x8110, 2000}, {0x8111, 0x8111, 1},
    {0x8112, 0x8112, 0}, {0x8114, 0x8116, 1}, {0x8118, 0x8118, 0},    {0x8119, 0x8120, 1},
    {0x8121, 0x8121, 0}, {0x8123, 0x8124, 1}, {0x8125, 0x8125, 0},
};

int ToInt(const wchar_t* pwsz)
{
    long long ll = wcstoll(pwsz, nullptr, 10);
    if (ll > INT_MAX)
        return INT_MAX;
    if (ll < INT_MIN)
        return INT_MIN;
    return static_cast<int>(ll);
}

bool ReadWholeFile(const wchar_t* pwszPath, std::vector<BYTE>& vecData)
{
    CAutoHandle file(CreateFileW(pwszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    LARGE_INTEGER liSize;
    if (!GetFileSizeEx(file.Get(), &liSize) || liSize.QuadPart > kMaxFileBytes) {
        DebugPrint(L"%s: cannot take its size, or too large.\n", pwszPath);
        return false;
    }
    vecData.resize(static_cast<size_t>(liSize.QuadPart));
    DWORD dwRead = 0;
    if (!vecData.empty()
        && (!ReadFile(file.Get(), vecData.data(), static_cast<DWORD>(vecData.size()), &dwRead, nullptr)
            || dwRead != vecData.size()))
        return false;
    return true;
}

// Little-endian reads that fail instead of reading past the data.
class CByteReader {
public:
    explicit CByteReader(const std::vector<BYTE>& vec) : m_vec(vec) {}
    size_t Position() const { return m_nPos; }
    size_t Remaining() const { return m_vec.size() - m_nPos; }
    bool Skip(size_t cb)
    {
        if (Remaining() < cb)
            return false;
        m_nPos += cb;
        return true;
    }
    bool ReadWord(WORD* pw)
    {
        if (Remaining() < 2)
            return false;
        *pw = static_cast<WORD>(m_vec[m_nPos] | (m_vec[m_nPos + 1] << 8));
        m_nPos += 2;
        return true;
    }
    bool ReadDword(DWORD* pdw)
    {
        if (Remaining() < 4)
            return false;
        *pdw = static_cast<DWORD>(m_vec[m_nPos]) | (static_cast<DWORD>(m_vec[m_nPos + 1]) << 8)
               | (static_cast<DWORD>(m_vec[m_nPos + 2]) << 16) | (static_cast<DWORD>(m_vec[m_nPos + 3]) << 24);
        m_nPos += 4;
        return true;
    }
    const BYTE* Current() const { return m_vec.data() + m_nPos; }

private:
    const std::vector<BYTE>& m_vec;
    size_t m_nPos = 0;
};

} // namespace

int ZQSimKey::TextIndex(WORD wTag)
{
    for (int i = 0; i < 4; ++i) {
        if (kTextTags[i] == wTag)
            return i;
    }
    return -1;
}

BOOL ZQSimKey::IsTextTag(WORD wTag) const
{
    return TextIndex(wTag) >= 0 ? TRUE : FALSE;
}

int ZQSimKey::GetInt(WORD wTag) const
{
    if (wTag < kFirstTag || wTag > kLastTag)
        return 0;
    return m_anValues[wTag - kFirstTag];
}

const std::wstring& ZQSimKey::GetText(WORD wTag) const
{
    static const std::wstring s_wstrEmpty;
    int i = TextIndex(wTag);
    return i >= 0 ? m_wstrTexts[i] : s_wstrEmpty;
}

void ZQSimKey::LoadDefaults()
{
    for (const DefaultValue& d : kIntDefaults) {
        for (WORD w = d.wFirst; w <= d.wLast; ++w)
            m_anValues[w - kFirstTag] = d.nValue;
    }
    m_wstrTexts[0] = L"C:\\backup.wsi";
    m_wstrTexts[1] = L"?:\\backup.wsi";
    m_wstrTexts[2] = L"C:\\backup.wsi";
    m_wstrTexts[3] = L"?:\\backup.wsi";
}

void ZQSimKey::Store(WORD wTag, const wchar_t* pwszValue)
{
    if (wTag < kFirstTag || wTag > kLastTag)
        return;
    int i = TextIndex(wTag);
    if (i >= 0)
        m_wstrTexts[i] = pwszValue;
    else
        m_anValues[wTag - kFirstTag] = ToInt(pwszValue);
}

BOOL ZQSimKey::LoadFile(const wchar_t* pwszPath)
{
    std::vector<BYTE> vecData;
    if (pwszPath == nullptr || !ReadWholeFile(pwszPath, vecData))
        return FALSE;
    ZQSimScrambler::Unscramble(vecData);

    CByteReader reader(vecData);
    if (!reader.Skip(kHeaderBytes)) {
        DebugPrint(L"%s: header cut short (%u bytes).\n", pwszPath, static_cast<unsigned>(vecData.size()));
        return FALSE;
    }
    while (reader.Remaining() > 0) {
        WORD wTag = 0;
        DWORD dwLength = 0;
        // A cut record must not leave a stale tag or length to be stored.
        if (!reader.ReadWord(&wTag) || !reader.ReadDword(&dwLength)) {
            DebugPrint(L"%s: record head cut short at %u.\n", pwszPath, static_cast<unsigned>(reader.Position()));
            break;
        }
        if (dwLength > kMaxValueBytes) {
            DebugPrint(L"%s: record 0x%04X too long (%lu bytes).\n", pwszPath, wTag, dwLength);
            break;
        }
        if (reader.Remaining() < dwLength) {
            DebugPrint(L"%s: record 0x%04X cut short.\n", pwszPath, wTag);
            break;
        }
        wchar_t wszValue[264] = {};
        memcpy(wszValue, reader.Current(), dwLength);
        reader.Skip(dwLength);
        Store(wTag, wszValue);
    }
    return TRUE;
}

HRESULT LoadZQSimSettings(const wchar_t* pwszProgramFolder, ZQPlatform* penPlatform, ZQVendor* penVendor)
{
    CAutoTrace trace(L"CRevantApp", L"LoadZQSimKey", nullptr);
    g_ZQSimKey.LoadDefaults();
    std::wstring wstrPath = pwszProgramFolder != nullptr ? pwszProgramFolder : L"";
    wstrPath += L"ZQ.sim";

    ZQPlatform enPlatform;
    ZQVendor enVendor;
    if (g_ZQSimKey.LoadFile(wstrPath.c_str())) {
        trace.Print(L"sim key load successfully.");
        BOOL bWin7 = g_ZQSimKey.GetInt(ZQSimKey::kPlatformTag) != 0;
        enPlatform = bWin7 ? ZQ_PLATFORM_WIN7 : ZQ_PLATFORM_VISTA;
        enVendor = g_ZQSimKey.GetInt(ZQSimKey::kVendorTag) != 0 ? ZQ_VENDOR_DOZ : ZQ_VENDOR_CNB;
        if (bWin7)
            trace.Print(L"platform: Windows 7.");
        if (enPlatform == ZQ_PLATFORM_VISTA)
            trace.Print(L"platform: Vista.");
        trace.Print(enVendor == ZQ_VENDOR_CNB ? L"vendor : cNB." : L"vendor : dOZ.");
    } else {
        trace.Print(L"sim key load fail.");
        enVendor = ZQ_VENDOR_DOZ;
        BOOL bWinPE = FALSE;
        if (FAILED(NvIsWinPE(&bWinPE)))
            bWinPE = FALSE;
        DWORD dwCode = 0;
        NvGetOSVersion(&dwCode);
        // Windows PE without the file counts as Windows 7.
        enPlatform = (!bWinPE && dwCode == OSV_VISTA) ? ZQ_PLATFORM_VISTA : ZQ_PLATFORM_WIN7;
    }
    if (penPlatform != nullptr)
        *penPlatform = enPlatform;
    if (penVendor != nullptr)
        *penVendor = enVendor;
    return S_OK;
}
