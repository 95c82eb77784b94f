#include "CBurnRun.h"

#include "Brennel.h"
#include "CBurnerPc.h"
#include "SimPcText.h"
#include "WineVolume.h"

#include <algorithm>
#include <cwchar>

namespace {

using SimPcText::Format;

const int kPercent = 100;
const int kTenths = 10;
// The finishing fault strikes half-way through closing the disc.
const float kFinishFaultAt = 0.5f;

std::wstring StageName(int stage)
{
    return stage == BRN_STAGE_FINISHING ? L"finishing" : L"writing";
}

} // namespace

CBurnRun::CBurnRun(Plan plan, Progress progress, Cancelled cancelled)
    : m_plan(std::move(plan)), m_progress(std::move(progress)), m_cancelled(std::move(cancelled))
{
    m_fault = ParseFault(m_plan.fault);
}

CBurnRun::Fault CBurnRun::ParseFault(const std::wstring& text)
{
    Fault f;
    int n = 0;
    wchar_t tail = 0;
    if (text == L"fail-finish")
        f.kind = Fault::FailFinish;
    else if (swscanf(text.c_str(), L"fail-at:%d%lc", &n, &tail) == 1 && n >= 0 && n <= kPercent)
        f = {Fault::FailAt, n};
    else if (swscanf(text.c_str(), L"unplug-at:%d%lc", &n, &tail) == 1 && n >= 0 && n <= kPercent)
        f = {Fault::UnplugAt, n};
    return f;
}

HRESULT CBurnRun::Run()
{
    DWORD total = std::max<DWORD>(m_plan.burnMs, 1);
    DWORD writing = (DWORD)(total * kWritingShare);
    HRESULT hr = Phase(BRN_STAGE_WRITING, writing, [this](float p) { return WritingCheck(p); });
    if (SUCCEEDED(hr))
        hr = WriteData();
    if (SUCCEEDED(hr)) {
        hr = Phase(BRN_STAGE_FINISHING, total - writing, [this](float p) {
            return m_fault.kind == Fault::FailFinish && p >= kFinishFaultAt ? BRN_E_FINISH_FAILED : S_OK;
        });
    }
    if (SUCCEEDED(hr))
        hr = Record();
    if (FAILED(hr))
        Spoil(hr);
    return hr;
}

HRESULT CBurnRun::Phase(int stage, DWORD ms, const std::function<HRESULT(float)>& check)
{
    ULONGLONG start = GetTickCount64();
    for (;;) {
        ULONGLONG elapsed = GetTickCount64() - start;
        float progress = ms ? std::min(1.0f, (float)elapsed / (float)ms) : 1.0f;
        m_progress(stage, progress);
        HRESULT hr = check(progress);
        if (SUCCEEDED(hr))
            hr = Poll(stage, progress);
        if (FAILED(hr) || progress >= 1.0f)
            return hr;
        if (m_cancelled(kTickMs))
            return BRN_E_CANCELLED;
    }
}

HRESULT CBurnRun::WritingCheck(float progress)
{
    int percent = (int)(progress * kPercent);
    if (m_fault.kind == Fault::FailAt && percent >= m_fault.percent)
        return BRN_E_WRITE_FAILED;
    if (m_fault.kind == Fault::UnplugAt && percent >= m_fault.percent)
        return Unplug();
    m_bWrote = m_bWrote || progress > 0.0f;
    return S_OK;
}

// Notices a drive unplugged or a disc taken out by the harness, and shows
// the burn's state in the description every tenth of a stage.
HRESULT CBurnRun::Poll(int stage, float progress)
{
    int tenth = (int)(progress * kTenths) + (stage == BRN_STAGE_FINISHING ? kTenths + 1 : 0);
    ULONGLONG now = GetTickCount64();
    if (tenth == m_lastTenth && now - m_lastPoll < kPollMs)
        return S_OK;
    m_lastPoll = now;
    auto check = [&](const SimOptical& drive) -> HRESULT {
        if (!drive.present)
            return BRN_E_DRIVE_GONE;
        return drive.trayOpen || drive.disc != m_plan.discId ? BRN_E_NO_MEDIUM : S_OK;
    };
    if (tenth == m_lastTenth) {
        SimOptical drive;
        HRESULT hr = CBurnerPc::ReadDrive(m_plan.letter, drive);
        return FAILED(hr) ? hr : check(drive);
    }
    m_lastTenth = tenth;
    return CBurnerPc::ChangeDrive(m_plan.letter, [&](CSimPc&, SimPcState&, SimOptical& drive) -> HRESULT {
        HRESULT hr = check(drive);
        if (SUCCEEDED(hr))
            drive.burn = Format(L"%ls %d pid %lu", StageName(stage).c_str(), (int)(progress * kPercent),
                                GetCurrentProcessId());
        return hr;
    });
}

