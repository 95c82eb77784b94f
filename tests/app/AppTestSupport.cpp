#include "AppTestSupport.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "CSimPc.h"

namespace AppTestSupport {

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

std::string Profile()
{
    const char* p = getenv("SUITE_SIMPC");
    return p ? p : "";
}

std::string ReadAll(const std::wstring& path)
{
    std::ifstream f(path.c_str(), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string Journal()
{
    CSimPc pc(L"AppTest");
    return pc.Open() ? ReadAll(pc.Root() + L"\\journal.log") : std::string();
}

} // namespace AppTestSupport
