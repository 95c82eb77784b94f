// Window messages and date limits the toolkit registers when the program starts.
#include <afxwin.h>
#include <afxdisp.h>

namespace {
struct CUIXDateLimit {
    DATE date = 0;
    BOOL valid = FALSE;
    CUIXDateLimit(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
        SYSTEMTIME st = {};
        st.wYear = year;
        st.wMonth = month;
        st.wDay = day;
        st.wHour = hour;
        st.wMinute = minute;
        st.wSecond = second;
        if (!SystemTimeToVariantTime(&st, &date)) return;
        SYSTEMTIME back = {};
        valid = VariantTimeToSystemTime(date, &back) && back.wYear == year && back.wMonth == month &&
                back.wDay == day && back.wHour == hour && back.wMinute == minute && back.wSecond == second;
    }
};
} // namespace

const UINT UIX_WM_NOTIFICATIONSINK_ONEVENT = RegisterWindowMessageW(L"UIXNotificationSinkMTOnEvent");
const UINT UIX_WM_CALENDAR_SWITCHVIEW = RegisterWindowMessageW(L"UIXCalendarSwitchView");
const UINT UIX_WM_CALENDAR_USERACTION = RegisterWindowMessageW(L"UIXCalendarUserAction");
const CUIXDateLimit g_uixMinDate(100, 1, 1, 0, 0, 0);
const CUIXDateLimit g_uixMaxDate(9999, 12, 31, 0, 0, 0);
