// IDiskMgmt over the simulated PC: disks, partitions and their letters, as
// the disk library reports them. Free-threaded: it keeps no state of its own.
#pragma once

#include "DiskMgmt.h"

#include <atomic>

class CDiskMgmt : public IDiskMgmt {
public:
    CDiskMgmt();
    virtual ~CDiskMgmt();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetAuxiliary(IDiskMgmtAux** ppAux) override;
    STDMETHODIMP GetDiskCount(DWORD* pdwCount) override;
    STDMETHODIMP GetDiskInfo(DWORD dwDisk, DiskMgmtDiskInfo* pInfo) override;
    STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved5() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved6() override { return E_NOTIMPL; }
    STDMETHODIMP GetPartitionCount(DWORD dwDisk, DWORD* pdwCount) override;
    STDMETHODIMP GetPartitionInfo(DWORD dwDisk, DWORD dwPartition, DiskMgmtPartitionInfo* pInfo) override;
    STDMETHODIMP Reserved9() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved10() override { return E_NOTIMPL; }
    STDMETHODIMP GetDriveLetter(DWORD dwDisk, DWORD dwPartition, WCHAR* pwcLetter) override;

private:
    std::atomic<long> m_lRefs{1};
};
