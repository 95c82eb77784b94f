// Resume snapshot: written through DOMDocument60, read through the DOM helper.
#include "ResumeSnapshot.h"

#include <cerrno>
#include <cwchar>
#include <new>

#include "CComRef.h"
#include "DiscErrorCode.h"
#include "DiscMedia.h"
#include "FileEntry.h"
#include "InstanceLog.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "Splitter.h"
#include "XmlDomHelper.h"

namespace {

const CLSID kClsidDomDocument60 = {0x88D96A05, 0xF192, 0x11D4, {0xA6, 0x5F, 0x00, 0x40, 0x96, 0x32, 0x51, 0xE5}};
const IID kIidDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const wchar_t kFileName[] = L"ResumeSnapshot.xml";
const wchar_t kTempSuffix[] = L".tmp";
const UINT kFirstItemId = 264;
const int kDecimal = 10;
const int kFirstResumableSet = 2;
const size_t kNumberChars = 32;

class Bstr {
public:
    explicit Bstr(const wchar_t* pwsz) : m_b(SysAllocString(pwsz ? pwsz : L"")) {}
    ~Bstr() { SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return m_b; }

private:
    BSTR m_b;
};

// A whole decimal number, or -1.
int ParseNumber(const wchar_t* pwszText)
{
    wchar_t* pwszEnd = nullptr;
    errno = 0;
    long lValue = wcstol(pwszText, &pwszEnd, kDecimal);
    if (pwszEnd == pwszText || *pwszEnd || errno == ERANGE || lValue < 0 || lValue > INT_MAX)
        return -1;
    return static_cast<int>(lValue);
}

} // namespace

ResumeSnapshot::ResumeSnapshot(const wchar_t* pwszFolder) : m_folder(pwszFolder ? pwszFolder : L"")
{
    m_hrCom = CoInitialize(nullptr);
}

ResumeSnapshot::~ResumeSnapshot()
{
    ReleaseDocument();
    if (SUCCEEDED(m_hrCom))
        CoUninitialize();
}

std::wstring ResumeSnapshot::MakePath() const
{
    std::wstring folder = m_folder.empty() ? GetModuleFolderPath() : m_folder;
    if (folder.empty())
        folder = L"\\";
    else if (folder.back() != L'\\')
        folder += L'\\';
    return folder + kFileName;
}

BOOL ResumeSnapshot::Exists()
{
    return NvFileExists(MakePath().c_str());
}

HRESULT ResumeSnapshot::Delete()
{
    std::wstring path = MakePath();
    if (NvFileExists(path.c_str()))
        DeleteFileW(path.c_str());
    return S_FALSE;
}

void ResumeSnapshot::ReleaseDocument()
{
    if (m_pRoot) {
        m_pRoot->Release();
        m_pRoot = nullptr;
    }
    if (m_pDocument) {
        m_pDocument->Release();
        m_pDocument = nullptr;
    }
}

HRESULT ResumeSnapshot::CreateDocument()
{
    ReleaseDocument();
    void* pv = nullptr;
    HRESULT hr = CoCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_ALL, kIidDomDocument, &pv);
    if (FAILED(hr))
        return hr;
    m_pDocument = static_cast<IXMLDOMDocument*>(pv);
    if (FAILED(hr = m_pDocument->put_async(VARIANT_FALSE)))
        return hr;
    CComRef<IXMLDOMProcessingInstruction> declaration;
    if (FAILED(hr = m_pDocument->createProcessingInstruction(Bstr(L"xml"), Bstr(L"version='1.0'"), declaration.Out())))
        return hr;
    CComRef<IXMLDOMNode> added;
    if (FAILED(hr = m_pDocument->appendChild(declaration.Get(), added.Out())))
        return hr;
    if (FAILED(hr = m_pDocument->createElement(Bstr(L"Root"), &m_pRoot)))
        return hr;
    CComRef<IXMLDOMNode> addedRoot;
    return m_pDocument->appendChild(m_pRoot, addedRoot.Out());
}

HRESULT ResumeSnapshot::AddValue(const wchar_t* pwszName, const wchar_t* pwszText)
{
    CComRef<IXMLDOMElement> element;
    HRESULT hr = m_pDocument->createElement(Bstr(pwszName), element.Out());
    if (FAILED(hr) || FAILED(hr = element.Get()->put_text(Bstr(pwszText))))
        return hr;
    CComRef<IXMLDOMNode> added;
    return m_pRoot->appendChild(element.Get(), added.Out());
}

