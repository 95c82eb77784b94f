#include "DiscMedia.h"

namespace {

const int kDoubleLayerMB = 8050;
const int kDvdMB = 4350;
const int kCdMB = 640;

struct Media {
    int type;
    const wchar_t* name;
    int capacityMB;
};

const Media kMedia[] = {
    {DTM_CDR, L"CD-R", kCdMB},
    {DTM_CDRW, L"CD-RW", kCdMB},
    {DTM_DVDPRW_DL, L"DVD+RW DL", kDoubleLayerMB},
    {DTM_DVDMRW_DL, L"DVD-RW DL", kDoubleLayerMB},
    {DTM_DVDMR, L"DVD-R", kDvdMB},
    {DTM_DVDPR, L"DVD+R", kDvdMB},
    {DTM_DVDMRW, L"DVD-RW", kDvdMB},
    {DTM_DVDPRW, L"DVD+RW", kDvdMB},
    {DTM_DVDPR_DL, L"DVD+R DL", kDoubleLayerMB},
    {DTM_DVDMR_DL, L"DVD-R DL", kDoubleLayerMB},
};

} // namespace

int DiscTypeCapacityMB(int iType)
{
    for (const Media& m : kMedia) {
        if (m.type == iType)
            return m.capacityMB;
    }
    return kCdMB;
}

const wchar_t* DiscTypeName(int iType)
{
    for (const Media& m : kMedia) {
        if (m.type == iType)
            return m.name;
    }
    return nullptr;
}

int DiscTypeFromName(const wchar_t* pwszName)
{
    for (const Media& m : kMedia) {
        if (pwszName && !_wcsicmp(m.name, pwszName))
            return m.type;
    }
    return DTM_DVDMR;
}
