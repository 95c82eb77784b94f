// One burn of a prepared tree onto the blank disc in a drive, run on the
// burner's worker thread: the writing stage, the data written out into the
// disc's folder, the finishing stage, then the disc recorded in the
// simulated PC. Faults requested through the PC's description fire here.
#pragma once

#include "CDiscTree.h"

#include <functional>
#include <string>

class CBurnRun {
public:
    struct Plan {
        char letter = 0;
        std::wstring discId;
        CDiscTree tree;
        ULONGLONG sectors = 0;
        std::string volumeId;
        std::wstring bootImage;
        std::wstring fault;     // as the drive's "fault" key
        DWORD burnMs = 0;
    };
    // Told every stage and progress; asked whether to stop, waiting up to
    // the given time for a cancel.
    using Progress = std::function<void(int stage, float progress)>;
    using Cancelled = std::function<bool(DWORD waitMs)>;

    CBurnRun(Plan plan, Progress progress, Cancelled cancelled);
    CBurnRun(const CBurnRun&) = delete;
    CBurnRun& operator=(const CBurnRun&) = delete;

    // The burn's result: S_OK once the disc is recorded.
    HRESULT Run();

    // The share of the burn's time spent writing; the rest finishes the disc.
    static constexpr float kWritingShare = 0.8f;
    static constexpr DWORD kTickMs = 20;
    static constexpr DWORD kPollMs = 100;

private:
    struct Fault {
        enum Kind { None, FailAt, FailFinish, UnplugAt } kind = None;
        int percent = 0;
    };
    static Fault ParseFault(const std::wstring& text);

    HRESULT Phase(int stage, DWORD ms, const std::function<HRESULT(float)>& check);
    HRESULT WritingCheck(float progress);
    HRESULT Poll(int stage, float progress);
    HRESULT Unplug();
    HRESULT WriteData();
    HRESULT Record();
    void Spoil(HRESULT why);
    void SetState(const std::wstring& state);

    Plan m_plan;
    Progress m_progress;
    Cancelled m_cancelled;
    Fault m_fault;
    bool m_bWrote = false;            // data reached the disc: a failure spoils it
    ULONGLONG m_lastPoll = 0;
    int m_lastTenth = -1;
};
