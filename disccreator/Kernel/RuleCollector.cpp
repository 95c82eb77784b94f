#include "RuleCollector.h"

#include <algorithm>

RuleCollector::~RuleCollector()
{
    if (m_bOwns) {
        for (IRule* pRule : m_rules)
            delete pRule;
    }
}

HRESULT RuleCollector::Add(IRule* pRule)
{
    if (pRule && std::find(m_rules.begin(), m_rules.end(), pRule) == m_rules.end())
        m_rules.push_back(pRule);
    m_cursor = m_rules.begin();
    return S_FALSE;
}

HRESULT RuleCollector::Remove(IRule* pRule)
{
    m_rules.remove(pRule);
    m_cursor = m_rules.begin();
    return S_FALSE;
}

void RuleCollector::ResetRules()
{
    for (IRule* pRule : m_rules)
        pRule->Reset();
}

IRule* RuleCollector::Next()
{
    return m_cursor == m_rules.end() ? nullptr : *m_cursor++;
}
