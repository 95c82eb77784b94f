// Started by MfcArchive: prints when its per-thread and per-process objects
// are destroyed, so the test can check the order at thread end and process exit.
#include <afxwin.h>
#include <cstring>

namespace {
void Say(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, (DWORD)strlen(text), &written, nullptr);
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "\n", 1, &written, nullptr);
}

struct CProcessThing : public CNoTrackObject {
    ~CProcessThing() override { Say("process object"); }
};
struct CThreadThing : public CNoTrackObject {
    bool mainThread = false;
    ~CThreadThing() override { Say(mainThread ? "main thread object" : "worker thread object"); }
};

// Destroyed in reverse order of construction: the thread-local first.
CProcessLocal<CProcessThing> g_process;
CThreadLocal<CThreadThing> g_thread;

DWORD WINAPI Worker(LPVOID) {
    g_thread.GetData();
    return 0;
}
} // namespace

int main() {
    g_process.GetData();
    g_thread.GetData()->mainThread = true;
    HANDLE h = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr);
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
    Say("main returns");
    return 0;
}
