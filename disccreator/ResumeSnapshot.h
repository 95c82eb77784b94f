// ResumeSnapshot.xml: the whole plan of a disc-set run and the next set to
// burn, so that an interrupted run goes on with the next disc.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <string>

class Splitter;
class XmlDomHelper;
class ISet;

class ResumeSnapshot {
public:
    // pwszFolder: where the file lies; null or empty is the program folder.
    explicit ResumeSnapshot(const wchar_t* pwszFolder = nullptr);
    ~ResumeSnapshot();
    ResumeSnapshot(const ResumeSnapshot&) = delete;
    ResumeSnapshot& operator=(const ResumeSnapshot&) = delete;

    BOOL Exists();
    // Writes a temporary file and renames it over the snapshot, so an
    // interrupted save leaves the earlier file whole.
    HRESULT Save(Splitter* pSplitter, int iResumeSetNo, int iDiscType);
    // Replaces the splitter's sets by those of the file. Anything but a whole
    // file with 1 <= TotalSetNo <= kMaxSets and 2 <= ResumeSetNo <= TotalSetNo
    // is no usable snapshot: the splitter is left without sets, the numbers
    // at their fresh values, and the result is a failure.
    HRESULT Load(Splitter* pSplitter);
    // Always 1.
    HRESULT Delete();

    int GetDiscType() const { return m_iDiscType; }
    int GetResumeSetNo() const { return m_iResumeSetNo; }
    int GetTotalSetNo() const { return m_iTotalSetNo; }
    std::wstring MakePath() const;

    // The most sets a plan may have: the recovery program counts disc
    // indices 0 to 99.
    static const int kMaxSets = 100;

private:
    HRESULT CreateDocument();
    HRESULT AddValue(const wchar_t* pwszName, const wchar_t* pwszText);
    HRESULT AddSet(ISet& set);
    HRESULT AddItem(IXMLDOMElement* pSetElement, class IEntry& entry);
    HRESULT SaveDocument(const std::wstring& path);
    void ReleaseDocument();
    HRESULT LoadValues(XmlDomHelper& dom, IXMLDOMNode* pRoot);
    HRESULT LoadSet(XmlDomHelper& dom, IXMLDOMNode* pRoot, int iNumber, Splitter& splitter);
    HRESULT ReadItem(XmlDomHelper& dom, IXMLDOMNode* pItem, UINT uId, class IEntry** ppEntry);
    void Forget();

    IXMLDOMDocument* m_pDocument = nullptr;
    IXMLDOMElement* m_pRoot = nullptr;
    std::wstring m_folder;
    int m_iDiscType = 0;
    int m_iResumeSetNo = 1;
    int m_iTotalSetNo = 1;
    HRESULT m_hrCom;
};
