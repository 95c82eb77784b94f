// The XML data of a WIM file: one IMAGE element per image with its counts
// and times, inside a WIM element.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WimImageInfo {
    uint64_t dirCount = 0;
    uint64_t fileCount = 0;
    uint64_t totalBytes = 0;
    uint64_t hardLinkBytes = 0;
    uint64_t creationTime = 0;
    uint64_t modificationTime = 0;
};

class CWimXml {
public:
    // The IMAGE elements of a document, in order, as they are written.
    static std::vector<std::u16string> Images(const std::u16string& xml);
    static std::u16string ImageElement(const WimImageInfo& info);
    // A document of the given elements, numbered 1, 2, ... in order.
    static std::u16string Document(const std::vector<std::u16string>& images, uint64_t totalBytes);
};
