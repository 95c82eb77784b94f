#include "LogCollector.h"

#include <algorithm>

LogCollector::~LogCollector()
{
    if (m_bOwns) {
        for (ILog* pLog : m_logs)
            delete pLog;
    }
}

HRESULT LogCollector::Add(ILog* pLog)
{
    if (pLog && std::find(m_logs.begin(), m_logs.end(), pLog) == m_logs.end())
        m_logs.push_back(pLog);
    m_cursor = m_logs.begin();
    return S_FALSE;
}

HRESULT LogCollector::Remove(ILog* pLog)
{
    m_logs.remove(pLog);
    m_cursor = m_logs.begin();
    return S_FALSE;
}

ILog* LogCollector::Next()
{
    return m_cursor == m_logs.end() ? nullptr : *m_cursor++;
}
