// The text type of the library: wide characters.
#pragma once
#include "CStringT.h"
