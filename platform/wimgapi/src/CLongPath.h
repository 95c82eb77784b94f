// Paths as the file system API takes them past MAX_PATH: full, and in the
// "\\?\" form, together with the plain form that messages show.
#pragma once

#include <string>
#include <vector>

class CLongPath {
public:
    // FALSE when the path cannot be made full.
    bool Set(const std::wstring& path);
    // Appends one name; FALSE when the result exceeds the system's limit.
    bool Push(const std::u16string& name);
    void Pop();

    const std::wstring& Extended() const { return m_extended; }
    // The path as the caller wrote it, for messages: "X:\dir\file".
    std::wstring Display() const;
    // The path in one case, so that names the file system takes as one
    // compare equal.
    static std::wstring FoldCase(std::wstring path);

private:
    std::wstring m_extended;
    size_t m_prefix = 0;
    std::wstring m_displayPrefix;
    std::vector<size_t> m_marks;
};
