// The split rules of the rule file, in order.
#pragma once

#include <list>

#include "IRule.h"

class RuleCollector : public IRuleCollector {
public:
    explicit RuleCollector(BOOL bOwns) : m_bOwns(bOwns) {}
    ~RuleCollector() override;
    RuleCollector(const RuleCollector&) = delete;
    RuleCollector& operator=(const RuleCollector&) = delete;

    HRESULT Add(IRule* pRule) override;
    HRESULT Remove(IRule* pRule) override;
    void Reset() override { m_cursor = m_rules.begin(); }
    void ResetRules() override;
    IRule* Next() override;

private:
    std::list<IRule*> m_rules;
    std::list<IRule*>::iterator m_cursor = m_rules.begin();
    BOOL m_bOwns;
};