HRESULT CBurnRun::Unplug()
{
    HRESULT hr = CBurnerPc::ChangeDrive(m_plan.letter, [&](CSimPc& pc, SimPcState&, SimOptical& drive) -> HRESULT {
        if (!drive.disc.empty() && !drive.trayOpen && drive.present) {
            HRESULT moved = pc.MoveFolder(pc.DriveFolder(drive.letter), pc.DiscFolder(drive.disc));
            if (FAILED(moved))
                return moved;
        }
        drive.present = false;
        return S_OK;
    });
    CBurnerPc::Journal(Format(L"fault: %hc: unplugged during the burn -> 0x%08lX", m_plan.letter, (unsigned long)hr));
    return BRN_E_DRIVE_GONE;
}

HRESULT CBurnRun::WriteData()
{
    CSimPc pc(CBurnerPc::Who());
    if (!pc.Open())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    // The tray cannot open while the burn runs, so the disc stays behind the letter.
    HRESULT hr = m_plan.tree.WriteTo(pc.DriveFolder(m_plan.letter));
    if (FAILED(hr))
        CBurnerPc::Journal(Format(L"burn %hc: writing the tree failed: 0x%08lX", m_plan.letter, (unsigned long)hr));
    return hr;
}

HRESULT CBurnRun::Record()
{
    std::wstring label = SimPcText::Widen(m_plan.volumeId);
    HRESULT hr = CBurnerPc::ChangeDrive(m_plan.letter, [&](CSimPc& pc, SimPcState& state, SimOptical& drive) -> HRESULT {
        if (!drive.present)
            return BRN_E_DRIVE_GONE;
        SimDisc* disc = state.FindDisc(m_plan.discId);
        if (!disc || drive.trayOpen || drive.disc != m_plan.discId)
            return BRN_E_NO_MEDIUM;
        disc->blank = false;
        disc->label = label;
        disc->boot = m_plan.bootImage;
        disc->freeSectors -= (DWORD)std::min<ULONGLONG>(m_plan.sectors, disc->freeSectors);
        drive.burn = L"done";
        return pc.WriteLabel(pc.DriveFolder(drive.letter), label);
    });
    // Without this Wine would go on showing the blank disc's empty label.
    if (SUCCEEDED(hr))
        RefreshWineVolume((wchar_t)m_plan.letter);
    CBurnerPc::Journal(Format(L"burn %hc: disc %ls recorded as \"%ls\", %llu sectors%ls -> 0x%08lX", m_plan.letter,
                              m_plan.discId.c_str(), label.c_str(), m_plan.sectors,
                              m_plan.bootImage.empty() ? L"" : L", bootable", (unsigned long)hr));
    return hr;
}

// A write-once disc that received data is useless after a failed burn.
void CBurnRun::Spoil(HRESULT why)
{
    CBurnerPc::ChangeDrive(m_plan.letter, [&](CSimPc& pc, SimPcState& state, SimOptical& drive) -> HRESULT {
        drive.burn = why == BRN_E_CANCELLED ? std::wstring(L"cancelled") : Format(L"failed 0x%08lX", (unsigned long)why);
        SimDisc* disc = state.FindDisc(m_plan.discId);
        if (!disc || !m_bWrote)
            return S_OK;
        disc->blank = false;
        disc->freeSectors = 0;
        disc->label.clear();
        bool inDrive = drive.present && !drive.trayOpen && drive.disc == m_plan.discId;
        std::wstring folder = inDrive ? pc.DriveFolder(drive.letter) : pc.DiscFolder(m_plan.discId);
        HRESULT hr = pc.EmptyFolder(folder);
        return FAILED(hr) ? hr : pc.WriteLabel(folder, L"");
    });
    RefreshWineVolume((wchar_t)m_plan.letter);
    CBurnerPc::Journal(Format(L"burn %hc: ended with 0x%08lX%ls", m_plan.letter, (unsigned long)why,
                              m_bWrote ? L", the disc is spoilt" : L", the disc stays blank"));
}
