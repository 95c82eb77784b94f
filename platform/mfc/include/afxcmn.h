// Common controls.
#pragma once
#include "afxwin.h"
#include "CProgressCtrl.h"
#include "CListCtrl.h"
#include "CAnimateCtrl.h"
