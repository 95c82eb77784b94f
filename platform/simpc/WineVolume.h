// Wine keeps an optical letter's volume label in its mount manager from the
// moment the letter was defined, so a disc swapped into a drive folder
// would still show the old label. Defining the letter again, with the mount
// point Wine already has, makes the mount manager read the label anew.
#pragma once

#include <windows.h>

// False when there is no such mount manager (not Wine) or it refused.
bool RefreshWineVolume(wchar_t letter);
