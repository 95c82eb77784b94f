#pragma once
#include "CArray.h"
class CPtrArray : public CArray<void*, void*> {};