HRESULT ResumeSnapshot::AddItem(IXMLDOMElement* pSetElement, IEntry& entry)
{
    wchar_t wszFrom[kPathChars] = {};
    wchar_t wszTo[kPathChars] = {};
    entry.GetFrom(wszFrom, _countof(wszFrom));
    entry.GetTo(wszTo, _countof(wszTo));
    wchar_t wszLevel[16];
    _snwprintf(wszLevel, _countof(wszLevel) - 1, L"%u", entry.GetPriorityLevel());
    wszLevel[_countof(wszLevel) - 1] = L'\0';
    const wchar_t* const kAttributes[][2] = {
        {L"From", wszFrom},
        {L"To", wszTo},
        {L"MustProcess", entry.IsMustProcess() ? L"true" : L"false"},
        {L"Folder", entry.IsFolder() ? L"true" : L"false"},
        {L"PriorityLevel", wszLevel},
    };
    CComRef<IXMLDOMElement> item;
    HRESULT hr = m_pDocument->createElement(Bstr(L"Item"), item.Out());
    for (size_t i = 0; SUCCEEDED(hr) && i < _countof(kAttributes); ++i) {
        VARIANT var;
        VariantInit(&var);
        var.vt = VT_BSTR;
        var.bstrVal = SysAllocString(kAttributes[i][1]);
        hr = item.Get()->setAttribute(Bstr(kAttributes[i][0]), var);
        VariantClear(&var);
    }
    if (FAILED(hr))
        return hr;
    CComRef<IXMLDOMNode> added;
    return pSetElement->appendChild(item.Get(), added.Out());
}

HRESULT ResumeSnapshot::AddSet(ISet& set)
{
    wchar_t wszName[32];
    _snwprintf(wszName, _countof(wszName) - 1, L"Set%d", set.GetNumber());
    wszName[_countof(wszName) - 1] = L'\0';
    CComRef<IXMLDOMElement> element;
    HRESULT hr = m_pDocument->createElement(Bstr(wszName), element.Out());
    CComRef<IXMLDOMNode> added;
    if (FAILED(hr) || FAILED(hr = m_pRoot->appendChild(element.Get(), added.Out())))
        return hr;
    set.Reset();
    for (IEntry* pEntry = set.Next(); pEntry; pEntry = set.Next()) {
        if (FAILED(hr = AddItem(element.Get(), *pEntry)))
            return hr;
    }
    return S_OK;
}

