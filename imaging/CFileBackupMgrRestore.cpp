// The restore of a backup set into "System Recovery Files" on the Windows
// partition: whole images are applied, split ones joined first; the type
// selection decides file by file what is written.
#include <process.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <iterator>

#include "CAutoLibrary.h"
#include "CAutoTrace.h"
#include "CDiscBurner.h"
#include "CFileBackupMgr.h"
#include "NvFileUtil.h"
#include "Wimsplice.h"

namespace {

const UINT kAskDisc = 241;
const UINT kAskApplyFailed = 252;
const UINT kAskMergeFailed = 253;
const UINT kTellNoSpace = 257;
const wchar_t kIndexName[] = L"Mendora.ini";
// The disc number is the third blank-separated word of the volume label.
const UINT kLabelChars = 32;
const char kLabelSeparators[] = " ,\t\n";
const int kLabelNumberToken = 3;
// No set has more pieces than this; a larger index is damaged.
const int kMaxPiecesPerImage = 10000;

std::wstring ProfileString(const std::wstring& strIni, const std::wstring& strSection, const std::wstring& strKey)
{
    wchar_t wsz[64] = {};
    GetPrivateProfileStringW(strSection.c_str(), strKey.c_str(), L"", wsz, 64, strIni.c_str());
    return wsz;
}

// A decimal number of at most 9 digits, else -1.
int ParseCount(const std::wstring& strValue)
{
    if (strValue.empty() || strValue.size() > 9)
        return -1;
    int n = 0;
    for (wchar_t c : strValue) {
        if (c < L'0' || c > L'9')
            return -1;
        n = n * 10 + (c - L'0');
    }
    return n;
}

bool CopyAsNormal(const std::wstring& strFrom, const std::wstring& strTo)
{
    if (!CopyFileW(strFrom.c_str(), strTo.c_str(), FALSE))
        return false;
    SetFileAttributesW(strTo.c_str(), FILE_ATTRIBUTE_NORMAL);
    return true;
}

} // namespace

void CFileBackupMgr::SetRestorePaths(const std::wstring& strSource, wchar_t wcWindowsDrive)
{
    m_strRestoreSource = strSource;
    m_wcWindowsDrive = wcWindowsDrive;
}

// A failed thread start is reported: the page would otherwise wait forever.
HRESULT CFileBackupMgr::StartRestore(CFileBackupNotifier* pNotifier)
{
    m_pNotifier = pNotifier;
    m_bCancel = FALSE;
    HANDLE h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RestoreThread, this, 0, nullptr));
    if (!h)
        return E_FAIL;
    CloseHandle(h);
    return S_OK;
}

int CFileBackupMgr::Ask(UINT uId, const std::wstring& strArg, int iStop)
{
    return m_ask ? m_ask(uId, strArg) : iStop;
}

unsigned __stdcall CFileBackupMgr::RestoreThread(void* pvArg)
{
    auto* self = static_cast<CFileBackupMgr*>(pvArg);
    if (self)
        self->RunRestore();
    return 0;
}

