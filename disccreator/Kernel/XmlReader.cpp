// Rule file reader.
#include "XmlReader.h"

#include <cerrno>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <new>

#include "AppListLog.h"
#include "CComRef.h"
#include "DiscErrorCode.h"
#include "FileEntry.h"
#include "ICollector.h"
#include "ILog.h"
#include "IRule.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "SetDumpLog.h"
#include "SetInfoLog.h"
#include "SizeLog.h"
#include "SplitLog.h"
#include "SplitRule.h"
#include "UCRDCreatedLog.h"
#include "XmlDomHelper.h"

namespace {

const UINT kFirstEntryId = 212;
const int kDecimal = 10;
const int kSplitRuleType = 1;

// A whole decimal number in 1..INT_MAX, or the default: a size of zero,
// a negative one or one without digits would make parts of no size.
int ParseSplitSize(const wchar_t* pwszText)
{
    wchar_t* pwszEnd = nullptr;
    errno = 0;
    long lValue = wcstol(pwszText, &pwszEnd, kDecimal);
    if (pwszEnd == pwszText || errno == ERANGE || lValue <= 0 || lValue > INT_MAX)
        return kDefaultSplitSizeMiB;
    return static_cast<int>(lValue);
}

} // namespace

XmlReader::XmlReader() = default;
XmlReader::~XmlReader() = default;

HRESULT XmlReader::Init()
{
    if (m_pDom)
        return S_OK;
    m_pDom.reset(new (std::nothrow) XmlDomHelper());
    if (!m_pDom)
        return NV_E_ALLOC;
    m_pDom->Create();
    return S_OK;
}

HRESULT XmlReader::Uninit()
{
    m_pDom.reset();
    return S_OK;
}

HRESULT XmlReader::SetSource(const wchar_t* pwszPath)
{
    if (!pwszPath)
        return RD_E_NULL_ARG;
    if (wcslen(pwszPath) >= _countof(m_wszSource))
        return NV_E_FILE_NOT_EXIST; // a cut path would name another file
    wcscpy_s(m_wszSource, pwszPath);
    return NvFileExists(m_wszSource) ? S_OK : NV_E_FILE_NOT_EXIST;
}

int XmlReader::GetSupportRW(int* piOut)
{
    if (!piOut)
        return 0;
    *piOut = m_iSupportRW;
    return m_iSupportRW;
}

InstanceLog* XmlReader::CreateLog(const wchar_t* pwszType, const wchar_t* pwszLogFile, const wchar_t* pwszApplyFolder,
                                  const wchar_t* pwszTo, int iToDisc)
{
    if (!_wcsicmp(pwszType, L"PRELOADSIZE"))
        return new (std::nothrow) SizeLog(pwszLogFile, pwszApplyFolder, pwszTo, iToDisc);
    if (!_wcsicmp(pwszType, L"SPLIT"))
        return new (std::nothrow) SplitLog(pwszLogFile, pwszApplyFolder, pwszTo, iToDisc);
    if (!_wcsicmp(pwszType, L"SetDump"))
        return new (std::nothrow) SetDumpLog(pwszLogFile, pwszApplyFolder, pwszTo, iToDisc);
    if (!_wcsicmp(pwszType, L"APPLIST"))
        return new (std::nothrow) AppListLog(pwszLogFile, pwszApplyFolder, pwszTo, iToDisc);
    if (!_wcsicmp(pwszType, L"SetInfo"))
        return new (std::nothrow) SetInfoLog(pwszLogFile, pwszApplyFolder, pwszTo, iToDisc);
    if (!_wcsicmp(pwszType, L"ZQCD"))
        return new (std::nothrow) UCRDCreatedLog(pwszLogFile, pwszApplyFolder, pwszTo, iToDisc);
    return nullptr;
}

HRESULT XmlReader::Parse(ICollectors* pFiles, ILogCollector* pLogs, IRuleCollector* pRules)
{
    if (!m_pDom)
        return RD_E_MISSING;
    if (!pFiles || !pLogs || !pRules)
        return RD_E_NULL_ARG;
    pFiles->Clear();
    HRESULT hr = m_pDom->Load(m_wszSource);
    if (FAILED(hr))
        return hr;
    CComRef<IXMLDOMNode> root(m_pDom->SelectFromRoot(L"root"));
    ReadSettings(root.Get());
    if (FAILED(hr = ReadFileSet(root.Get(), pFiles)))
        return hr;
    if ((hr = ReadLogs(root.Get(), pLogs)) != S_OK)
        return hr;
    return ReadRules(root.Get(), pRules);
}

void XmlReader::ReadSettings(IXMLDOMNode* pRoot)
{
    wchar_t wszText[kPathChars];
    CComRef<IXMLDOMNode> supportRW(m_pDom->SelectNode(pRoot, L"SupportRW"));
    if (supportRW.Get() && m_pDom->GetText(supportRW.Get(), wszText, _countof(wszText)) == S_OK
        && !_wcsicmp(wszText, L"true"))
        m_iSupportRW = 1;
    CComRef<IXMLDOMNode> splitSize(m_pDom->SelectNode(pRoot, L"SplitSize"));
    if (splitSize.Get()) {
        wszText[0] = L'\0';
        m_iSplitSize = m_pDom->GetText(splitSize.Get(), wszText, _countof(wszText)) == S_OK
                           ? ParseSplitSize(wszText) : kDefaultSplitSizeMiB;
    }
    CComRef<IXMLDOMNode> level(m_pDom->SelectNode(pRoot, L"PriorityLevel"));
    if (level.Get())
        m_pDom->GetText(level.Get(), wszText, _countof(wszText));
}

