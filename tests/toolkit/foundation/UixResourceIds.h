// Ids of the resource fixtures of the foundation tests.
#pragma once
#define IDS_UIX_HELLO 4001
#define IDS_UIX_ONLY_IN_DLL 4002
#define IDD_UIX_BOTH 300
#define IDD_UIX_DLL_ONLY 301
#define IDR_UIX_HTML 310
