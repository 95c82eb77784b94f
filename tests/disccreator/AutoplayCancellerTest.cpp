// The AutoPlay canceller is found in the running object table under its
// class moniker, from this process and from another one, and answers every
// query with "cancel"; after the revocation it is gone.
#include <gtest/gtest.h>

#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "CQueryCancelAutoplay.h"
#include "DiscTestPc.h"

namespace {

// {DDEFE873-6997-4E68-BE26-39B633ADBE12}
const DWORD kProbeTimeoutMs = 60000;
const IID kIidQueryCancelAutoPlay = {0xDDEFE873, 0x6997, 0x4E68, {0xBE, 0x26, 0x39, 0xB6, 0x33, 0xAD, 0xBE, 0x12}};

HRESULT LookUp(IUnknown** ppObject)
{
    IMoniker* pMoniker = nullptr;
    IRunningObjectTable* pTable = nullptr;
    HRESULT hr = CreateClassMoniker(CLSID_AutoplayCancellerMoniker, &pMoniker);
    if (SUCCEEDED(hr))
        hr = GetRunningObjectTable(0, &pTable);
    if (SUCCEEDED(hr))
        hr = pTable->GetObject(pMoniker, ppObject);
    if (pTable)
        pTable->Release();
    if (pMoniker)
        pMoniker->Release();
    return hr;
}

// Exit code of the probe program: 0 when it finds the canceller running.
DWORD ProbeFromAnotherProcess()
{
    wchar_t wszExe[MAX_PATH];
    GetModuleFileNameW(nullptr, wszExe, MAX_PATH);
    std::wstring line = wszExe;
    line = L"\"" + line.substr(0, line.rfind(L'\\')) + L"\\AutoplayProbe.exe\"";
    return DiscTestPc::Run(line, nullptr, nullptr, kProbeTimeoutMs);
}

TEST(AutoplayCanceller, RegisteredAnswersCancelThenRevoked)
{
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    ASSERT_EQ(S_OK, RegisterAutoplayCanceller());

    IUnknown* pObject = nullptr;
    ASSERT_EQ(S_OK, LookUp(&pObject));
    IQueryCancelAutoPlay* pCanceller = nullptr;
    ASSERT_EQ(S_OK, pObject->QueryInterface(kIidQueryCancelAutoPlay, reinterpret_cast<void**>(&pCanceller)));
    IUnknown* pOther = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(E_NOINTERFACE, pObject->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&pOther)));
    EXPECT_EQ(nullptr, pOther);
    struct Case {
        const wchar_t* path;
        DWORD contentType;
    } const kCases[] = {{L"E:\\", 0}, {L"F:\\", 0x10}, {L"", 0xFFFFFFFF}};
    for (const Case& c : kCases)
        EXPECT_EQ(S_FALSE, pCanceller->AllowAutoPlay(c.path, c.contentType, L"Recovery13", 1234)) << c.path;
    pCanceller->Release();
    pObject->Release();
    EXPECT_EQ(0u, ProbeFromAnotherProcess()) << "another process does not see the canceller";

    EXPECT_EQ(S_OK, RevokeAutoplayCanceller());
    pObject = nullptr;
    EXPECT_NE(S_OK, LookUp(&pObject));
    EXPECT_EQ(1u, ProbeFromAnotherProcess());
    CoUninitialize();
}

} // namespace
