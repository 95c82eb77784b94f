// The two image jobs that the recovery program runs from its command line
// without a window. Each returns an HRESULT-form code.
//
//   UpdateWIM()              "UpdateWIM": rebuilds the Windows PE boot image of
//                            the program's build folder when the program is
//                            newer than it. The recovery controller must have
//                            been initialised (CSBRMgr::Init) first.
//   CSBRMgr::RELiveUpdate()  "RELiveUpdate": puts the running program into the
//                            recovery partition's WinRE image (declared with
//                            the controller, defined here).
#pragma once

#include <windows.h>

HRESULT UpdateWIM();
