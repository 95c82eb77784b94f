// Automation types of the library.
#pragma once
#include "afxwin.h"
#include "COleDateTime.h"
#include "COleVariant.h"
