// Wimsplice.dll: splits a WIM file into pieces that fit a disc, and joins
// them again. Both programs load it by name; the calling convention is
// fixed here for both bitnesses.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Replaces n.wim by the index n.dat and the pieces n.0, n.1, ... of at most
// maxPieceMiB MiB each, in the same folder. 0 on success, negative on failure.
typedef int(WINAPI* PFN_SplitBigWIM)(LPCWSTR partPath, int maxPieceMiB);
// Rebuilds n.wim from n.dat and its pieces (found without regard to case);
// the pieces stay. 0 on success, a negative HRESULT-form code on failure.
typedef HRESULT(WINAPI* PFN_MergeIntoWIM)(LPCWSTR wimPathToBuild);

int WINAPI SplitBigWIM(LPCWSTR partPath, int maxPieceMiB);
HRESULT WINAPI MergeIntoWIM(LPCWSTR wimPathToBuild);

#ifdef __cplusplus
}
#endif
