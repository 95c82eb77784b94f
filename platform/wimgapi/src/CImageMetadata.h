// The metadata resource of one image: security data and the directory tree.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "CSha1.h"

struct WimDentry {
    uint32_t attributes = 0;
    int32_t securityId = -1;
    uint64_t creationTime = 0;
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
    Sha1Digest hash{};        // unnamed data stream; all zero when empty
    uint64_t hardLinkId = 0;  // files sharing a non-zero id are one file
    uint32_t reparseTag = 0;
    std::u16string name;
    std::u16string shortName;
    std::vector<WimDentry> children;

    bool IsDirectory() const { return (attributes & 0x10) != 0; }
    bool IsReparsePoint() const { return (attributes & 0x400) != 0; }
};

class CImageMetadata {
public:
    // 0, or the error for a malformed tree: entries outside the data, loops,
    // or names that could leave the target folder ("..", separators).
    unsigned long Parse(const std::vector<uint8_t>& raw);
    std::vector<uint8_t> Serialize() const;

    WimDentry& Root() { return m_root; }
    const WimDentry& Root() const { return m_root; }
    // Every data stream the tree refers to.
    void CollectHashes(std::set<Sha1Digest>* hashes) const;

    static bool IsSafeName(const std::u16string& name);

private:
    unsigned long ParseList(const std::vector<uint8_t>& raw, uint64_t offset, WimDentry* parent, unsigned depth);
    unsigned long ParseDentry(const std::vector<uint8_t>& raw, uint64_t offset, WimDentry* d, uint64_t* next,
                              uint64_t* subdir);

    WimDentry m_root;
    std::vector<uint8_t> m_security;
    std::set<uint64_t> m_visitedLists;
    size_t m_count = 0;
};
