// Binds Brennel.dll as both programs do and drives the simulated PC's
// optical drive E: around it: new discs, drive settings, faults.
#pragma once

#include "Brennel.h"
#include "CSimPc.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class BrennelFixture : public ::testing::Test {
protected:
    static const char kLetter = 'E';

    void SetUp() override;
    void TearDown() override;

    // A new disc in E: (tray closed); its id.
    std::wstring InsertDisc(DWORD media, DWORD capacity, bool blank);
    // Changes the first optical drive in the description.
    void ChangeDrive(const std::function<void(SimOptical&)>& change);
    SimPcState State();
    SimOptical Drive();
    SimDisc Disc(const std::wstring& id);

    // The program's burner for a disc type mode (the CD burner for CD media).
    IBurnSession* Burner(int mode) { return mode == DTM_CDR || mode == DTM_CDRW ? m_pCD : m_pDVD; }
    IBurnDrive* GetDrive(char letter = kLetter);
    // SetDrive and Prepare on E:.
    HRESULT Attach(IBurnSession* pSession);
    // EndSession, Close, Detach, as both programs close a burner.
    void Detach(IBurnSession* pSession);
    // Waits as the programs do, 100 ms at a time, recording every stage and
    // progress; the result of the first wait that does not report a running
    // command.
    HRESULT WaitAll(IBurnSession* pSession, std::vector<std::pair<int, float>>* seen = nullptr);
    // A file of the given size in the test's own folder; only its last byte
    // is written beyond the text, so that large files stay sparse.
    std::wstring SourceFile(const std::wstring& name, const std::string& text, ULONGLONG size = 0);

    HMODULE m_module = nullptr;
    PFN_BurnDllGetClassObject m_pfnGetClassObject = nullptr;
    PFN_BurnDllCanUnloadNow m_pfnCanUnloadNow = nullptr;
    IBurnEngine* m_pEngine = nullptr;
    IBurnSession* m_pCD = nullptr;
    IBurnSession* m_pDVD = nullptr;
    std::wstring m_sources;
    std::vector<IUnknown*> m_owned;
    std::vector<SimOptical> m_savedDrives;
};

// Releases a COM pointer at the end of a scope.
template <class T>
class Owned {
public:
    explicit Owned(T* p = nullptr) : m_p(p) {}
    ~Owned()
    {
        if (m_p)
            m_p->Release();
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    T** Out() { return &m_p; }

private:
    T* m_p;
};
