#include "COleDateTime.h"
#include "CArchive.h"

COleDateTime& COleDateTime::operator=(const SYSTEMTIME& st) {
    SYSTEMTIME copy = st;
    m_status = SystemTimeToVariantTime(&copy, &m_dt) ? valid : invalid;
    return *this;
}

int COleDateTime::SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec) {
    SYSTEMTIME st = {};
    st.wYear = (WORD)nYear;
    st.wMonth = (WORD)nMonth;
    st.wDay = (WORD)nDay;
    st.wHour = (WORD)nHour;
    st.wMinute = (WORD)nMin;
    st.wSecond = (WORD)nSec;
    bool inRange = nYear >= 100 && nYear <= 9999 && nMonth >= 1 && nMonth <= 12 && nDay >= 1 && nDay <= 31 &&
                   nHour >= 0 && nHour <= 23 && nMin >= 0 && nMin <= 59 && nSec >= 0 && nSec <= 59;
    if (!inRange || !SystemTimeToVariantTime(&st, &m_dt)) {
        m_dt = 0;
        m_status = invalid;
        return 1;
    }
    m_status = valid;
    return 0;
}

BOOL COleDateTime::GetAsSystemTime(SYSTEMTIME& st) const {
    return m_status == valid && VariantTimeToSystemTime(m_dt, &st);
}

CArchive& AFXAPI operator<<(CArchive& ar, const COleDateTime& dateSrc) {
    ar << (LONG)dateSrc.m_status;
    return ar << dateSrc.m_dt;
}

CArchive& AFXAPI operator>>(CArchive& ar, COleDateTime& dateSrc) {
    LONG status;
    ar >> status;
    ar >> dateSrc.m_dt;
    dateSrc.m_status = (status >= COleDateTime::error && status <= COleDateTime::null)
                           ? (COleDateTime::DateTimeStatus)status
                           : COleDateTime::invalid;
    return ar;
}
