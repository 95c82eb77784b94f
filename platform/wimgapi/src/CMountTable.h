// Mounted images. Without a filter driver a mount is emulated: the image is
// applied into the mount folder, and a commit captures the folder back as
// that image of the WIM file (the file is rewritten).
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

class CMountTable {
public:
    static CMountTable& Instance();

    // Each returns 0 or a system error code.
    DWORD Mount(const std::wstring& mountPath, const std::wstring& wimPath, DWORD index, bool readWrite);
    DWORD Unmount(const std::wstring& mountPath, const std::wstring& wimPath, DWORD index, bool commit);

private:
    struct Entry {
        std::wstring key;
        std::wstring mountPath;
        std::wstring wimPath;
        std::wstring wimKey;
        DWORD index;
        bool readWrite;
    };
    static std::wstring Key(const std::wstring& path);
    static DWORD Commit(const Entry& entry);
    static void EmptyFolder(const std::wstring& path);
    static bool IsEmptyFolder(const std::wstring& path);

    std::mutex m_lock;
    std::vector<Entry> m_entries;
};
