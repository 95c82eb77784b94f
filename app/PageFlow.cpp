// Default Next and Back targets of every page, and the history behind Back.
#include "PageFlow.h"

const PageFlowEntry PageFlowTable[] = {
    {5350, 5351, PAGE_NONE, PAGE_NONE}, {5351, 5352, PAGE_NONE, PAGE_NONE},
    {5352, 5353, PAGE_NONE, PAGE_NONE}, {5353, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5354, PAGE_NONE, 5350, PAGE_NONE}, {5355, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5391, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5356, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5357, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5368, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5406, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5358, 5359, PAGE_NONE, PAGE_NONE},
    {5359, 5360, PAGE_NONE, PAGE_NONE}, {5360, 5361, 5358, PAGE_NONE},
    {5361, 5362, PAGE_NONE, PAGE_NONE}, {5362, 5363, PAGE_NONE, PAGE_NONE},
    {5363, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5364, PAGE_NONE, 5360, PAGE_NONE},
    {5365, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5408, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5366, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5367, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5369, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5370, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5371, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5372, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5374, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5375, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5376, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5377, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5404, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5405, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5395, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5398, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {6000, 6003, PAGE_NONE, PAGE_NONE}, {6002, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {6001, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {6003, 6004, PAGE_NONE, PAGE_NONE},
    {6004, 6005, PAGE_NONE, PAGE_NONE}, {6005, 6006, PAGE_NONE, PAGE_NONE},
    {6006, 6007, PAGE_NONE, PAGE_NONE}, {6007, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5397, PAGE_NONE, PAGE_NONE, PAGE_NONE}, {5392, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {5396, 6000, PAGE_NONE, PAGE_NONE}, {6017, 6021, PAGE_NONE, PAGE_NONE},
    {6021, 6018, 6017, PAGE_NONE}, {6018, 6019, 6021, PAGE_NONE},
    {6019, 6020, 6018, PAGE_NONE}, {6020, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {6022, PAGE_NONE, PAGE_NONE, PAGE_NONE},
    {PAGE_NONE, PAGE_NONE, PAGE_NONE, PAGE_NONE},
};

size_t PageFlowRowCount() { return _countof(PageFlowTable); }

int FlowPageId(int nPageId, int nColumn)
{
    if (nColumn < PFC_PAGE || nColumn > PFC_RESERVED || nPageId == PAGE_NONE)
        return PAGE_NONE;
    for (const PageFlowEntry& row : PageFlowTable) {
        if (row.pageId != nPageId)
            continue;
        const int values[] = {row.pageId, row.nextId, row.backId, row.reserved};
        return values[nColumn];
    }
    return PAGE_NONE;
}

void CPageHistory::Record(int nToId)
{
    if (m_vecEntries.empty()) {
        m_vecEntries.push_back({PAGE_NONE, nToId});
        return;
    }
    const PageHistoryEntry& last = m_vecEntries.back();
    if (nToId == last.fromId)
        m_vecEntries.pop_back();
    else
        m_vecEntries.push_back({last.toId, nToId});
}

void CPageHistory::PopUntil(int nPageId)
{
    while (!m_vecEntries.empty()) {
        bool bMatch = m_vecEntries.back().fromId == nPageId;
        m_vecEntries.pop_back();
        if (bMatch)
            return;
    }
}

int CPageHistory::LastFrom() const { return m_vecEntries.empty() ? PAGE_NONE : m_vecEntries.back().fromId; }
int CPageHistory::LastTo() const { return m_vecEntries.empty() ? PAGE_NONE : m_vecEntries.back().toId; }
