#include "WineVolume.h"

#include <winioctl.h>

#include <cstring>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

namespace {

// The request record of Wine's mount manager for letters backed by a Unix
// folder (its own control codes 32 and 33 of device type 'm').
struct WineUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

const ULONG kMountMgrType = 'm';
const DWORD kDefineUnixDrive = CTL_CODE(kMountMgrType, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
const DWORD kQueryUnixDrive = CTL_CODE(kMountMgrType, 33, METHOD_BUFFERED, FILE_READ_ACCESS);
const DWORD kReplySize = 4096;

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};

} // namespace

bool RefreshWineVolume(wchar_t letter)
{
    HANDLE h = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::unique_ptr<void, HandleCloser> manager(h);

    std::vector<char> reply(kReplySize, 0);
    WineUnixDrive query = {};
    query.size = sizeof(query);
    query.letter = (WCHAR)towlower(letter);
    DWORD got = 0;
    if (!DeviceIoControl(h, kQueryUnixDrive, &query, sizeof(query), reply.data(), kReplySize, &got, nullptr) ||
        got < sizeof(WineUnixDrive))
        return false;
    const WineUnixDrive* known = (const WineUnixDrive*)reply.data();
    if (known->mountPointOffset < sizeof(WineUnixDrive) || known->mountPointOffset >= got)
        return false;
    std::string mountPoint(reply.data() + known->mountPointOffset,
                           strnlen(reply.data() + known->mountPointOffset, got - known->mountPointOffset));

    std::vector<char> request(sizeof(WineUnixDrive) + mountPoint.size() + 1, 0);
    WineUnixDrive* define = (WineUnixDrive*)request.data();
    define->size = (ULONG)request.size();
    define->type = known->type;
    define->letter = query.letter;
    define->mountPointOffset = sizeof(WineUnixDrive);
    memcpy(request.data() + sizeof(WineUnixDrive), mountPoint.c_str(), mountPoint.size() + 1);
    return DeviceIoControl(h, kDefineUnixDrive, request.data(), (DWORD)request.size(), nullptr, 0, &got, nullptr) !=
           FALSE;
}
