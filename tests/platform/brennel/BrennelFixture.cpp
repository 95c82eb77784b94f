#include "BrennelFixture.h"

#include "SimPcText.h"

#include <memory>

namespace {

IBurnSession* NewBurner(IBurnEngine* pEngine, REFGUID kind)
{
    IUnknown* pUnknown = nullptr;
    if (FAILED(pEngine->CreateBurner(kind, &pUnknown)) || !pUnknown)
        return nullptr;
    IBurnSession* pSession = nullptr;
    pUnknown->QueryInterface(IID_IBurnSession, (void**)&pSession);
    pUnknown->Release();
    return pSession;
}

} // namespace

void BrennelFixture::SetUp()
{
    m_module = LoadLibraryW(BRENNEL_DLL_NAME);
    ASSERT_NE(nullptr, m_module);
    m_pfnGetClassObject = reinterpret_cast<PFN_BurnDllGetClassObject>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_module, "DllGetClassObject")));
    m_pfnCanUnloadNow = reinterpret_cast<PFN_BurnDllCanUnloadNow>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_module, "DllCanUnloadNow")));
    ASSERT_NE(nullptr, m_pfnGetClassObject);
    ASSERT_NE(nullptr, m_pfnCanUnloadNow);
    IClassFactory* pFactory = nullptr;
    ASSERT_EQ(S_OK, m_pfnGetClassObject(CLSID_BurnEngine, IID_IClassFactory, (void**)&pFactory));
    HRESULT hr = pFactory->CreateInstance(nullptr, IID_IBurnEngine, (void**)&m_pEngine);
    pFactory->Release();
    ASSERT_EQ(S_OK, hr);
    m_pCD = NewBurner(m_pEngine, GUID_BurnerKindCD);
    m_pDVD = NewBurner(m_pEngine, GUID_BurnerKindDVD);
    ASSERT_NE(nullptr, m_pCD);
    ASSERT_NE(nullptr, m_pDVD);
    m_savedDrives = State().opticals;
    // Quick burns, unless a test asks for a slow one.
    ChangeDrive([](SimOptical& o) { o.burnMs = 300; });

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    m_sources = std::wstring(temp) + L"brennel-sources-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(m_sources.c_str(), nullptr);
}

void BrennelFixture::TearDown()
{
    // Each test starts from the profile's drives, with their discs taken out.
    CSimPc pc(L"test");
    EXPECT_TRUE(pc.Open());
    EXPECT_EQ(S_OK, pc.Update([&](SimPcState& s) {
        for (SimOptical& o : s.opticals) {
            o.queue.clear();
            o.locked = false;
            o.burn = L"idle";
            if (o.present && !o.trayOpen && !o.disc.empty())
                pc.EjectDisc(s, o);
        }
        s.opticals = m_savedDrives;
        return S_OK;
    }));
    for (IUnknown* p : m_owned)
        p->Release();
    if (m_pCD)
        m_pCD->Release();
    if (m_pDVD)
        m_pDVD->Release();
    if (m_pEngine)
        m_pEngine->Release();
    if (m_pfnCanUnloadNow) {
        EXPECT_EQ(S_OK, m_pfnCanUnloadNow()) << "an object of the engine was leaked";
    }
    if (m_module)
        FreeLibrary(m_module);
}

std::wstring BrennelFixture::InsertDisc(DWORD media, DWORD capacity, bool blank)
{
    CSimPc pc(L"test");
    EXPECT_TRUE(pc.Open());
    std::wstring id;
    EXPECT_EQ(S_OK, pc.Update([&](SimPcState& s) {
        SimDisc disc;
        disc.id = id = s.NewId(L"testdisc");
        disc.media = media;
        disc.blank = blank;
        disc.capacity = capacity;
        disc.freeSectors = blank ? capacity : capacity / 2;
        disc.label = blank ? L"" : L"WRITTEN";
        s.discs.push_back(disc);
        CreateDirectoryW(pc.DiscFolder(id).c_str(), nullptr);
        return pc.InsertDisc(s, *s.FindOptical(kLetter), id);
    }));
    return id;
}

void BrennelFixture::ChangeDrive(const std::function<void(SimOptical&)>& change)
{
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    ASSERT_EQ(S_OK, pc.Update([&](SimPcState& s) {
        change(s.opticals.at(0));
        return S_OK;
    }));
}

SimPcState BrennelFixture::State()
{
    CSimPc pc(L"test");
    SimPcState state;
    EXPECT_TRUE(pc.Open());
    EXPECT_EQ(S_OK, pc.Read(state));
    return state;
}

SimOptical BrennelFixture::Drive()
{
    SimPcState state = State();
    return state.opticals.empty() ? SimOptical() : state.opticals[0];
}

SimDisc BrennelFixture::Disc(const std::wstring& id)
{
    SimPcState state = State();
    SimDisc* disc = state.FindDisc(id);
    return disc ? *disc : SimDisc();
}

IBurnDrive* BrennelFixture::GetDrive(char letter)
{
    IBurnDrive* pDrive = nullptr;
    if (FAILED(m_pEngine->GetDrive(letter, &pDrive)))
        return nullptr;
    m_owned.push_back(pDrive);
    return pDrive;
}

HRESULT BrennelFixture::Attach(IBurnSession* pSession)
{
    IBurnDrive* pDrive = GetDrive();
    if (!pDrive)
        return E_FAIL;
    HRESULT hr = pSession->SetDrive(pDrive);
    return FAILED(hr) ? hr : pSession->Prepare();
}

void BrennelFixture::Detach(IBurnSession* pSession)
{
    EXPECT_EQ(S_OK, pSession->EndSession());
    EXPECT_EQ(S_OK, pSession->Close());
    EXPECT_EQ(S_OK, pSession->Detach());
}

HRESULT BrennelFixture::WaitAll(IBurnSession* pSession, std::vector<std::pair<int, float>>* seen)
{
    const int kStepMs = 100;
    const int kGiveUpSteps = 600;
    for (int i = 0; i < kGiveUpSteps; ++i) {
        int stage = -1;
        float progress = -1.0f;
        HRESULT hr = pSession->Wait(kStepMs, &stage, &progress);
        if (seen)
            seen->emplace_back(stage, progress);
        if (hr != BRN_E_STILL_RUNNING)
            return hr;
    }
    return E_ABORT;
}

std::wstring BrennelFixture::SourceFile(const std::wstring& name, const std::string& text, ULONGLONG size)
{
    std::wstring path = m_sources + L"\\" + name;
    HANDLE raw = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> file(raw == INVALID_HANDLE_VALUE ? nullptr : raw, CloseHandle);
    EXPECT_TRUE(file);
    if (!file)
        return path;
    DWORD written = 0;
    WriteFile(raw, text.data(), (DWORD)text.size(), &written, nullptr);
    if (size > text.size()) {
        LARGE_INTEGER last;
        last.QuadPart = (LONGLONG)size - 1;
        SetFilePointerEx(raw, last, nullptr, FILE_BEGIN);
        WriteFile(raw, "!", 1, &written, nullptr);
    }
    return path;
}
