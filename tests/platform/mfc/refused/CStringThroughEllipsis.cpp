// Must not compile: a string object passed through "..." would be read as
// garbage by the formatter. The build's flags make the compiler refuse it.
#include <afxwin.h>

void Refused()
{
    CString name(L"abc");
    CString out;
    out.Format(L"[%s]", name);
}
