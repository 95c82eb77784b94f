// Helpers shared by the engine utility tests: the dump file of the current
// trace, a private HKLM, and folder links made on the Unix side.
#pragma once

#include <windows.h>

#include <string>

namespace EngineTest {

// Sends the trace to a dump file on the given test drive; Text() returns what
// was written since the capture began.
class CDumpCapture {
public:
    explicit CDumpCapture(wchar_t wcLetter);
    ~CDumpCapture();
    std::string Text() const;

private:
    std::wstring m_wstrPath;
    size_t m_cbStart = 0;
};

// Redirects HKEY_LOCAL_MACHINE of this process to a scratch key under
// HKEY_CURRENT_USER, so tests may write machine values without touching the
// prefix that other tests share.
class CPrivateHKLM {
public:
    explicit CPrivateHKLM(const wchar_t* pwszName);
    ~CPrivateHKLM();
    bool IsActive() const { return m_hKey != nullptr; }

private:
    std::wstring m_wstrSubKey;
    HKEY m_hKey = nullptr;
};

bool SetRegString(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, const std::wstring& value);
bool SetRegDword(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, DWORD dwValue);
bool SetRegBinary(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, const std::string& bytes);

// A folder symbolic link at pwszLink pointing to pwszTarget, made with the
// host's ln (Wine reports it as a reparse point). False when not possible.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);

// Removes such a link with the host's rm (Wine cannot remove it itself).
bool RemoveFolderLink(const std::wstring& link);

// Writes text as a UTF-8-free plain ANSI file (INI fixtures).
bool WriteText(const std::wstring& path, const std::string& text);

std::string Narrow(const std::wstring& wstr);

} // namespace EngineTest
