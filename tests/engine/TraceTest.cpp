// Trace scope, free trace lines, the system-error line and the result codes,
// as they reach the dump file on T:.
#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "CAutoTrace.h"
#include "CDumpMgr.h"
#include "NvErrorCode.h"
#include "TestFiles.h"
#include "Win32Error.h"

using namespace TestFiles;

namespace {

#ifdef RV_DISCORA
const wchar_t kDump[] = L"T:\\ProgramData\\Recovery\\DiscoraDump.txt";
const size_t kStampChars = 19; // "[yy-mm-dd hh-mm-ss]"
#else
const wchar_t kDump[] = L"T:\\ProgramData\\Recovery\\MendoraDump.txt";
const size_t kStampChars = 0;
#endif

class TraceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClearDrive(L'T');
        g_DumpMgr.Initialize();
        g_DumpMgr.SetDumpMode(DM_OS);
        g_DumpMgr.PrepareDumpFilePath(L'T');
    }
    void SetUp() override { DeleteFileW(kDump); }

    // Lines of the dump, each with its CR LF, stamps removed.
    static std::vector<std::string> Lines()
    {
        std::vector<std::string> lines;
        std::string bytes = ReadBytes(kDump);
        size_t start = 0;
        while (start < bytes.size()) {
            size_t end = bytes.find("\r\n", start);
            end = end == std::string::npos ? bytes.size() : end + 2;
            lines.push_back(bytes.substr(start + kStampChars, end - start - kStampChars));
            start = end;
        }
        return lines;
    }
};

TEST_F(TraceTest, ScopeWritesEntryTextAndExit)
{
    {
        CAutoTrace trace(L"CSBRMgr", L"Init", reinterpret_cast<void*>(0x12ABCDEF));
        trace.Print(L"value == %d, name == %s", 42, L"disk");
    }
    std::vector<std::string> expected = {
        "CSBRMgr::Init  (0x12ABCDEF) entering ... \r\n",
        "CSBRMgr::Init value == 42, name == disk\r\n",
        "CSBRMgr::Init leaving!\r\n",
    };
    EXPECT_EQ(expected, Lines());
}

TEST_F(TraceTest, LongTextKeepsPrefixAndLineFeed)
{
    struct {
        size_t chars;
    } cases[] = {{1000}, {1020}, {1023}, {1500}};
    for (const auto& c : cases) {
        DeleteFileW(kDump);
        {
            CAutoTrace trace(L"CWimMgr", L"Apply", nullptr);
            std::wstring text(c.chars, L'x');
            trace.Print(L"%s", text.c_str());
            trace.Print(L"next");
        }
        std::vector<std::string> lines = Lines();
        ASSERT_EQ(4u, lines.size()) << c.chars << " characters";
        EXPECT_EQ(0u, lines[1].find("CWimMgr::Apply xxx")) << c.chars << " characters";
        EXPECT_EQ("\r\n", lines[1].substr(lines[1].size() - 2)) << c.chars << " characters";
        EXPECT_EQ("CWimMgr::Apply next\r\n", lines[2]) << c.chars << " characters";
    }
}

TEST_F(TraceTest, DebugPrintAddsNothing)
{
    DebugPrint(L"Create File Failed.\n");
    DebugPrint(L"no line feed ");
    DebugPrint(L"%s %lu\n", L"joined", 7ul);
    std::vector<std::string> lines = Lines();
#ifdef RV_DISCORA
    // Every write is stamped, so the run-on text carries a second stamp.
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("Create File Failed.\r\n", lines[0]);
    EXPECT_EQ("no line feed ", lines[1].substr(0, 13));
    EXPECT_EQ('[', lines[1][13]);
    EXPECT_EQ("joined 7\r\n", lines[1].substr(13 + kStampChars));
#else
    std::vector<std::string> expected = {"Create File Failed.\r\n", "no line feed joined 7\r\n"};
    EXPECT_EQ(expected, lines);
#endif
}

