// bcdedit.exe: "/store <file> /set <entry> <name> <value>" keeps the value
// in the store, a text file of "<entry> <name>=<value>" lines.
#include "BootTool.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ReadLines(const std::wstring& path)
{
    std::vector<std::string> lines;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f)
        return lines;
    char buf[1024];
    while (fgets(buf, sizeof buf, f)) {
        std::string line = buf;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        lines.push_back(line);
    }
    fclose(f);
    return lines;
}

std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CSimPc pc(L"bcdedit.exe");
    if (!pc.Open())
        return 2;
    std::wstring args = JoinArguments(argc, argv);
    int code = StartTool(pc, L"bcdedit", args);
    if (code)
        return code;
    if (argc != 7 || _wcsicmp(argv[1], L"/store") || _wcsicmp(argv[3], L"/set")) {
        pc.Journal(L"exit 87, not a /store ... /set command");
        return 87;
    }
    std::wstring store = argv[2];
    if (!IsWritableTarget(store)) {
        pc.Refuse(L"bcdedit store " + store);
        return 5;
    }
    std::string key = Narrow(argv[4]) + " " + Narrow(argv[5]) + "=";
    std::vector<std::string> lines = ReadLines(store);
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        if (line.compare(0, key.size(), key) != 0)
            kept.push_back(line);
    }
    kept.push_back(key + Narrow(argv[6]));
    MakeFoldersOf(store);
    FILE* f = _wfopen(store.c_str(), L"wb");
    if (!f) {
        pc.Journal(L"exit 3, the store cannot be written");
        return 3;
    }
    for (const std::string& line : kept)
        fprintf(f, "%s\r\n", line.c_str());
    fclose(f);
    pc.Journal(L"exit 0");
    return 0;
}
