#include "IFreeSpace.h"

namespace {

class CSystemFreeSpace : public IFreeSpace {
public:
    BOOL GetFreeBytes(const wchar_t* root, ULONGLONG* bytes) override
    {
        ULARGE_INTEGER available{};
        if (!GetDiskFreeSpaceExW(root, &available, nullptr, nullptr))
            return FALSE;
        *bytes = available.QuadPart;
        return TRUE;
    }
};

} // namespace

IFreeSpace& SystemFreeSpace()
{
    static CSystemFreeSpace s_freeSpace;
    return s_freeSpace;
}