#ifndef RV_DISCORA
TEST_F(TraceTest, TaggedLineHasNoScopeName)
{
    {
        CAutoTrace trace(L"CSBRMgr", L"Suspend", nullptr);
        trace.PrintTagged(L"suspend thread %d", 3);
    }
    ASSERT_EQ(3u, Lines().size());
    EXPECT_EQ("[SBR] suspend thread 3\r\n", Lines()[1]);
}

TEST_F(TraceTest, Win32ErrorLine)
{
    struct {
        DWORD code;
        const char* prefix;
    } cases[] = {
        {0, "Win32 System Info Code = 0, Info Message = "},
        {ERROR_FILE_NOT_FOUND, "Win32 System Info Code = 2, Info Message = "},
        {0xDEADBEEF, "Win32 System Info Code = 3735928559, Info Message = "},
    };
    for (const auto& c : cases) {
        DeleteFileW(kDump);
        PrintWin32Error(c.code);
        std::string dump = ReadBytes(kDump);
        EXPECT_EQ(0u, dump.find(c.prefix)) << c.code << ": " << dump;
    }
}
#else
TEST_F(TraceTest, DiscCreatorWritesNoWin32ErrorLine)
{
    PrintWin32Error(ERROR_FILE_NOT_FOUND);
    HANDLE hBad = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(0x7ff0));
    EXPECT_EQ(NV_E_CLOSE_HANDLE, SafeCloseHandle(&hBad));
    EXPECT_FALSE(Exists(kDump));
}
#endif

TEST(SafeCloseHandle, Cases)
{
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, hEvent);
    HANDLE hClosed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, hClosed);
    CloseHandle(hClosed);

    struct {
        const char* name;
        HANDLE handle;
        HRESULT result;
        bool cleared;
    } cases[] = {
        {"null", nullptr, S_OK, true},
        {"invalid handle value", INVALID_HANDLE_VALUE, S_OK, false},
        {"open event", hEvent, S_OK, true},
        {"already closed", hClosed, NV_E_CLOSE_HANDLE, false},
    };
    for (const auto& c : cases) {
        HANDLE h = c.handle;
        EXPECT_EQ(c.result, SafeCloseHandle(&h)) << c.name;
        EXPECT_EQ(c.cleared ? nullptr : c.handle, h) << c.name;
    }
}

