// A thin wrapper over an MSXML DOM document: synchronous load, elements by
// name, texts, child lists and attributes as text, integer or boolean.
// COM must be initialised on the calling thread.
#pragma once

#include <windows.h>
#include <msxml2.h>

class XmlDomHelper {
public:
    XmlDomHelper() = default;
    ~XmlDomHelper() { Release(); }
    XmlDomHelper(const XmlDomHelper&) = delete;
    XmlDomHelper& operator=(const XmlDomHelper&) = delete;

    // Makes the document; a failure leaves it null (every lookup finds nothing).
    void Create();
    void Release();

    // S_OK, or what the document's load said (S_FALSE: missing or unparsable).
    HRESULT Load(const wchar_t* pwszPath);

    // The caller owns the returned references; null when nothing matches.
    IXMLDOMNode* SelectFromRoot(const wchar_t* pwszName);
    IXMLDOMNode* SelectNode(IXMLDOMNode* pParent, const wchar_t* pwszName);
    IXMLDOMNodeList* GetChildNodes(IXMLDOMNode* pNode);

    // Texts are copied cut and terminated; a text that did not fit gives
    // NV_E_BUFFER_TOO_SMALL.
    HRESULT GetText(IXMLDOMNode* pNode, wchar_t* pwszBuf, size_t cchBuf);

    HRESULT SelectAttributes(IXMLDOMNode* pNode);
    HRESULT ReleaseAttributes();
    // Absent: empty text and E_FAIL.
    HRESULT GetAttribute(const wchar_t* pwszName, wchar_t* pwszBuf, size_t cchBuf);
    // '#' starts a hexadecimal value; a failure leaves *piOut unchanged.
    HRESULT GetAttributeInt(const wchar_t* pwszName, int* piOut);
    // 1 for "true" in any case, else 0; a failure leaves *pbOut unchanged.
    HRESULT GetAttributeBool(const wchar_t* pwszName, BYTE* pbOut);

    // Node kind test for lists that may hold comments.
    static bool IsElement(IXMLDOMNode* pNode);

    // Attribute values read as numbers or flags go through this buffer.
    static const size_t kValueChars = 256;

private:
    HRESULT ReadValue(const wchar_t* pwszName, const void* pvOut, wchar_t (&wszValue)[kValueChars]);

    IXMLDOMDocument* m_pDocument = nullptr;
    IXMLDOMNode* m_pDocNode = nullptr;
    IXMLDOMNamedNodeMap* m_pAttributes = nullptr;
};
