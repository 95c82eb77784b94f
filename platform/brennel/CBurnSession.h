// A burner: a session on one drive into which the caller adds a tree, then
// burns it or reads the disc's information. Free-threaded: the burn runs on
// a worker thread of its own, while Wait, Cancel and the queries may come
// from any thread; every member below the mutex is guarded by it.
#pragma once

#include "Brennel.h"
#include "CBrennelUnknown.h"
#include "CBurnRun.h"
#include "CDiscTree.h"
#include "SimPcTypes.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CBurnSession final : public CBrennelUnknown<CBurnSession, IBurnSession> {
public:
    // bCD: the burner of the CD kind, which burns CD media only; the other
    // kind burns every other medium.
    explicit CBurnSession(bool bCD);

    STDMETHODIMP SetDrive(IBurnDrive* pDrive) override;
    STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
    STDMETHODIMP Prepare() override;
    STDMETHODIMP GetMediaInfo(int* pnMode, BOOL* pbBlank, UINT* puCapacity, UINT* puSessions, BOOL* pbRewritable,
                              void* pReserved1, void* pReserved2) override;
    STDMETHODIMP GetWriteSpeedCount(UINT* puCount, void* pReserved) override;
    STDMETHODIMP GetWriteSpeed(UINT uIndex, float* pfSpeed) override;
    STDMETHODIMP GetCurrentWriteSpeed(float* pfSpeed) override;
    STDMETHODIMP SetWriteSpeed(float fSpeed) override;
    STDMETHODIMP RunCommand(int nCommand, DWORD dwFlags, void* pReserved) override;
    STDMETHODIMP Cancel() override;
    STDMETHODIMP Wait(int nTimeoutMs, int* pnStage, float* pfProgress) override;
    STDMETHODIMP GetResult() override;
    STDMETHODIMP Close() override;
    STDMETHODIMP Detach() override;
    STDMETHODIMP Reserved17() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved18() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved19() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved20() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved21() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved22() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved23() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved24() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved25() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved26() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved27() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved28() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved29() override { return E_NOTIMPL; }
    STDMETHODIMP SetMode(int nMode) override;
    STDMETHODIMP SetVolumeId(const char* pszVolumeId) override;
    STDMETHODIMP AddFile(const wchar_t* pwszDiscPath, const wchar_t* pwszSource, void* pReserved1, void* pReserved2,
                         void* pReserved3) override;
    STDMETHODIMP AddFolder(const wchar_t* pwszParent, const wchar_t* pwszName, void* pReserved, DWORD dwFlags) override;
    STDMETHODIMP Reserved34() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved35() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved36() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved37() override { return E_NOTIMPL; }
    STDMETHODIMP SetBootImage(const wchar_t* pwszPath) override;
    STDMETHODIMP Reserved39() override { return E_NOTIMPL; }
    STDMETHODIMP EndSession() override;
    STDMETHODIMP GetVolumeLabel(char* pszLabel, UINT uSize) override;
    STDMETHODIMP Reserved42() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved43() override { return E_NOTIMPL; }
    STDMETHODIMP GetFreeSectors(UINT* puSectors, void* pReserved) override;

    static const size_t kMaxVolumeIdChars = 32;
    static const size_t kMaxSpeeds = 16;

private:
    friend class CBrennelUnknown<CBurnSession, IBurnSession>;
    ~CBurnSession();

    using Lock = std::unique_lock<std::mutex>;

    // The disc in the prepared drive, checked against this burner's kind.
    HRESULT ReadDisc(SimDisc& disc);
    // As ReadDisc, once the session is prepared.
    HRESULT PreparedDisc(SimDisc& disc);
    HRESULT StartBurn(Lock& lock);
    HRESULT ClaimDrive(CBurnRun::Plan& plan);
    HRESULT Launch(CBurnRun::Plan plan);
    void RunBurn(CBurnRun* run);
    void JoinWorker(Lock& lock);
    HRESULT CheckIdle() const;
    HRESULT CheckEditable() const;
    enum class CloseStep { Session, Tree, Drive };
    HRESULT Forget(CloseStep step);
    void ResetTree();

    const bool m_bCD;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    char m_cDrive = 0;
    bool m_bPrepared = false;
    bool m_bInfoRead = false;         // command 6 ran in this prepared session
    int m_nMode = 0;
    std::string m_volumeId;
    std::wstring m_bootImage;
    std::vector<float> m_speeds;
    float m_fSpeed = 0.0f;
    CDiscTree m_tree;

    std::thread m_worker;
    bool m_bRunning = false;
    bool m_bCancel = false;
    int m_nStage = BRN_STAGE_NONE;
    float m_fProgress = 0.0f;
    HRESULT m_hrResult = S_OK;
};
