// Toolkit classes are created by name at run time, so the programs carry all
// of them whether or not their own code names them.
#include <afxwin.h>
#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const char* const kClassNames[] = {"CUIXPropExchange", "CUIXPropExchangeArchive", "CUIXImageManager", "CUIXImageManagerIcon"};

TEST(LinkedClasses, FoundByNameInThisProgram) {
    // Nothing in this test names the classes; whole-archive linking registered them.
    for (const char* name : kClassNames) {
        CRuntimeClass* cls = CRuntimeClass::FromName(name);
        ASSERT_NE(nullptr, cls) << name;
        EXPECT_STREQ(name, cls->m_lpszClassName);
        EXPECT_TRUE(cls->IsDerivedFrom(RUNTIME_CLASS(CCmdTarget))) << name;
    }
}

TEST(LinkedClasses, CarriedByTheProductProgram) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring program(path);
    program.erase(program.find_last_of(L'\\') + 1);
    program += sizeof(void*) == 8 ? L"Mendora.exe" : L"Discora.exe";
    char narrow[MAX_PATH * 3] = {};
    WideCharToMultiByte(CP_ACP, 0, program.c_str(), -1, narrow, sizeof(narrow), nullptr, nullptr);
    std::ifstream in(narrow, std::ios::binary);
    ASSERT_TRUE(in.good()) << narrow;
    std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* name : kClassNames) {
        std::string needle = std::string(name) + '\0';
        EXPECT_NE(std::string::npos, image.find(needle)) << name << " is in " << narrow;
    }
}

} // namespace
