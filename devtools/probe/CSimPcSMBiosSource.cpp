#include "CSimPcSMBiosSource.h"

#include "CSimPc.h"

#include <string>

namespace {

std::string Ansi(const std::wstring& wstr)
{
    std::string s;
    for (wchar_t wc : wstr)
        s += (wc > 0 && wc < 128) ? static_cast<char>(wc) : '?';
    return s;
}

} // namespace

BOOL CSimPcSMBiosSource::GetRawTable(BYTE* pbMajor, BYTE* pbMinor, std::vector<BYTE>& vecTable)
{
    CSimPc pc(L"EngineProbe");
    SimPcState state;
    if (!pc.Open() || FAILED(pc.Read(state)))
        return FALSE;
    std::string strings[] = {Ansi(state.Value(L"smbios_manufacturer")), Ansi(state.Value(L"smbios_product")),
                             Ansi(state.Value(L"smbios_version")), Ansi(state.Value(L"smbios_serial"))};
    // Type 1 of SMBIOS 2.6: 27 bytes, string numbers only for texts present.
    std::vector<BYTE> table(27, 0);
    table[0] = 1;
    table[1] = 27;
    BYTE bNext = 1;
    std::vector<BYTE> set;
    for (int i = 0; i < 4; ++i) {
        if (strings[i].empty())
            continue;
        table[4 + i] = bNext++;
        set.insert(set.end(), strings[i].begin(), strings[i].end());
        set.push_back(0);
    }
    if (set.empty())
        set.push_back(0);
    set.push_back(0);
    table.insert(table.end(), set.begin(), set.end());
    const BYTE abEnd[] = {127, 4, 0xFF, 0xFF, 0, 0};
    table.insert(table.end(), abEnd, abEnd + sizeof(abEnd));
    *pbMajor = 2;
    *pbMinor = 6;
    vecTable.swap(table);
    return TRUE;
}
