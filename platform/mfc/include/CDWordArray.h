#pragma once
#include "CArray.h"
class CDWordArray : public CArray<DWORD, DWORD> {};
