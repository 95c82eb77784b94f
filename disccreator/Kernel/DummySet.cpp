// Set factory.
#include "DummySet.h"

#include <new>

#include "FileSet.h"

ISet* CreateSet(int iNumber, ULONGLONG ullCapacity, BOOL bCounting, BOOL bOwnsEntries)
{
    if (bCounting)
        return new (std::nothrow) DummySet(iNumber, ullCapacity);
    return new (std::nothrow) FileSet(iNumber, ullCapacity, bOwnsEntries);
}
