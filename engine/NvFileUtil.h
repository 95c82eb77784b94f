// File and folder utilities shared by the engine, the imaging layer and the
// pages. Stateless and reentrant; every failure is logged and returned as a
// code of NvErrorCode.h.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Formats into a MAX_PATH buffer. Returns the characters written, or -1 when
// the text did not fit: the buffer then holds the text cut at 259 characters.
int FormatPath(wchar_t (&wszBuf)[MAX_PATH], const wchar_t* pwszFormat, ...);

// A name's extension from its last dot, in lower case (".wim"), or "".
std::wstring NvLowerExtension(const wchar_t* pwszName);

// Size of a file in bytes; *pullSize (when given) is 0 on failure.
HRESULT FindFileSizeInByte(const wchar_t* pwszPath, ULONGLONG* pullSize);

// TRUE when the path names a file (not a folder).
BOOL NvFileExists(const wchar_t* pwszPath);
// TRUE when the path names a folder or a drive root.
BOOL NvDirectoryExists(const wchar_t* pwszPath);

// Creates every missing level of a folder path.
HRESULT NvCreateDirectoryW(const wchar_t* pwszPath);
// Creates every missing level that ends in a backslash ("C:\a\b" creates C:\a
// only) and ORs dwAttributes (0 = none) into each level's attributes.
HRESULT NvCreateDirectoryPath(const wchar_t* pwszPath, DWORD dwAttributes);

// Deletes a folder and everything below it; 1 when the path does not exist.
// Links inside the tree are removed, never followed.
HRESULT NvDeleteDirectory(const wchar_t* pwszPath);

// Copies a tree, replacing existing files. With bStopOnFailure clear a file
// that cannot be copied is skipped. Links inside the source are not copied.
HRESULT NvCopyDir(const wchar_t* pwszSrc, const wchar_t* pwszDst, BOOL bStopOnFailure);

// Size in bytes of all files below a folder, every level.
HRESULT NvFindFolderSizeInByte(const wchar_t* pwszFolder, ULONGLONG* pullSize, BOOL bStopOnError);

#ifndef RV_DISCORA
// Called after each file copied by the progress form of NvCopyDir.
typedef void (*NvCopyFileDoneRoutine)(ULONGLONG ullFileSize);

// Progress form: any failed copy ends the walk.
HRESULT NvCopyDir(const wchar_t* pwszSrc, const wchar_t* pwszDst,
                  LPPROGRESS_ROUTINE pfnProgress, NvCopyFileDoneRoutine pfnFileDone);

// Copies a tree except the folders named in vecExclusions (exact,
// case-sensitive match, one trailing backslash ignored).
HRESULT NvCopyDirWithExclusion(const wchar_t* pwszSrc, const wchar_t* pwszDst,
                               std::vector<std::wstring> vecExclusions, BOOL bStopOnFailure);

// Total of the file sizes below a folder, taken from the listing.
HRESULT NvGetDirTotalBytes(const wchar_t* pwszFolder, ULONGLONG* pullTotal);
#endif
