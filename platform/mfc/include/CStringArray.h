#pragma once
#include "CArray.h"
#include "CString.h"
class CStringArray : public CArray<CString, LPCTSTR> {};
