// The recovery program: its one application object.
#include "CRevantApp.h"

CRevantApp theApp;
