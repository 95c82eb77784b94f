#include "CDiskMgmt.h"

#include "CClassFactory.h"
#include "CDiskMgmtAux.h"
#include "CSimPc.h"

#include <cwchar>
#include <string>

namespace {

const wchar_t* Who()
{
    return sizeof(void*) == 8 ? L"IDiskMgmt/64" : L"IDiskMgmt/32";
}

std::wstring Hex(HRESULT hr)
{
    wchar_t buf[16];
    swprintf(buf, 16, L"0x%08lX", (unsigned long)hr);
    return buf;
}

// The description as it is now; failures are journalled by the caller.
HRESULT ReadState(CSimPc& pc, SimPcState& state)
{
    if (!pc.Open())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    return pc.Read(state);
}

// The description, and ERROR_INVALID_DRIVE for a disk it does not hold.
HRESULT ReadStateForDisk(CSimPc& pc, SimPcState& state, DWORD dwDisk)
{
    HRESULT hr = ReadState(pc, state);
    if (SUCCEEDED(hr) && dwDisk >= state.disks.size())
        hr = HRESULT_FROM_WIN32(ERROR_INVALID_DRIVE);
    return hr;
}

HRESULT FindPartition(SimPcState& state, DWORD dwDisk, DWORD dwPartition, SimPartition** pp)
{
    if (dwDisk >= state.disks.size())
        return HRESULT_FROM_WIN32(ERROR_INVALID_DRIVE);
    int slot = state.disks[dwDisk].SlotOfPartition(dwPartition);
    if (slot < 0)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    *pp = &state.disks[dwDisk].slots[slot];
    return S_OK;
}

DWORD FileSystemCode(const std::wstring& fs)
{
    if (!_wcsicmp(fs.c_str(), L"NTFS"))
        return DMFS_NTFS;
    if (!_wcsicmp(fs.c_str(), L"FAT32"))
        return DMFS_FAT32;
    if (!_wcsicmp(fs.c_str(), L"FAT16") || !_wcsicmp(fs.c_str(), L"FAT"))
        return DMFS_FAT16;
    return DMFS_UNKNOWN;
}

} // namespace

CDiskMgmt::CDiskMgmt() { ++g_lServerRefs; }
CDiskMgmt::~CDiskMgmt() { --g_lServerRefs; }

STDMETHODIMP CDiskMgmt::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IDiskMgmt) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IDiskMgmt*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CDiskMgmt::AddRef() { return (ULONG)++m_lRefs; }

STDMETHODIMP_(ULONG) CDiskMgmt::Release()
{
    long left = --m_lRefs;
    if (left == 0)
        delete this;
    return (ULONG)left;
}

STDMETHODIMP CDiskMgmt::GetAuxiliary(IDiskMgmtAux** ppAux)
{
    if (!ppAux)
        return E_POINTER;
    *ppAux = new (std::nothrow) CDiskMgmtAux();
    CSimPc pc(Who());
    if (pc.Open())
        pc.Journal(std::wstring(L"GetAuxiliary() -> ") + (*ppAux ? L"0" : L"E_OUTOFMEMORY"));
    return *ppAux ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CDiskMgmt::GetDiskCount(DWORD* pdwCount)
{
    if (!pdwCount)
        return E_POINTER;
    CSimPc pc(Who());
    SimPcState state;
    HRESULT hr = ReadState(pc, state);
    *pdwCount = SUCCEEDED(hr) ? (DWORD)state.disks.size() : 0;
    pc.Journal(L"GetDiskCount() -> " + Hex(hr) + L", " + std::to_wstring(*pdwCount));
    return hr;
}

STDMETHODIMP CDiskMgmt::GetDiskInfo(DWORD dwDisk, DiskMgmtDiskInfo* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    CSimPc pc(Who());
    SimPcState state;
    HRESULT hr = ReadStateForDisk(pc, state, dwDisk);
    if (SUCCEEDED(hr)) {
        const SimDisk& disk = state.disks[dwDisk];
        pInfo->dwValue1 = disk.bytesPerSector;
        pInfo->wValue2 = (WORD)disk.PartitionCount();
        pInfo->byValue3 = disk.ssd ? 1 : 0;
        pInfo->byValue4 = disk.removable ? 1 : 0;
        pInfo->ullValue5 = disk.size;
    }
    pc.Journal(L"GetDiskInfo(" + std::to_wstring(dwDisk) + L") -> " + Hex(hr));
    return hr;
}

STDMETHODIMP CDiskMgmt::GetPartitionCount(DWORD dwDisk, DWORD* pdwCount)
{
    if (!pdwCount)
        return E_POINTER;
    *pdwCount = 0;
    CSimPc pc(Who());
    SimPcState state;
    HRESULT hr = ReadStateForDisk(pc, state, dwDisk);
    if (SUCCEEDED(hr))
        *pdwCount = state.disks[dwDisk].PartitionCount();
    pc.Journal(L"GetPartitionCount(" + std::to_wstring(dwDisk) + L") -> " + Hex(hr) + L", " +
               std::to_wstring(*pdwCount));
    return hr;
}

STDMETHODIMP CDiskMgmt::GetPartitionInfo(DWORD dwDisk, DWORD dwPartition, DiskMgmtPartitionInfo* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    ZeroMemory(pInfo, sizeof(*pInfo));
    CSimPc pc(Who());
    SimPcState state;
    SimPartition* p = nullptr;
    HRESULT hr = ReadState(pc, state);
    if (SUCCEEDED(hr))
        hr = FindPartition(state, dwDisk, dwPartition, &p);
    if (SUCCEEDED(hr)) {
        pInfo->ullStartingOffset = p->start;
        pInfo->ullLength = p->size;
        pInfo->dwFileSystem = FileSystemCode(p->fs);
        pInfo->dwExtra = p->type;
    }
    pc.Journal(L"GetPartitionInfo(" + std::to_wstring(dwDisk) + L", " + std::to_wstring(dwPartition) + L") -> " +
               Hex(hr));
    return hr;
}

STDMETHODIMP CDiskMgmt::GetDriveLetter(DWORD dwDisk, DWORD dwPartition, WCHAR* pwcLetter)
{
    if (!pwcLetter)
        return E_POINTER;
    *pwcLetter = 0;
    CSimPc pc(Who());
    SimPcState state;
    SimPartition* p = nullptr;
    HRESULT hr = ReadState(pc, state);
    if (SUCCEEDED(hr))
        hr = FindPartition(state, dwDisk, dwPartition, &p);
    if (SUCCEEDED(hr))
        *pwcLetter = p->letter;
    pc.Journal(L"GetDriveLetter(" + std::to_wstring(dwDisk) + L", " + std::to_wstring(dwPartition) + L") -> " +
               Hex(hr) + L", '" + (*pwcLetter ? std::wstring(1, *pwcLetter) : std::wstring()) + L"'");
    return hr;
}
