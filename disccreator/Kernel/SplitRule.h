// Keeps a companion group of folders together on one disc: entries under
// ApplyFolder whose path holds the base name of the first matching
// companion file (found among entries under CompanionFolder).
#pragma once

#include <string>

#include "FileCollector.h"
#include "IRule.h"
#include "SearchPairs.h"

class SplitRule : public IRule {
public:
    SplitRule(int iType, const wchar_t* pwszApplyFolder, const wchar_t* pwszCompanionFolder);

    HRESULT Apply(ICollector* pLevel, IEntry* pEntry, ISet* pSet) override;
    HRESULT GetType(int* piType) override;
    HRESULT Reset() override;
    BOOL DroppedRequired() override { return m_bDroppedRequired; }

    // Places a whole group into the set, or reports why it cannot.
    static HRESULT PlaceGroup(ICollector& group, ISet& set, BOOL* pbDroppedRequired);

private:
    HRESULT Collect(ICollector& level);
    HRESULT PlaceCompanionGroup(IEntry& entry, ISet& set);
    IEntry* FindCompanion(const wchar_t* pwszFolderPath);

    int m_iType;
    std::wstring m_applyFolder;
    std::wstring m_companionFolder;
    SearchPairs m_pairs{TRUE};
    FileCollector m_applyList{FALSE};
    FileCollector m_companionList{FALSE};
    BOOL m_bDroppedRequired = FALSE;
};
