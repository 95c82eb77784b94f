// Result codes of the disc creator beside the general family of
// NvErrorCode.h. Negative is failure; 1 (S_FALSE) a success that did nothing.
#pragma once

#include <windows.h>

constexpr HRESULT RD_E_MISSING          = (HRESULT)0x80EF0803; // required object, element, path or state missing
constexpr HRESULT RD_E_CANCELLED        = (HRESULT)0x80EF0816;
constexpr HRESULT RD_E_NULL_ARG         = (HRESULT)0x80EF0817;
constexpr HRESULT RD_E_FILE_TOO_BIG     = (HRESULT)0x80EE0802; // a required file larger than one disc
constexpr HRESULT RD_E_ENTRY_PATH       = (HRESULT)0x80EE0804;
constexpr HRESULT RD_E_NO_WRITER        = (HRESULT)0x80EE0808;
constexpr HRESULT RD_E_GROUP_NO_ROOM    = (HRESULT)0x80EE0809; // companion group does not fit in the rest of the disc
constexpr HRESULT RD_E_GROUP_TOO_BIG    = (HRESULT)0x80EE0810; // companion group larger than one disc
constexpr HRESULT RD_E_OLD_LOG          = (HRESULT)0x80EE0811;
constexpr HRESULT RD_E_WIM_CALLBACK     = (HRESULT)0x80EE0812;
constexpr HRESULT RD_E_WIM_CALL         = (HRESULT)0x80EE0814;
constexpr HRESULT RD_E_SPLIT_THREAD     = (HRESULT)0x80EE0815;
constexpr HRESULT RD_E_SPLIT_FUNCTION   = (HRESULT)0x80EE0816;

// Capacity of a set rebuilt from a snapshot: the largest disc kind.
constexpr ULONGLONG kResumeSetCapacity = 8050ULL * 1024 * 1024;
// Text buffers of the rule file, the snapshot and the walk.
constexpr size_t kPathChars = MAX_PATH;
