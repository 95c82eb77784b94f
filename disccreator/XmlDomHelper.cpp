// XML DOM helper over MSXML's version-independent document.
#include "XmlDomHelper.h"

#include <cwchar>
#include <cwctype>

#include "NvErrorCode.h"

namespace {

const CLSID kClsidDomDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidDomNode = {0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const int kHexBase = 16;

template <class T>
void SafeRelease(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Copies cut and terminated; NV_E_BUFFER_TOO_SMALL when it was cut.
HRESULT CopyBounded(const wchar_t* pwszSrc, wchar_t* pwszBuf, size_t cchBuf)
{
    size_t cch = pwszSrc ? wcslen(pwszSrc) : 0;
    size_t cchCopy = cch < cchBuf ? cch : cchBuf - 1;
    if (cchCopy)
        wmemcpy(pwszBuf, pwszSrc, cchCopy);
    pwszBuf[cchCopy] = L'\0';
    return cchCopy == cch ? S_OK : NV_E_BUFFER_TOO_SMALL;
}

} // namespace

void XmlDomHelper::Create()
{
    m_pDocument = nullptr;
    m_pDocNode = nullptr;
    m_pAttributes = nullptr;
    void* pv = nullptr;
    if (SUCCEEDED(CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidDomDocument, &pv)))
        m_pDocument = static_cast<IXMLDOMDocument*>(pv);
}

void XmlDomHelper::Release()
{
    SafeRelease(m_pDocNode);
    SafeRelease(m_pAttributes);
    SafeRelease(m_pDocument);
}

HRESULT XmlDomHelper::Load(const wchar_t* pwszPath)
{
    if (!m_pDocument)
        return E_FAIL;
    HRESULT hr = m_pDocument->put_async(VARIANT_FALSE);
    if (FAILED(hr))
        return hr;
    VARIANT var;
    VariantInit(&var);
    var.vt = VT_BSTR;
    var.bstrVal = SysAllocString(pwszPath ? pwszPath : L"");
    VARIANT_BOOL bOk = VARIANT_FALSE;
    hr = m_pDocument->load(var, &bOk);
    VariantClear(&var);
    if (hr != S_OK)
        return hr;
    IXMLDOMParseError* pError = nullptr;
    if (FAILED(m_pDocument->get_parseError(&pError)) || !pError)
        return E_FAIL;
    long lCode = 0;
    pError->get_errorCode(&lCode);
    pError->Release();
    SafeRelease(m_pDocNode);
    void* pv = nullptr;
    hr = m_pDocument->QueryInterface(kIidDomNode, &pv);
    m_pDocNode = static_cast<IXMLDOMNode*>(pv);
    return hr;
}

IXMLDOMNode* XmlDomHelper::SelectFromRoot(const wchar_t* pwszName)
{
    return SelectNode(m_pDocNode, pwszName);
}

IXMLDOMNode* XmlDomHelper::SelectNode(IXMLDOMNode* pParent, const wchar_t* pwszName)
{
    if (!pParent || !pwszName)
        return nullptr;
    BSTR bstrName = SysAllocString(pwszName);
    IXMLDOMNode* pNode = nullptr;
    HRESULT hr = pParent->selectSingleNode(bstrName, &pNode);
    SysFreeString(bstrName);
    if (hr != S_OK) {
        SafeRelease(pNode);
        return nullptr;
    }
    return pNode;
}

IXMLDOMNodeList* XmlDomHelper::GetChildNodes(IXMLDOMNode* pNode)
{
    IXMLDOMNodeList* pList = nullptr;
    if (!pNode || FAILED(pNode->get_childNodes(&pList)))
        return nullptr;
    return pList;
}

HRESULT XmlDomHelper::GetText(IXMLDOMNode* pNode, wchar_t* pwszBuf, size_t cchBuf)
{
    if (!pNode || !pwszBuf || !cchBuf)
        return E_FAIL;
    BSTR bstrText = nullptr;
    if (FAILED(pNode->get_text(&bstrText)))
        return E_FAIL;
    HRESULT hr = CopyBounded(bstrText, pwszBuf, cchBuf);
    SysFreeString(bstrText);
    return hr;
}

HRESULT XmlDomHelper::SelectAttributes(IXMLDOMNode* pNode)
{
    SafeRelease(m_pAttributes);
    if (!pNode)
        return E_FAIL;
    return pNode->get_attributes(&m_pAttributes);
}

HRESULT XmlDomHelper::ReleaseAttributes()
{
    SafeRelease(m_pAttributes);
    return S_OK;
}

HRESULT XmlDomHelper::GetAttribute(const wchar_t* pwszName, wchar_t* pwszBuf, size_t cchBuf)
{
    if (!pwszBuf || !cchBuf)
        return E_FAIL;
    IXMLDOMNode* pItem = nullptr;
    BSTR bstrName = SysAllocString(pwszName ? pwszName : L"");
    HRESULT hr = m_pAttributes ? m_pAttributes->getNamedItem(bstrName, &pItem) : E_FAIL;
    SysFreeString(bstrName);
    if (hr != S_OK || !pItem) {
        SafeRelease(pItem);
        pwszBuf[0] = L'\0';
        return E_FAIL;
    }
    VARIANT var;
    VariantInit(&var);
    hr = S_OK;
    if (SUCCEEDED(pItem->get_nodeValue(&var)) && var.vt == VT_BSTR)
        hr = CopyBounded(var.bstrVal, pwszBuf, cchBuf);
    pItem->Release();
    VariantClear(&var);
    return hr;
}

// The attribute's text for a conversion; a failure leaves the out value alone.
HRESULT XmlDomHelper::ReadValue(const wchar_t* pwszName, const void* pvOut, wchar_t (&wszValue)[kValueChars])
{
    HRESULT hr = GetAttribute(pwszName, wszValue, kValueChars);
    if (FAILED(hr) || !pvOut)
        return FAILED(hr) ? hr : E_POINTER;
    return S_OK;
}

HRESULT XmlDomHelper::GetAttributeInt(const wchar_t* pwszName, int* piOut)
{
    wchar_t wszValue[kValueChars] = {};
    HRESULT hr = ReadValue(pwszName, piOut, wszValue);
    if (FAILED(hr))
        return hr;
    if (wszValue[0] == L'#')
        *piOut = static_cast<int>(wcstoul(wszValue + 1, nullptr, kHexBase));
    else
        *piOut = _wtoi(wszValue);
    return S_OK;
}

HRESULT XmlDomHelper::GetAttributeBool(const wchar_t* pwszName, BYTE* pbOut)
{
    wchar_t wszValue[kValueChars] = {};
    HRESULT hr = ReadValue(pwszName, pbOut, wszValue);
    if (FAILED(hr))
        return hr;
    *pbOut = _wcsicmp(wszValue, L"true") == 0 ? 1 : 0;
    return S_OK;
}

bool XmlDomHelper::IsElement(IXMLDOMNode* pNode)
{
    DOMNodeType type = NODE_INVALID;
    return pNode && SUCCEEDED(pNode->get_nodeType(&type)) && type == NODE_ELEMENT;
}