void CFileBackupMgr::RunRestore()
{
    CAutoTrace trace(L"CFileBackupMgr", L"RestoreThread", this);
    m_nAppliedWims = 0;
    m_nCurDisc = 0;
    // Pieces recorded by an earlier restore belong to another set.
    std::fill(std::begin(m_nDiscPieces), std::end(m_nDiscPieces), 0);
    std::wstring strIndex = m_strRestoreSource + L"\\" + kIndexName;
    int nCount = ParseCount(ProfileString(strIndex, L"Count", L"WIMCount"));
    m_nWimCount = nCount < 0 ? 0 : nCount;
    std::wstring strDiscs = ProfileString(strIndex, L"Count", L"DiscCount");
    int nDiscs = strDiscs.empty() ? 0 : ParseCount(strDiscs);
    if (nDiscs < 0 || nDiscs >= kMaxDiscs) {
        // A damaged index: its disc numbers cannot be trusted.
        Ask(kAskMergeFailed, kIndexName, IDNO);
        m_bCancel = TRUE;
        nDiscs = 0;
    }
    m_nDiscCount = nDiscs;
    std::wstring strTarget = std::wstring(1, m_wcWindowsDrive) + L":\\System Recovery Files\\" +
                             WIMFileBackuper::LocalTimeText(L"%Y-%m-%d %H%M%S") + L"\\";
    wcsncpy(m_szRestoreDir, strTarget.c_str(), MAX_PATH - 1);
    if (!m_bCancel)
        NvCreateDirectoryW(m_szRestoreDir);
    // The set's own drive is asked, not whichever writer came first.
    if (m_nDiscCount > 0 && m_pBurner && m_strRestoreSource.size() > 1 && m_strRestoreSource[1] == L':')
        m_pBurner->SelectDrive(m_strRestoreSource[0]);
    if (m_nDiscCount > 0 && !m_bCancel)
        WaitForDiscNumber(1);
    while (!m_bCancel) {
        m_nCurDisc++;
        m_lstRestoreFiles.clear();
        m_lstMerged.clear();
        m_lstSpanning.clear();
        bool bTaken = TakeSlot();
        RestoreDisc();
        if (bTaken)
            GiveSlotBack();
        if (m_nCurDisc >= m_nDiscCount || !WaitForDiscNumber(m_nCurDisc + 1))
            break;
    }
    if (m_pNotifier)
        m_pNotifier->OnRestoreDone(!m_bCancel);
}

// The number in the label of the disc in the drive ("File Backup 2"), 0
// when there is none.
int CFileBackupMgr::InsertedDiscNumber()
{
    char szLabel[kLabelChars] = {};
    if (!m_pBurner || FAILED(m_pBurner->GetDiscLabel(szLabel, kLabelChars)))
        return 0;
    char* pszContext = nullptr;
    char* pszToken = strtok_r(szLabel, kLabelSeparators, &pszContext);
    for (int i = 1; pszToken && i < kLabelNumberToken; i++)
        pszToken = strtok_r(nullptr, kLabelSeparators, &pszContext);
    if (!pszToken)
        return 0;
    std::string strNumber(pszToken);
    int n = ParseCount(std::wstring(strNumber.begin(), strNumber.end()));
    return n < 0 ? 0 : n;
}

// Asks for the disc until it is in the drive; false when the user cancels.
bool CFileBackupMgr::WaitForDiscNumber(int nWanted)
{
    if (!m_pBurner)
        m_bCancel = TRUE;
    while (!m_bCancel && InsertedDiscNumber() != nWanted) {
        m_pBurner->EjectDisc(TRUE);
        if (Ask(kAskDisc, std::to_wstring(nWanted), IDCANCEL) != IDOK)
            m_bCancel = TRUE;
    }
    return !m_bCancel;
}

BOOL CFileBackupMgr::RestoreDisc()
{
    std::wstring strSource = m_strRestoreSource;
    if (!NvDirectoryExists(strSource.c_str()))
        strSource = m_Backuper.ProgramFolder();
    if (!ScanBackupSource(strSource)) {
        m_bCancel = TRUE;
        return FALSE;
    }
    for (const std::wstring& strImage : m_lstRestoreFiles)
        if (m_bCancel || !ApplyImage(strImage))
            break;
    if (!m_lstSpanning.empty() && m_nDiscCount == 0) {
        // A drive set naming pieces elsewhere is incomplete: the user is told.
        for (const std::wstring& strName : m_lstSpanning)
            if (!m_bCancel && Ask(kAskMergeFailed, strName, IDNO) != IDYES)
                m_bCancel = TRUE;
    } else if (!m_lstSpanning.empty()) {
        FetchSpanningPieces();
        MergeSpanningImages();
    }
    for (const std::wstring& strImage : m_lstMerged)
        if (m_bCancel || !ApplyImage(strImage))
            break;
    PruneFolders(std::wstring(m_szRestoreDir, wcslen(m_szRestoreDir) - 1));
    return TRUE;
}

// The later discs are read for the pieces of split images begun on this
// one; the next pass then reads the last of them for its own images.
void CFileBackupMgr::FetchSpanningPieces()
{
    for (int nDisc = m_nCurDisc + 1; nDisc <= m_nLastDisc; nDisc++) {
        if (!WaitForDiscNumber(nDisc))
            return;
        if (!CopyPiecesFromDisc(nDisc))
            DebugPrint(L"Pieces of disc %d are missing\n", nDisc);
    }
    m_nCurDisc = m_nLastDisc - 1;
}

