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

// A refused disc is pushed out. When the tray does not open (a locked tray)
// the disc stays ready, and testing it again at once would spin for ever with
// no way to cancel: the user is asked as for a missing disc instead.
BOOL CDiscBurner::RefuseDisc(UINT uTextId)
{
    if (SUCCEEDED(EjectDisc(TRUE)))
        return TRUE;
    return PromptForMedium(uTextId);
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
        if (!RefuseDisc(kTextInsertBlankDisc))
            return NV_E_USER_CANCELLED;
    }
}

// A recorded disc, that is, a medium whose query succeeded and is not blank.
HRESULT CDiscBurner::QueryRecordedDisc(int* pnType, ULONGLONG* pullFree)
{
    *pnType = 0;
    *pullFree = 0;
    BOOL bBlank = FALSE;
    HRESULT hr = GetMediaInfo(pnType, &bBlank, pullFree);
    if (FAILED(hr))
        return hr;
    return bBlank ? S_FALSE : S_OK;
}

// The boot optical drive is asked for by its index on every round, so that
// the wait is on it even while it is empty or after a backup chose another
// writer.
HRESULT CDiscBurner::WaitForRecoveryDisc(int* pnType, ULONGLONG* pullFree)
{
    for (;;) {
        wchar_t wcBoot = m_queries.bootDriveLetter ? m_queries.bootDriveLetter() : 0;
        if (wcBoot)
            SelectDrive(wcBoot);
        if (IsMediaReady() != S_OK && !PromptForMedium(kTextInsertDisc))
            return NV_E_USER_CANCELLED;
        if (QueryRecordedDisc(pnType, pullFree) == S_OK && m_queries.firstUserDiscPresent &&
            m_queries.firstUserDiscPresent())
            return S_OK;
        if (!RefuseDisc(kTextInsertDisc))
            return NV_E_USER_CANCELLED;
    }
}

// The diagnostics disc is a factory disc: it is waited for in the factory
// disc's drive (the boot optical drive), and the folder is looked for in the
// drive that was waited on. Testing another drive's letter could never end
// the wait.
HRESULT CDiscBurner::WaitForDiagnosticsDisc(int* pnType, ULONGLONG* pullFree)
{
    wchar_t wcDrive = m_queries.factoryDiscLetter ? m_queries.factoryDiscLetter() : 0;
    if (!wcDrive && m_queries.bootDriveLetter)
        wcDrive = m_queries.bootDriveLetter();
    if (wcDrive)
        SelectDrive(wcDrive);
    for (;;) {
        if (IsMediaReady() != S_OK && !PromptForMedium(kTextInsertDisc))
            return NV_E_USER_CANCELLED;
        std::wstring strFolder = std::wstring(1, m_wcCurDrive) + kDiagnosticsFolder;
        if (QueryRecordedDisc(pnType, pullFree) == S_OK && NvDirectoryExists(strFolder.c_str()))
            return S_OK;
        if (!RefuseDisc(kTextInsertDisc))
            return NV_E_USER_CANCELLED;
    }
}
