#include "CWimXml.h"

#include <cstdio>

namespace {

std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::u16string Number(uint64_t v) { return Widen(std::to_string(v)); }

std::u16string Time(const char* tag, uint64_t t)
{
    char buf[128];
    snprintf(buf, sizeof(buf), "<%s><HIGHPART>0x%08X</HIGHPART><LOWPART>0x%08X</LOWPART></%s>", tag,
             (unsigned)(t >> 32), (unsigned)t, tag);
    return Widen(buf);
}

std::u16string Renumber(const std::u16string& element, size_t index)
{
    size_t tagEnd = element.find(u'>');
    size_t at = element.find(u"INDEX=\"");
    std::u16string number = Number(index);
    if (at == std::u16string::npos || at > tagEnd)
        return u"<IMAGE INDEX=\"" + number + u"\"" + element.substr(6);
    size_t valueStart = at + 7;
    size_t valueEnd = element.find(u'"', valueStart);
    return element.substr(0, valueStart) + number + element.substr(valueEnd);
}

} // namespace

std::vector<std::u16string> CWimXml::Images(const std::u16string& xml)
{
    std::vector<std::u16string> out;
    size_t pos = 0;
    for (;;) {
        size_t start = xml.find(u"<IMAGE", pos);
        if (start == std::u16string::npos) break;
        size_t end = xml.find(u"</IMAGE>", start);
        if (end == std::u16string::npos) break;
        end += 8;
        out.push_back(xml.substr(start, end - start));
        pos = end;
    }
    return out;
}

std::u16string CWimXml::ImageElement(const WimImageInfo& info)
{
    return u"<IMAGE INDEX=\"0\"><DIRCOUNT>" + Number(info.dirCount) + u"</DIRCOUNT><FILECOUNT>" +
           Number(info.fileCount) + u"</FILECOUNT><TOTALBYTES>" + Number(info.totalBytes) +
           u"</TOTALBYTES><HARDLINKBYTES>" + Number(info.hardLinkBytes) + u"</HARDLINKBYTES>" +
           Time("CREATIONTIME", info.creationTime) + Time("LASTMODIFICATIONTIME", info.modificationTime) +
           u"</IMAGE>";
}

std::u16string CWimXml::Document(const std::vector<std::u16string>& images, uint64_t totalBytes)
{
    std::u16string doc = u"<WIM><TOTALBYTES>" + Number(totalBytes) + u"</TOTALBYTES>";
    for (size_t i = 0; i < images.size(); ++i)
        doc += Renumber(images[i], i + 1);
    return doc + u"</WIM>";
}
