// Resource names of the generated image fixtures.
#pragma once
#define IDP_PALETTE L"IDP_PALETTE"
#define IDP_TINY L"IDP_TINY"
#define IDP_NOTPNG L"IDP_NOTPNG"
#define IDB_ALPHA L"IDB_ALPHA"
#define IDB_TOPDOWN L"IDB_TOPDOWN"
#define IDB_SHORT L"IDB_SHORT"
#define IDB_HUGENEG L"IDB_HUGENEG"
#define IDB_WIDE L"IDB_WIDE"
#define IDI_TWO_SIZES L"IDI_TWO_SIZES"