bool CFileBackupMgr::CopyPiecesFromDisc(int nDisc)
{
    if (nDisc < 0 || nDisc >= kMaxDiscs)
        return false;
    for (int k = 0; k < m_nDiscPieces[nDisc] && k < kMaxPiecesPerDisc; k++) {
        const std::wstring& strWim = m_strDiscPieces[nDisc][k];
        std::wstring strBase = strWim.substr(0, strWim.size() - 4);
        WIN32_FIND_DATAW data {};
        HANDLE hFind = FindFirstFileW((m_strSourceDir + L"\\" + strBase + L".*").c_str(), &data);
        if (hFind == INVALID_HANDLE_VALUE)
            return false;
        bool bOk = true;
        do {
            std::wstring strFrom = m_strSourceDir + L"\\" + data.cFileName;
            if (!CopyAsNormal(strFrom, m_strMergeDir + L"\\" + data.cFileName)) {
                DebugPrint(L"Copy %s fail !\n", strFrom.c_str());
                bOk = false;
            }
        } while (bOk && FindNextFileW(hFind, &data));
        FindClose(hFind);
        if (!bOk)
            return false;
    }
    return true;
}

// The merge library is loaded only when something waits to be merged.
void CFileBackupMgr::MergeSpanningImages()
{
    if (m_bCancel)
        return;
    CAutoLibrary library(LoadLibraryW(L"Wimsplice.dll"));
    auto pfnMerge = library.Get() ? reinterpret_cast<PFN_MergeIntoWIM>(reinterpret_cast<void (*)()>(
                                        GetProcAddress(library.Get(), "MergeIntoWIM")))
                                  : nullptr;
    if (!pfnMerge) {
        if (Ask(kAskMergeFailed, L"", IDNO) != IDYES)
            m_bCancel = TRUE;
        return;
    }
    for (const std::wstring& strName : m_lstSpanning) {
        if (m_bCancel)
            return;
        std::wstring strWim = m_strMergeDir + L"\\" + strName;
        if (pfnMerge(strWim.c_str()) == S_OK)
            m_lstMerged.push_back(strWim);
        else if (Ask(kAskMergeFailed, strName, IDNO) != IDYES)
            m_bCancel = TRUE;
    }
}

BOOL CFileBackupMgr::ScanBackupSource(const std::wstring& strFolder)
{
    m_nLastDisc = 0;
    std::wstring strStamp = WIMFileBackuper::LocalTimeText(L"%H%M%S");
    m_strMergeDir = m_Backuper.WorkDir() + L"merge\\" + strStamp;
    WIN32_FIND_DATAW data {};
    HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return TRUE;
    BOOL bGoOn = TRUE;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::wstring strName = data.cFileName;
        std::wstring ext = NvLowerExtension(strName.c_str());
        if (ext == L".wim")
            m_lstRestoreFiles.push_back(strFolder + L"\\" + strName);
        else if (ext == L".dat")
            bGoOn = GatherSplitImage(strFolder, strName.substr(0, strName.size() - ext.size()));
    } while (bGoOn && FindNextFileW(hFind, &data));
    FindClose(hFind);
    return bGoOn;
}

BOOL CFileBackupMgr::GatherSplitImage(const std::wstring& strFolder, const std::wstring& strBase)
{
    if (FAILED(m_Backuper.CreateWorkDir()) || FAILED(NvCreateDirectoryW(m_strMergeDir.c_str())))
        return Ask(kAskMergeFailed, strBase + L".wim", IDNO) == IDYES;
    m_strSourceDir = strFolder;
    WIN32_FIND_DATAW data {};
    HANDLE hFind = FindFirstFileW((strFolder + L"\\" + strBase + L".*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::wstring strFrom = strFolder + L"\\" + data.cFileName;
            if (!CopyAsNormal(strFrom, m_strMergeDir + L"\\" + data.cFileName))
                DebugPrint(L"Copy %s fail !\n", strFrom.c_str());
        } while (FindNextFileW(hFind, &data));
        FindClose(hFind);
    }
    std::wstring strWim = strBase + L".wim";
    std::wstring strIndex = strFolder + L"\\" + kIndexName;
    bool bElsewhere = false;
    if (NvFileExists(strIndex.c_str()) && !RecordPiecesElsewhere(strIndex, strWim, &bElsewhere))
        return Ask(kAskMergeFailed, strWim, IDNO) == IDYES;
    if (bElsewhere)
        return TRUE;
    return MergeNow(m_strMergeDir + L"\\" + strWim);
}

