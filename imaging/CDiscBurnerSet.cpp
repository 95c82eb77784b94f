// Burning a file backup set onto DVDs: one plan places every part and piece
// on a disc; the index "Mendora.ini" written from that plan goes onto every
// disc, the restore program and the imaging library onto the first.
#include <algorithm>
#include <climits>
#include <cwctype>
#include <tuple>

#include "CAutoFindHandle.h"
#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "CComRef.h"
#include "CDiscBurner.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"

namespace {

const wchar_t kIndexName[] = L"Mendora.ini";
const wchar_t kRestoreProgram[] = L"Retrova.exe";
const wchar_t kRestoreProgramOnDisc[] = L"Mendora.exe";
const wchar_t kImagingFolder[] = L"wimgapi";
const wchar_t* const kImagingBitnesses[] = {L"v32", L"v64"};
const wchar_t* const kImagingFiles[] = {L"wimgapi.dll", L"wimmount.inf", L"wimmount.sys", L"wimserv.exe"};
const int kFileBackupMode = 2;
const char kVolumeIdFormat[] = "File Backup %d";
const char kVolumeIdNoDisc[] = "File Backup";
const int kVolumeIdChars = 32;
const int kPollMs = 100;
// A restore keeps its table of discs for numbers below this.
const int kMaxDiscNumber = 49;

std::wstring BaseName(const std::wstring& strName)
{
    size_t dot = strName.find_last_of(L'.');
    return dot == std::wstring::npos ? strName : strName.substr(0, dot);
}

// A decimal text as a number, or -1.
long long Number(const std::wstring& s)
{
    if (s.empty() || s.size() > 12)
        return -1;
    long long n = 0;
    for (wchar_t c : s) {
        if (c < L'0' || c > L'9')
            return -1;
        n = n * 10 + (c - L'0');
    }
    return n;
}

// Parts by number, each split image's pieces in order, so a split image's
// pieces never lie on a disc before the one of its first piece.
bool BurnOrder(const PlannedEntry& a, const PlannedEntry& b)
{
    auto key = [](const PlannedEntry& e) {
        long long base = Number(BaseName(e.strName));
        std::wstring ext = NvLowerExtension(e.strName.c_str());
        long long piece = ext == L".wim" ? -1 : Number(ext.size() > 1 ? ext.substr(1) : L"");
        if (ext != L".wim" && piece < 0)
            piece = LLONG_MAX;
        return std::make_tuple(base < 0, base, piece, e.strName);
    };
    return key(a) < key(b);
}

ULONGLONG FindSize(const WIN32_FIND_DATAW& data)
{
    return (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

HRESULT WriteValue(const std::wstring& strIni, const std::wstring& strSection, const std::wstring& strKey, int nValue)
{
    std::wstring strValue = std::to_wstring(nValue);
    return WritePrivateProfileStringW(strSection.c_str(), strKey.c_str(), strValue.c_str(), strIni.c_str())
               ? S_OK
               : kDiscIndexWrite;
}

} // namespace

HRESULT CDiscBurner::PlanDiscs(const std::wstring& strFolder, const DiscSizes& sizes, DiscPlan* pPlan)
{
    *pPlan = DiscPlan();
    std::vector<PlannedEntry> entries;
    std::vector<std::pair<std::wstring, ULONGLONG>> dats;
    WIN32_FIND_DATAW data {};
    CAutoFindHandle find(FindFirstFileW((strFolder + L"*").c_str(), &data));
    if (!find.IsValid())
        return NV_E_NOT_FOUND;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::wstring ext = NvLowerExtension(data.cFileName);
        if (ext == L".wim" || ext == L".dat")
            pPlan->nWimCount++;
        if (ext == L".ini")
            continue;
        if (ext == L".dat")
            dats.push_back({data.cFileName, FindSize(data)});
        else
            entries.push_back({data.cFileName, L"", FindSize(data), 0});
    } while (FindNextFileW(find.Get(), &data));
    // The ".dat" file goes with piece 0 of its image; one without a piece is
    // burned on its own rather than lost.
    for (const auto& dat : dats) {
        auto first = std::find_if(entries.begin(), entries.end(), [&](const PlannedEntry& e) {
            return NvLowerExtension(e.strName.c_str()) == L".0" && _wcsicmp(BaseName(e.strName).c_str(), BaseName(dat.first).c_str()) == 0;
        });
        if (first == entries.end()) {
            entries.push_back({dat.first, L"", dat.second, 0});
        } else {
            first->strCompanion = dat.first;
            first->ullBytes += dat.second;
        }
    }
    std::sort(entries.begin(), entries.end(), BurnOrder);
    ULONGLONG ullTotal = sizes.ullReserve;
    int nDisc = 1;
    for (PlannedEntry& e : entries) {
        if (e.ullBytes > sizes.ullCapacity || sizes.ullReserve > sizes.ullCapacity - e.ullBytes)
            return kDiscEntryTooBig;
        ullTotal += e.ullBytes;
        if (ullTotal > sizes.ullCapacity) {
            nDisc++;
            ullTotal = sizes.ullReserve + e.ullBytes;
        }
        if (nDisc > kMaxDiscNumber)
            return kDiscSetTooLarge;
        e.nDisc = nDisc;
    }
    pPlan->entries = std::move(entries);
    pPlan->nDiscCount = nDisc;
    return S_OK;
}

HRESULT CDiscBurner::WriteDiscIndex(const std::wstring& strFolder, const DiscPlan& plan)
{
    std::wstring strIni = strFolder + kIndexName;
    CAutoHandle file(CreateFileW(strIni.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return kDiscIndexWrite;
    HRESULT hr = S_OK;
    for (const PlannedEntry& e : plan.entries) {
        if (NvLowerExtension(e.strName.c_str()) == L".wim" || NvLowerExtension(e.strName.c_str()) == L".dat")
            continue;
        std::wstring strSection = BaseName(e.strName) + L".wim";
        hr = WriteValue(strIni, strSection, e.strName, e.nDisc);
        if (SUCCEEDED(hr) && !e.strCompanion.empty())
            hr = WriteValue(strIni, strSection, e.strCompanion, e.nDisc);
        if (FAILED(hr))
            return hr;
    }
    hr = WriteValue(strIni, L"Count", L"WIMCount", plan.nWimCount);
    if (SUCCEEDED(hr))
        hr = WriteValue(strIni, L"Count", L"DiscCount", plan.nDiscCount);
    if (SUCCEEDED(hr))
        m_nDiscCount = plan.nDiscCount;
    return hr;
}

HRESULT CDiscBurner::BurnBackupSet(const std::wstring& strFolder)
{
    CAutoTrace trace(L"CDiscBurner", L"BurnBackupSet", this);
    // A cancel of an earlier backup must not end this one.
    m_bBurnCancelled = FALSE;
    m_nDiscCount = 1;
    m_nBurnDisc = 1;
    DiscPlan plan;
    HRESULT hr = PlanDiscs(strFolder, m_sizes, &plan);
    if (SUCCEEDED(hr))
        hr = WriteDiscIndex(strFolder, plan);
    if (FAILED(hr))
        return hr;
    SendEvent(BEC_WRITE, 0.0f);
    std::wstring strSet = strFolder.substr(0, strFolder.find_last_not_of(L'\\') + 1);
    m_strLabel = strSet.substr(strSet.find_last_of(L'\\') + 1);
    for (int nDisc = 1; nDisc <= plan.nDiscCount; nDisc++) {
        m_nBurnDisc = nDisc;
        hr = BurnOneDisc(strFolder, plan, nDisc);
        if (FAILED(hr))
            return hr;
    }
    return hr;
}

// Waits for a blank disc, burns its share of the plan and opens the tray;
// the burn's failure, else the tray's result.
HRESULT CDiscBurner::BurnOneDisc(const std::wstring& strFolder, const DiscPlan& plan, int nDisc)
{
    if (m_bBurnCancelled)
        return NV_E_USER_CANCELLED;
    int nType = 0;
    ULONGLONG ullFree = 0;
    HRESULT hr = WaitForBlankDisc(&nType, &ullFree);
    if (FAILED(hr))
        return hr;
    hr = BurnFileBackupDisc(nDisc);
    if (FAILED(hr))
        return hr;
    IBurnSession* pBurner = ActiveBurner();
    hr = pBurner->AddFolder(L"", m_strLabel.c_str(), nullptr, 0);
    if (SUCCEEDED(hr))
        hr = AddPlannedFiles(strFolder, plan, nDisc);
    if (SUCCEEDED(hr))
        hr = AddRestoreTool();
    if (SUCCEEDED(hr))
        hr = pBurner->AddFile((m_strLabel + L"\\" + kIndexName).c_str(), (strFolder + kIndexName).c_str(), nullptr,
                              nullptr, nullptr);
    if (SUCCEEDED(hr))
        hr = RunAndWait(BRN_CMD_BURN);
    CloseActiveBurner();
    HRESULT hrTray = EjectDisc(TRUE);
    return FAILED(hr) ? hr : hrTray;
}

HRESULT CDiscBurner::AddPlannedFiles(const std::wstring& strFolder, const DiscPlan& plan, int nDisc)
{
    IBurnSession* pBurner = ActiveBurner();
    for (const PlannedEntry& e : plan.entries) {
        if (e.nDisc != nDisc)
            continue;
        for (const std::wstring* name : {&e.strName, &e.strCompanion}) {
            if (name->empty())
                continue;
            HRESULT hr = pBurner->AddFile((m_strLabel + L"\\" + *name).c_str(), (strFolder + *name).c_str(), nullptr,
                                          nullptr, nullptr);
            if (FAILED(hr))
                return hr;
        }
    }
    return S_OK;
}

void CDiscBurner::SetHighestSpeed(IBurnSession* pBurner)
{
    UINT uCount = 0;
    if (FAILED(pBurner->GetWriteSpeedCount(&uCount, nullptr)))
        return;
    float fBest = 0.0f;
    pBurner->GetCurrentWriteSpeed(&fBest);
    for (UINT i = 0; i < uCount; i++) {
        float fSpeed = 0.0f;
        if (SUCCEEDED(pBurner->GetWriteSpeed(i, &fSpeed)) && fSpeed > fBest)
            fBest = fSpeed;
    }
    pBurner->SetWriteSpeed(fBest);
}

// Prepares the burner matching the disc; on any failure nothing stays
// active, so no caller can reach a released burner.
HRESULT CDiscBurner::BurnFileBackupDisc(int nDisc)
{
    CComRef<IBurnDrive> drive;
    int nType = 0;
    HRESULT hr = GetCurrentDisc(drive.Out(), &nType);
    if (FAILED(hr))
        return hr;
    IBurnSession* pBurner = BurnerFor(nType);
    if (!pBurner)
        return NV_E_BURNER_OBJECTS;
    SetActiveBurner(pBurner);
    SendEvent(BEC_WRITE, 0.0f);
    hr = pBurner->SetDrive(drive.Get());
    if (SUCCEEDED(hr))
        hr = pBurner->Prepare();
    if (SUCCEEDED(hr))
        hr = pBurner->SetMode(kFileBackupMode);
    if (SUCCEEDED(hr)) {
        SetHighestSpeed(pBurner);
        char szVolumeId[kVolumeIdChars + 1] = {};
        if (nDisc == -1)
            strcpy(szVolumeId, kVolumeIdNoDisc);
        else
            snprintf(szVolumeId, sizeof szVolumeId, kVolumeIdFormat, nDisc);
        hr = pBurner->SetVolumeId(szVolumeId);
    }
    if (FAILED(hr))
        CloseActiveBurner();
    return hr;
}

void CDiscBurner::CloseActiveBurner()
{
    if (IBurnSession* pBurner = ActiveBurner()) {
        pBurner->EndSession();
        pBurner->Close();
        pBurner->Detach();
    }
    SetActiveBurner(nullptr);
}

HRESULT CDiscBurner::RunAndWait(int nCommand)
{
    IBurnSession* pBurner = ActiveBurner();
    if (!pBurner)
        return NV_E_BURNER_OBJECTS;
    // A cancel that came before the command must not let the disc burn.
    if (m_bBurnCancelled) {
        m_bBurnCancelled = FALSE;
        return NV_E_USER_CANCELLED;
    }
    HRESULT hr = pBurner->RunCommand(nCommand, 0, nullptr);
    if (FAILED(hr))
        return hr;
    HRESULT hrWait = S_OK;
    do {
        int nStage = BRN_STAGE_NONE;
        float fProgress = 0.0f;
        hrWait = pBurner->Wait(kPollMs, &nStage, &fProgress);
        switch (nStage) {
        case BRN_STAGE_LEAD_IN: SendEvent(BEC_LEAD_IN, fProgress); break;
        case BRN_STAGE_CACHE: SendEvent(BEC_CACHE, fProgress); break;
        case BRN_STAGE_WRITING: SendEvent(BEC_WRITE, fProgress); break;
        case BRN_STAGE_FINISHING: SendEvent(BEC_FINISH, fProgress); break;
        default: break;
        }
    } while (hrWait == BRN_E_STILL_RUNNING);
    if (m_bBurnCancelled) {
        m_bBurnCancelled = FALSE;
        return NV_E_USER_CANCELLED;
    }
    return FAILED(hrWait) ? hrWait : pBurner->GetResult();
}

// The restore program and the imaging library go onto the first disc. A
// source the program folder lacks is left out (the set stays restorable
// from the installed program); every add that is made is checked.
HRESULT CDiscBurner::AddRestoreTool()
{
    if (m_nBurnDisc != 1)
        return 1;
    IBurnSession* pBurner = ActiveBurner();
    std::wstring strProgram = m_strProgramDir + L"\\" + kRestoreProgram;
    HRESULT hr = S_OK;
    if (NvFileExists(strProgram.c_str()))
        hr = pBurner->AddFile((m_strLabel + L"\\" + kRestoreProgramOnDisc).c_str(), strProgram.c_str(), nullptr,
                              nullptr, nullptr);
    if (FAILED(hr) || !NvDirectoryExists((m_strProgramDir + L"\\" + kImagingFolder).c_str()))
        return hr;
    hr = pBurner->AddFolder(m_strLabel.c_str(), kImagingFolder, nullptr, BRN_FOLDER_HIDDEN);
    for (const wchar_t* bitness : kImagingBitnesses) {
        if (FAILED(hr))
            break;
        std::wstring strDiscDir = m_strLabel + L"\\" + kImagingFolder;
        hr = pBurner->AddFolder(strDiscDir.c_str(), bitness, nullptr, BRN_FOLDER_HIDDEN);
        std::wstring strSourceDir = m_strProgramDir + L"\\" + kImagingFolder + L"\\" + bitness + L"\\";
        for (const wchar_t* file : kImagingFiles) {
            std::wstring strSource = strSourceDir + file;
            if (FAILED(hr) || !NvFileExists(strSource.c_str()))
                continue;
            hr = pBurner->AddFile((strDiscDir + L"\\" + bitness + L"\\" + file).c_str(), strSource.c_str(), nullptr,
                                  nullptr, nullptr);
        }
    }
    return hr;
}