// Every code by name against the value the stored logs and callers know.
TEST(ResultCodes, EachNameHasItsValue)
{
    struct {
        const char* name;
        HRESULT code;
        unsigned long value;
    } codes[] = {
        {"NV_E_FILE_IO", NV_E_FILE_IO, 0xE0EF0001UL},
        {"NV_E_FILE_SIZE", NV_E_FILE_SIZE, 0xE0EF0002UL},
        {"NV_E_FAIL", NV_E_FAIL, 0xE0EF0003UL},
        {"NV_E_ALLOC", NV_E_ALLOC, 0xE0EF0004UL},
        {"NV_E_VALUE", NV_E_VALUE, 0xE0EF0005UL},
        {"NV_E_FORMAT_OVERFLOW", NV_E_FORMAT_OVERFLOW, 0xE0EF0006UL},
        {"NV_E_OS_VERSION", NV_E_OS_VERSION, 0xE0EF0007UL},
        {"NV_E_REGISTRY", NV_E_REGISTRY, 0xE0EF0008UL},
        {"NV_E_PATH_ARG", NV_E_PATH_ARG, 0xE0EF0009UL},
        {"NV_E_CLOSE_HANDLE", NV_E_CLOSE_HANDLE, 0xE0EF000AUL},
        {"NV_E_BUFFER_TOO_SMALL", NV_E_BUFFER_TOO_SMALL, 0xE0EF000BUL},
        {"NV_E_NOT_FOUND", NV_E_NOT_FOUND, 0xE0EF000CUL},
        {"NV_E_CREATE_DIR", NV_E_CREATE_DIR, 0xE0EF000DUL},
        {"NV_E_COPY_FILE", NV_E_COPY_FILE, 0xE0EF000EUL},
        {"NV_E_SET_ATTRIBUTES", NV_E_SET_ATTRIBUTES, 0xE0EF000FUL},
        {"NV_E_DELETE_FILE", NV_E_DELETE_FILE, 0xE0EF0010UL},
        {"NV_E_LOAD_LIBRARY", NV_E_LOAD_LIBRARY, 0xE0EF0011UL},
        {"NV_E_BURNER_FUNCTION", NV_E_BURNER_FUNCTION, 0xE0EF0014UL},
        {"NV_E_WAIT", NV_E_WAIT, 0xE0EF0016UL},
        {"NV_E_LAYOUT_MISMATCH", NV_E_LAYOUT_MISMATCH, 0xE0EF0018UL},
        {"NV_E_DRIVER_SETUP", NV_E_DRIVER_SETUP, 0xE0EF001CUL},
        {"NV_E_INVALID_ARG", NV_E_INVALID_ARG, 0xE0EF001EUL},
        {"NV_E_BURNER_FACTORY", NV_E_BURNER_FACTORY, 0xE0EF0029UL},
        {"NV_E_NO_LANGUAGE_PACK", NV_E_NO_LANGUAGE_PACK, 0xE0EF002EUL},
        {"NV_E_FILE_NOT_EXIST", NV_E_FILE_NOT_EXIST, 0xE0EF002FUL},
        {"NV_E_MOUNT", NV_E_MOUNT, 0xE0EF0031UL},
        {"NV_E_PARTITION_INFO", NV_E_PARTITION_INFO, 0xE0EF0038UL},
        {"NV_E_FILE_TIME", NV_E_FILE_TIME, 0xE0EF0044UL},
        {"NV_E_AC_LINE_STATUS", NV_E_AC_LINE_STATUS, 0xE0EF0049UL},
        {"NV_E_THREAD_EXIT_CODE", NV_E_THREAD_EXIT_CODE, 0xE0EF004CUL},
        {"NV_E_SHRINK_INDEX", NV_E_SHRINK_INDEX, 0xE0EF004EUL},
        {"NV_E_WIM_CREATE_FILE", NV_E_WIM_CREATE_FILE, 0xE0EE0001UL},
        {"NV_E_WIM_CAPTURE", NV_E_WIM_CAPTURE, 0xE0EE0002UL},
        {"NV_E_WIM_REGISTER_CB", NV_E_WIM_REGISTER_CB, 0xE0EE0003UL},
        {"NV_E_CREATE_DIR_LEVEL", NV_E_CREATE_DIR_LEVEL, 0xE0EE0004UL},
        {"NV_E_WIM_ATTRIBUTES", NV_E_WIM_ATTRIBUTES, 0xE0EE0009UL},
        {"NV_E_WIM_MOUNT", NV_E_WIM_MOUNT, 0xE0EE0010UL},
        {"NV_E_WIM_LOAD_IMAGE", NV_E_WIM_LOAD_IMAGE, 0xE0EE0011UL},
        {"NV_E_WIM_APPLY", NV_E_WIM_APPLY, 0xE0EE0012UL},
        {"NV_E_WIM_IMAGE_INDEX", NV_E_WIM_IMAGE_INDEX, 0xE0EE0013UL},
        {"NV_E_WIM_TEMP_PATH", NV_E_WIM_TEMP_PATH, 0xE0EE0014UL},
        {"NV_E_USER_CANCELLED", NV_E_USER_CANCELLED, 0x80EF0816UL},
        {"NV_E_BURNER_OBJECTS", NV_E_BURNER_OBJECTS, 0xE0DD0029UL},
        {"NV_E_BURNER_WAITING", NV_E_BURNER_WAITING, 0xEB020A06UL},
    };
    for (const auto& c : codes) {
        EXPECT_EQ(c.value, static_cast<unsigned long>(static_cast<DWORD>(c.code))) << c.name;
        EXPECT_TRUE(FAILED(c.code)) << c.name;
    }
}

} // namespace
