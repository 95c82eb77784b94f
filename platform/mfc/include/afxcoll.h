// Ready-made collections.
#pragma once
#include "afxtempl.h"
#include "CMapStringToPtr.h"
#include "CMapPtrToPtr.h"
#include "CPtrArray.h"
#include "CStringArray.h"
#include "CDWordArray.h"
#include "CPtrList.h"
#include "CStringList.h"
