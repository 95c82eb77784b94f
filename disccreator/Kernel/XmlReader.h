// Reads FileSet.xml: file entries by priority level, image logs, split
// rules, and the settings SupportRW and SplitSize.
#pragma once

#include <memory>
#include <string>

#include "DiscErrorCode.h"
#include "IReader.h"

class XmlDomHelper;
class InstanceLog;
struct IXMLDOMNode;

// Part size in MiB when the rule file gives none, or none that is usable.
constexpr int kDefaultSplitSizeMiB = 100;

class XmlReader : public IReader {
public:
    XmlReader();
    ~XmlReader() override;
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    HRESULT Init() override;
    HRESULT Uninit() override;
    HRESULT SetSource(const wchar_t* pwszPath) override;
    // 0, or 1 when Log or Rule is missing; RD_E_MISSING without FileSet;
    // NV_E_BUFFER_TOO_SMALL for a value longer than 259 characters.
    HRESULT Parse(ICollectors* pFiles, ILogCollector* pLogs, IRuleCollector* pRules) override;

    int GetSupportRW(int* piOut);
    int GetSplitSize() const { return m_iSplitSize; }
    // Folder for the log files the reader creates; empty: the program folder.
    void SetLogFolder(const wchar_t* pwszFolder) { m_logFolder = pwszFolder ? pwszFolder : L""; }

    // Creates the log class a Type keyword names; null for any other keyword.
    static InstanceLog* CreateLog(const wchar_t* pwszType, const wchar_t* pwszLogFile, const wchar_t* pwszApplyFolder,
                                  const wchar_t* pwszTo, int iToDisc);

private:
    void ReadSettings(IXMLDOMNode* pRoot);
    HRESULT ReadFileSet(IXMLDOMNode* pRoot, ICollectors* pFiles);
    HRESULT ReadEntry(UINT uId, ICollectors* pFiles);
    template <class Read>
    HRESULT ForEachChild(IXMLDOMNode* pRoot, const wchar_t* pwszName, Read read);
    HRESULT ReadLogs(IXMLDOMNode* pRoot, ILogCollector* pLogs);
    HRESULT ReadRules(IXMLDOMNode* pRoot, IRuleCollector* pRules);
    HRESULT ReadStrings(const wchar_t* const* ppwszNames, wchar_t (*pValues)[kPathChars], size_t count);

    std::unique_ptr<XmlDomHelper> m_pDom;
    wchar_t m_wszSource[MAX_PATH] = {};
    int m_iSupportRW = 0;
    int m_iSplitSize = kDefaultSplitSizeMiB;
    std::wstring m_logFolder;
};
