// Collection templates.
#pragma once
#include "afxwin.h"
#include "CArray.h"
#include "CList.h"
#include "CMap.h"
