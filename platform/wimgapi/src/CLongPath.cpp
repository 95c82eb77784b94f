#include "CLongPath.h"

#include <windows.h>

namespace {
const size_t kMaxExtended = 32767;
}

bool CLongPath::Set(const std::wstring& path)
{
    m_marks.clear();
    if (path.empty()) return false;
    if (path.compare(0, 4, L"\\\\?\\") == 0) {
        m_extended = path;
        m_prefix = 4;
        m_displayPrefix.clear();
    } else {
        DWORD need = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
        if (!need) return false;
        std::wstring full(need, L'\0');
        DWORD got = GetFullPathNameW(path.c_str(), need, &full[0], nullptr);
        if (!got || got >= need) return false;
        full.resize(got);
        if (full.compare(0, 2, L"\\\\") == 0) {
            m_extended = L"\\\\?\\UNC\\" + full.substr(2);
            m_prefix = 8;
            m_displayPrefix = L"\\\\";
        } else {
            m_extended = L"\\\\?\\" + full;
            m_prefix = 4;
            m_displayPrefix.clear();
        }
    }
    while (m_extended.size() > m_prefix + 3 && m_extended.back() == L'\\')
        m_extended.pop_back();
    if (m_extended.back() == L':') m_extended += L'\\';
    return m_extended.size() < kMaxExtended;
}

bool CLongPath::Push(const std::u16string& name)
{
    m_marks.push_back(m_extended.size());
    if (m_extended.back() != L'\\') m_extended += L'\\';
    m_extended.append(name.begin(), name.end());
    return m_extended.size() < kMaxExtended;
}

void CLongPath::Pop()
{
    if (m_marks.empty()) return;
    m_extended.resize(m_marks.back());
    m_marks.pop_back();
}

std::wstring CLongPath::Display() const { return m_displayPrefix + m_extended.substr(m_prefix); }

// Kernel32's own mapping, with the system's casing as file names use it:
// the character functions of the window library would load it into every
// process that only images.
std::wstring CLongPath::FoldCase(std::wstring path)
{
    if (!path.empty())
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.c_str(), (int)path.size(), &path[0],
                      (int)path.size(), nullptr, nullptr, 0);
    return path;
}
