// A date and time held as an OLE automation date with a validity status.
#pragma once
#include "AfxDefs.h"
#include <oleauto.h>

class CArchive;

class COleDateTime {
public:
    enum DateTimeStatus { error = -1, valid = 0, invalid = 1, null = 2 };

    COleDateTime() = default;
    COleDateTime(DATE dtSrc) : m_dt(dtSrc), m_status(valid) {}
    COleDateTime(const SYSTEMTIME& st) { *this = st; }
    COleDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec) {
        SetDateTime(nYear, nMonth, nDay, nHour, nMin, nSec);
    }
    COleDateTime& operator=(const SYSTEMTIME& st);

    // Sets the date; an impossible date leaves the object invalid.
    int SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec);
    int SetDate(int nYear, int nMonth, int nDay) { return SetDateTime(nYear, nMonth, nDay, 0, 0, 0); }
    BOOL GetAsSystemTime(SYSTEMTIME& st) const;
    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus status) { m_status = status; }
    operator DATE() const { return m_dt; }
    bool operator==(const COleDateTime& o) const { return m_status == o.m_status && m_dt == o.m_dt; }
    bool operator!=(const COleDateTime& o) const { return !(*this == o); }

    DATE m_dt = 0;
    DateTimeStatus m_status = valid;
};

// Archive form: the status as a 32-bit value, then the 8-byte date.
CArchive& AFXAPI operator<<(CArchive& ar, const COleDateTime& dateSrc);
CArchive& AFXAPI operator>>(CArchive& ar, COleDateTime& dateSrc);
