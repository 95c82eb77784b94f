// Splits an open WIM into parts of at most a given size: the first part at
// the given path, the others named with 2, 3, ... before the extension. A
// resource larger than a part gets a part of its own.
#pragma once

#include <windows.h>

#include <string>

class CWimHandle;

class CWimSplitter {
public:
    CWimSplitter(CWimHandle& wim, HANDLE hMessages);
    DWORD Split(const std::wstring& firstPart, uint64_t partSize);

    static std::wstring PartName(const std::wstring& firstPart, unsigned number);

private:
    CWimHandle& m_wim;
    HANDLE m_hMessages;
};