HRESULT ResumeSnapshot::SaveDocument(const std::wstring& path)
{
    std::wstring temp = path + kTempSuffix;
    VARIANT var;
    VariantInit(&var);
    var.vt = VT_BSTR;
    var.bstrVal = SysAllocString(temp.c_str());
    HRESULT hr = m_pDocument->save(var);
    VariantClear(&var);
    if (SUCCEEDED(hr) && !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        hr = HRESULT_FROM_WIN32(GetLastError());
    if (FAILED(hr))
        DeleteFileW(temp.c_str());
    return hr;
}

HRESULT ResumeSnapshot::Save(Splitter* pSplitter, int iResumeSetNo, int iDiscType)
{
    if (!pSplitter)
        return RD_E_NULL_ARG;
    std::wstring path = MakePath();
    HRESULT hr = CreateDocument();
    const wchar_t* pwszType = DiscTypeName(iDiscType);
    wchar_t wszCount[16], wszResume[16];
    _itow_s(pSplitter->GetSetCount(), wszCount, _countof(wszCount), kDecimal);
    _itow_s(iResumeSetNo, wszResume, _countof(wszResume), kDecimal);
    if (SUCCEEDED(hr) && SUCCEEDED(hr = AddValue(L"DiscType", pwszType ? pwszType : L"DVD-R"))
        && SUCCEEDED(hr = AddValue(L"TotalSetNo", wszCount)))
        hr = AddValue(L"ResumeSetNo", wszResume);
    for (int n = 1; SUCCEEDED(hr) && n <= pSplitter->GetSetCount(); ++n) {
        ISet* pSet = nullptr;
        if (pSplitter->GetSet(n, &pSet) == S_OK)
            hr = AddSet(*pSet);
    }
    if (SUCCEEDED(hr))
        hr = SaveDocument(path);
    ReleaseDocument();
    return hr;
}

void ResumeSnapshot::Forget()
{
    m_iDiscType = DTM_DVDMR;
    m_iResumeSetNo = 1;
    m_iTotalSetNo = 1;
}

HRESULT ResumeSnapshot::LoadValues(XmlDomHelper& dom, IXMLDOMNode* pRoot)
{
    const wchar_t* const kNames[] = {L"DiscType", L"TotalSetNo", L"ResumeSetNo"};
    wchar_t wszValues[_countof(kNames)][kPathChars] = {};
    for (size_t i = 0; i < _countof(kNames); ++i) {
        CComRef<IXMLDOMNode> node(dom.SelectNode(pRoot, kNames[i]));
        if (!node.Get() || dom.GetText(node.Get(), wszValues[i], kPathChars) != S_OK)
            return RD_E_MISSING;
    }
    m_iDiscType = DiscTypeFromName(wszValues[0]);
    m_iTotalSetNo = ParseNumber(wszValues[1]);
    m_iResumeSetNo = ParseNumber(wszValues[2]);
    if (m_iTotalSetNo < 1 || m_iTotalSetNo > kMaxSets || m_iResumeSetNo < kFirstResumableSet
        || m_iResumeSetNo > m_iTotalSetNo)
        return RD_E_MISSING;
    return S_OK;
}

HRESULT ResumeSnapshot::ReadItem(XmlDomHelper& dom, IXMLDOMNode* pItem, UINT uId, IEntry** ppEntry)
{
    const wchar_t* const kNames[] = {L"From", L"To", L"Extension"};
    wchar_t wszValues[_countof(kNames)][kPathChars] = {};
    dom.SelectAttributes(pItem);
    HRESULT hr = S_OK;
    for (size_t i = 0; i < _countof(kNames); ++i) {
        if (dom.GetAttribute(kNames[i], wszValues[i], kPathChars) == NV_E_BUFFER_TOO_SMALL)
            hr = NV_E_BUFFER_TOO_SMALL;
    }
    BYTE bMust = 0, bFolder = 0, bOneLevel = 0, bAtomic = 0;
    dom.GetAttributeBool(L"MustProcess", &bMust);
    dom.GetAttributeBool(L"Folder", &bFolder);
    dom.GetAttributeBool(L"OneLevel", &bOneLevel);
    dom.GetAttributeBool(L"Atomic", &bAtomic);
    // Levels are saved unsigned; a signed read would clip those above INT_MAX.
    wchar_t wszLevel[kNumberChars] = L"1";
    if (dom.GetAttribute(L"PriorityLevel", wszLevel, _countof(wszLevel)) == NV_E_BUFFER_TOO_SMALL)
        hr = NV_E_BUFFER_TOO_SMALL;
    UINT uLevel = wszLevel[0] ? static_cast<UINT>(wcstoul(wszLevel, nullptr, kDecimal)) : 1;
    dom.ReleaseAttributes();
    if (FAILED(hr))
        return hr; // a cut path would name another file
    *ppEntry = new (std::nothrow) FileEntry(wszValues[0], wszValues[1], wszValues[2], uLevel, bMust,
                                            bFolder, bOneLevel, bAtomic, uId, bAtomic, 0);
    return *ppEntry ? S_OK : NV_E_ALLOC;
}

HRESULT ResumeSnapshot::LoadSet(XmlDomHelper& dom, IXMLDOMNode* pRoot, int iNumber, Splitter& splitter)
{
    wchar_t wszName[32];
    _snwprintf(wszName, _countof(wszName) - 1, L"Set%d", iNumber);
    wszName[_countof(wszName) - 1] = L'\0';
    CComRef<IXMLDOMNode> set(dom.SelectNode(pRoot, wszName));
    CComRef<IXMLDOMNodeList> items(dom.GetChildNodes(set.Get()));
    if (!items.Get())
        return RD_E_MISSING;
    HRESULT hrSet = splitter.MakeSet(iNumber);
    if (FAILED(hrSet))
        return hrSet;
    UINT uId = kFirstItemId;
    items.Get()->reset();
    for (IXMLDOMNode* pItem = nullptr; items.Get()->nextNode(&pItem) == S_OK && pItem;) {
        CComRef<IXMLDOMNode> item(pItem);
        if (!XmlDomHelper::IsElement(pItem))
            continue;
        IEntry* pEntry = nullptr;
        HRESULT hr = ReadItem(dom, pItem, uId++, &pEntry);
        if (FAILED(hr))
            return hr;
        if (FAILED(hr = splitter.AddEntryToSet(iNumber, pEntry))) {
            delete pEntry;
            return hr;
        }
    }
    return S_OK;
}

HRESULT ResumeSnapshot::Load(Splitter* pSplitter)
{
    if (!pSplitter)
        return RD_E_NULL_ARG;
    // The plan comes from the file alone: sets of an earlier split go first.
    pSplitter->ClearSets();
    XmlDomHelper dom;
    dom.Create();
    HRESULT hr = dom.Load(MakePath().c_str());
    if (hr == S_OK) {
        CComRef<IXMLDOMNode> root(dom.SelectFromRoot(L"Root"));
        hr = root.Get() ? LoadValues(dom, root.Get()) : RD_E_MISSING;
        for (int n = 1; SUCCEEDED(hr) && n <= m_iTotalSetNo; ++n)
            hr = LoadSet(dom, root.Get(), n, *pSplitter);
    } else if (SUCCEEDED(hr)) {
        hr = RD_E_MISSING; // missing, cut short or not XML
    }
    if (FAILED(hr)) {
        pSplitter->ClearSets();
        Forget();
        return hr;
    }
    pSplitter->SetTotalOnAllSets();
    return S_OK;
}