// Disc numbers and counts come from removable media: out of range is
// refused, never used as an index.
bool CFileBackupMgr::RecordPiecesElsewhere(const std::wstring& strIndex, const std::wstring& strWim,
                                           bool* pbElsewhere)
{
    std::wstring strBase = strWim.substr(0, strWim.size() - 4);
    for (int i = 0; i < kMaxPiecesPerImage; i++) {
        std::wstring strValue = ProfileString(strIndex, strWim, strBase + L"." + std::to_wstring(i));
        if (strValue.empty())
            return true;
        int nDisc = ParseCount(strValue);
        if (nDisc < 0 || nDisc >= kMaxDiscs)
            return false;
        // A disc set's pieces lie on this disc or a later one of the set.
        if (m_nDiscCount > 0 && (nDisc < m_nCurDisc || nDisc > m_nDiscCount))
            return false;
        if (nDisc == m_nCurDisc)
            continue;
        if (!*pbElsewhere)
            m_lstSpanning.push_back(strWim);
        *pbElsewhere = true;
        bool bKnown = false;
        for (int k = 0; k < m_nDiscPieces[nDisc]; k++)
            bKnown = bKnown || m_strDiscPieces[nDisc][k] == strWim;
        if (!bKnown) {
            if (m_nDiscPieces[nDisc] >= kMaxPiecesPerDisc)
                return false;
            m_strDiscPieces[nDisc][m_nDiscPieces[nDisc]++] = strWim;
        }
        if (nDisc > m_nLastDisc)
            m_nLastDisc = nDisc;
    }
    return false;
}

BOOL CFileBackupMgr::MergeNow(const std::wstring& strWim)
{
    CAutoLibrary library(LoadLibraryW(L"Wimsplice.dll"));
    auto pfnMerge = library.Get() ? reinterpret_cast<PFN_MergeIntoWIM>(reinterpret_cast<void (*)()>(
                                        GetProcAddress(library.Get(), "MergeIntoWIM")))
                                  : nullptr;
    if (pfnMerge && pfnMerge(strWim.c_str()) == S_OK) {
        m_lstRestoreFiles.push_back(strWim);
        return TRUE;
    }
    return Ask(kAskMergeFailed, strWim, IDNO) == IDYES;
}

bool CFileBackupMgr::ApplyImage(const std::wstring& strImage)
{
    m_Backuper.SetImagePath(strImage);
    m_Backuper.SetApplyPath(m_szRestoreDir);
    m_Backuper.SetImageIndex(1);
    m_Backuper.AddListener(&m_Listener);
    m_nAppliedWims = m_nAppliedWims + 1;
    bool bGoOn = true;
    if (!m_Backuper.Apply()) {
        std::wstring strName = strImage.substr(strImage.find_last_of(L'\\') + 1);
        if (ApplyNeedsSpace(strImage)) {
            Ask(kTellNoSpace, L"", IDOK);
            m_bCancel = TRUE;
            bGoOn = false;
        } else if (Ask(kAskApplyFailed, strName, IDNO) != IDYES) {
            m_bCancel = TRUE;
            bGoOn = false;
        }
    }
    m_Backuper.RemoveListener(&m_Listener);
    return bGoOn;
}

BOOL CFileBackupMgr::ApplyNeedsSpace(const std::wstring& strImage)
{
    ULARGE_INTEGER free {};
    std::wstring strRoot = m_strScanRoot + L"\\";
    ULONGLONG ullSize = 0;
    if (!GetDiskFreeSpaceExW(strRoot.c_str(), &free, nullptr, nullptr) ||
        FAILED(FindFileSizeInByte(strImage.c_str(), &ullSize)))
        return FALSE;
    return free.QuadPart < ullSize;
}
