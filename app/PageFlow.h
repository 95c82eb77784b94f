// The host's page table and its navigation history.
#pragma once

#include <windows.h>

#include <vector>

const int PAGE_NONE = -1;

struct PageFlowEntry {
    int pageId;
    int nextId;
    int backId;
    int reserved;
};

enum PageFlowColumn {
    PFC_PAGE = 0,
    PFC_NEXT = 1,
    PFC_BACK = 2,
    PFC_RESERVED = 3,
};

// Rows in table order, closed by a row of four PAGE_NONE values.
extern const PageFlowEntry PageFlowTable[];
// Rows including the closing row.
size_t PageFlowRowCount();

// The column's value for the page; PAGE_NONE for a bad column, PAGE_NONE as
// id, or an id without a row.
int FlowPageId(int nPageId, int nColumn);

struct PageHistoryEntry {
    int fromId;
    int toId;
};

// Forward moves add an entry, a move back to the newest entry's origin
// removes it.
class CPageHistory {
public:
    void Record(int nToId);
    // Drops entries from the newest until one that starts at nPageId (also dropped).
    void PopUntil(int nPageId);
    // fromId of the newest entry; PAGE_NONE when empty.
    int LastFrom() const;
    // toId of the newest entry; PAGE_NONE when empty.
    int LastTo() const;
    const std::vector<PageHistoryEntry>& Entries() const { return m_vecEntries; }
    void Clear() { m_vecEntries.clear(); }

private:
    std::vector<PageHistoryEntry> m_vecEntries;
};