// Reads string attributes of the selected element; an absent one is empty,
// one longer than its buffer refuses the file.
HRESULT XmlReader::ReadStrings(const wchar_t* const* ppwszNames, wchar_t (*pValues)[kPathChars], size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (m_pDom->GetAttribute(ppwszNames[i], pValues[i], kPathChars) == NV_E_BUFFER_TOO_SMALL)
            return NV_E_BUFFER_TOO_SMALL;
    }
    return S_OK;
}

HRESULT XmlReader::ReadEntry(UINT uId, ICollectors* pFiles)
{
    static const wchar_t* const kNames[] = {L"From", L"To", L"Extension"};
    wchar_t wszValues[_countof(kNames)][kPathChars] = {};
    HRESULT hr = ReadStrings(kNames, wszValues, _countof(kNames));
    if (FAILED(hr))
        return hr;
    BYTE bMust = 0, bFolder = 0, bOneLevel = 0, bAtomic = 0;
    int iLevel = 1;
    m_pDom->GetAttributeBool(L"MustProcess", &bMust);
    m_pDom->GetAttributeBool(L"Folder", &bFolder);
    m_pDom->GetAttributeBool(L"OneLevel", &bOneLevel);
    m_pDom->GetAttributeBool(L"Atomic", &bAtomic);
    m_pDom->GetAttributeInt(L"PriorityLevel", &iLevel);
    FileEntry* pEntry = new (std::nothrow) FileEntry(wszValues[0], wszValues[1], wszValues[2],
                                                     static_cast<UINT>(iLevel), bMust, bFolder, bOneLevel, bAtomic,
                                                     uId, bAtomic, 0);
    if (pEntry && pFiles->Add(pEntry) != S_OK)
        delete pEntry; // not taken by any collector
    return S_OK;
}

// Calls read(child, child number) for each element child of the named
// element: S_FALSE when the element is missing, RD_E_MISSING when its
// children cannot be listed, else the first failure of read.
template <class Read>
HRESULT XmlReader::ForEachChild(IXMLDOMNode* pRoot, const wchar_t* pwszName, Read read)
{
    CComRef<IXMLDOMNode> parent(m_pDom->SelectNode(pRoot, pwszName));
    if (!parent.Get())
        return S_FALSE;
    CComRef<IXMLDOMNodeList> children(m_pDom->GetChildNodes(parent.Get()));
    if (!children.Get())
        return RD_E_MISSING;
    children.Get()->reset();
    UINT uNumber = 0;
    for (IXMLDOMNode* pChild = nullptr; children.Get()->nextNode(&pChild) == S_OK && pChild; ++uNumber) {
        CComRef<IXMLDOMNode> child(pChild);
        if (!XmlDomHelper::IsElement(pChild))
            continue;
        m_pDom->SelectAttributes(pChild);
        HRESULT hr = read(uNumber);
        m_pDom->ReleaseAttributes();
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT XmlReader::ReadFileSet(IXMLDOMNode* pRoot, ICollectors* pFiles)
{
    HRESULT hr = ForEachChild(pRoot, L"FileSet", [&](UINT uNumber) { return ReadEntry(kFirstEntryId + uNumber, pFiles); });
    return hr == S_FALSE ? RD_E_MISSING : hr;
}

HRESULT XmlReader::ReadLogs(IXMLDOMNode* pRoot, ILogCollector* pLogs)
{
    return ForEachChild(pRoot, L"Log", [&](UINT) {
        static const wchar_t* const kNames[] = {L"Type", L"LogFile", L"ApplyFolder", L"To"};
        wchar_t wszValues[_countof(kNames)][kPathChars] = {};
        int iToDisc = kAllDiscs;
        HRESULT hr = ReadStrings(kNames, wszValues, _countof(kNames));
        m_pDom->GetAttributeInt(L"ToDisc", &iToDisc);
        if (FAILED(hr))
            return hr;
        InstanceLog* pLog = CreateLog(wszValues[0], wszValues[1], wszValues[2], wszValues[3], iToDisc);
        if (pLog) {
            pLog->SetFolder(m_logFolder.c_str());
            pLogs->Add(pLog);
        }
        return S_OK;
    });
}

HRESULT XmlReader::ReadRules(IXMLDOMNode* pRoot, IRuleCollector* pRules)
{
    return ForEachChild(pRoot, L"Rule", [&](UINT) {
        static const wchar_t* const kNames[] = {L"Type", L"ApplyFolder", L"CompanionFolder"};
        wchar_t wszValues[_countof(kNames)][kPathChars] = {};
        HRESULT hr = ReadStrings(kNames, wszValues, _countof(kNames));
        if (FAILED(hr))
            return hr;
        SplitRule* pRule = new (std::nothrow) SplitRule(kSplitRuleType, wszValues[1], wszValues[2]);
        if (pRule)
            pRules->Add(pRule);
        return S_OK;
    });
}
