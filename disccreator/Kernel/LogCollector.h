// The image logs of the rule file, in order.
#pragma once

#include <list>

#include "ILog.h"

class LogCollector : public ILogCollector {
public:
    explicit LogCollector(BOOL bOwns) : m_bOwns(bOwns) {}
    ~LogCollector() override;
    LogCollector(const LogCollector&) = delete;
    LogCollector& operator=(const LogCollector&) = delete;

    HRESULT Add(ILog* pLog) override;
    HRESULT Remove(ILog* pLog) override;
    void Reset() override { m_cursor = m_logs.begin(); }
    ILog* Next() override;

private:
    std::list<ILog*> m_logs;
    std::list<ILog*>::iterator m_cursor = m_logs.begin();
    BOOL m_bOwns;
};
