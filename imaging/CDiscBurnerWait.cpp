// Waiting until the right disc is in the drive: while no medium is ready the
// user is asked through the prompt; a disc that fails the test is pushed out
// by opening the tray.
#include "CDiscBurner.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"

namespace {

const wchar_t kDiagnosticsFolder[] = L":\\zq\\PCDRWINPE\\PC-Doctor for Win PE";

} // namespace

// Without a prompt nobody can insert a disc: the wait ends as cancelled.
BOOL CDiscBurner::PromptForMedium(UINT uTextId)
{
    return m_pPrompt ? m_pPrompt->WaitForMedium(uTextId) : FALSE;
}

bool CDiscBurner::IsBlankDiscAccepted(int nType, BOOL bBlank, ULONGLONG ullFree) const
{
    bool bKind = nType == DTM_DVDR || nType == DTM_DVDPLUSR ||
                 (m_bAllowRewritable && (nType == DTM_DVDRW || nType == DTM_DVDPLUSRW));
    return bKind && bBlank && ullFree > m_sizes.ullMinBlankFree;
}

HRESULT CDiscBurner::WaitForBlankDisc(int* pnType, ULONGLONG* pullFree)
{
    for (;;) {
        // A cancel of the backup also ends a wait between discs.
        if (m_bBurnCancelled)
            return NV_E_USER_CANCELLED;
        if (IsMediaReady() != S_OK) {
            EjectDisc(TRUE);
            if (!PromptForMedium(kTextInsertBlankDisc))
                return NV_E_USER_CANCELLED;
        }
        *pnType = 0;
        *pullFree = 0;
        BOOL bBlank = FALSE;
        HRESULT hr = GetMediaInfo(pnType, &bBlank, pullFree);
        if (SUCCEEDED(hr) && IsBlankDiscAccepted(*pnType, bBlank, *pullFree))
            return hr;
        if (m_pPrompt)
            m_pPrompt->TellDiscRefused(kTextDiscUnusable);
        EjectDisc(TRUE);
    }
}

HRESULT CDiscBurner::WaitForRecoveryDisc(int* pnType, ULONGLONG* pullFree)
{
    for (;;) {
        wchar_t wcBoot = m_queries.bootDriveLetter ? m_queries.bootDriveLetter() : 0;
        if (wcBoot)
            m_wcCurDrive = wcBoot;
        if (IsMediaReady() != S_OK && !PromptForMedium(kTextInsertDisc))
            return NV_E_USER_CANCELLED;
        *pnType = 0;
        *pullFree = 0;
        BOOL bBlank = FALSE;
        HRESULT hr = GetMediaInfo(pnType, &bBlank, pullFree);
        if (SUCCEEDED(hr) && !bBlank && m_queries.firstUserDiscPresent && m_queries.firstUserDiscPresent())
            return S_OK;
        EjectDisc(TRUE);
    }
}

// The disc is tested in the drive that was asked about: a test on another
// drive's letter could never end the wait.
HRESULT CDiscBurner::WaitForDiagnosticsDisc(int* pnType, ULONGLONG* pullFree)
{
    wchar_t wcFactory = m_queries.factoryDiscLetter ? m_queries.factoryDiscLetter() : 0;
    if (wcFactory)
        SelectDrive(wcFactory);
    for (;;) {
        if (IsMediaReady() != S_OK && !PromptForMedium(kTextInsertDisc))
            return NV_E_USER_CANCELLED;
        *pnType = 0;
        *pullFree = 0;
        BOOL bBlank = FALSE;
        HRESULT hr = GetMediaInfo(pnType, &bBlank, pullFree);
        std::wstring strFolder = std::wstring(1, m_wcCurDrive) + kDiagnosticsFolder;
        if (SUCCEEDED(hr) && !bBlank && NvDirectoryExists(strFolder.c_str()))
            return S_OK;
        EjectDisc(TRUE);
    }
}
