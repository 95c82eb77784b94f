// The language-switching component over the simulated PC. Its answers come
// from "lingwell.ini" in the PC's folder:
//   [lingwell]
//   object = 1          ; 0: GetLingwell returns no object
//   rcpath = <path>     ; what GetCurRCPath answers; empty: it fails
//   code = DEU          ; the current language code
// Without the PC or the file there is no object. Every call is journalled.
#include "Lingwell.h"

#include "CSimPc.h"

#include <string>

namespace {

std::wstring ConfigPath(CSimPc& pc) { return pc.Root() + L"\\lingwell.ini"; }

std::wstring ReadValue(const std::wstring& file, const wchar_t* key)
{
    wchar_t wszValue[MAX_PATH] = L"";
    GetPrivateProfileStringW(L"lingwell", key, L"", wszValue, MAX_PATH, file.c_str());
    return wszValue;
}

class CLingwell : public ILingwell {
public:
    explicit CLingwell(const std::wstring& configFile) : m_config(configFile), m_code(ReadValue(configFile, L"code")) {}

    HRESULT STDMETHODCALLTYPE Reserved0() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved1() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved2() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetCurLangCode(LPCWSTR pwszCode) override
    {
        m_code = pwszCode ? pwszCode : L"";
        Journal(L"SetCurLangCode " + m_code);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurRCPath(LPWSTR pwszPath) override
    {
        if (!pwszPath)
            return E_POINTER;
        std::wstring path = ReadValue(m_config, L"rcpath");
        Journal(L"GetCurRCPath " + path);
        if (path.empty())
            return E_FAIL;
        lstrcpynW(pwszPath, path.c_str(), MAX_PATH);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurLangCode(LPWSTR pwszCode) override
    {
        if (!pwszCode)
            return E_POINTER;
        lstrcpynW(pwszCode, m_code.c_str(), MAX_PATH);
        Journal(L"GetCurLangCode " + m_code);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ApplyLanguage() override
    {
        Journal(L"ApplyLanguage");
        return S_OK;
    }

private:
    void Journal(const std::wstring& text)
    {
        CSimPc pc(L"Lingwell.dll");
        if (pc.Open())
            pc.Journal(text);
    }

    std::wstring m_config;
    std::wstring m_code;
};

} // namespace

extern "C" __declspec(dllexport) ILingwell* WINAPI GetLingwell(LPCWSTR, LPCWSTR, LPCWSTR, BOOL bInitLanguage, DWORD)
{
    CSimPc pc(L"Lingwell.dll");
    if (!pc.Open())
        return nullptr;
    std::wstring config = ConfigPath(pc);
    bool bObject = GetFileAttributesW(config.c_str()) != INVALID_FILE_ATTRIBUTES &&
                   GetPrivateProfileIntW(L"lingwell", L"object", 1, config.c_str()) != 0;
    pc.Journal(std::wstring(L"GetLingwell init=") + (bInitLanguage ? L"1" : L"0") + (bObject ? L"" : L" (no object)"));
    // The object lives as long as the process, as the program expects.
    return bObject ? new CLingwell(config) : nullptr;
}
