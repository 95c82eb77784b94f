// Expands the rule-file entries over the file system: a folder entry
// becomes every file and sub-folder below it, a file entry is copied.
#pragma once

#include <windows.h>

#include <string>
#include <unordered_set>
#include <vector>

class ICollectors;
class IEntry;

class Walker {
public:
    Walker() = default;

    // Takes the unplaced entries of every level, lowest level first.
    HRESULT SetCollectors(ICollectors* pSource);
    // Empties the target and fills it with the walked entries. A required
    // entry that cannot be collected (a missing file, a folder that cannot
    // be listed, a path too long) fails the walk with NV_E_NOT_FOUND.
    HRESULT Walk(ICollectors* pTarget);

private:
    HRESULT WalkFolder(IEntry& folder, const std::wstring& source, const std::wstring& disc, ICollectors& target);
    HRESULT CollectFile(IEntry& entry, ICollectors& target);

    std::vector<IEntry*> m_entries;
    std::unordered_set<IEntry*> m_members;
};
