// What every test may rely on: declared drives mapped to empty folders, the
// build on Y:, and no way out to the host's root.
#include <gtest/gtest.h>

#include <windows.h>

#include "TestFiles.h"

namespace {

TEST(Rig, DriveLetters)
{
    struct {
        const wchar_t* root;
        UINT type;
    } cases[] = {
        {L"Z:\\", DRIVE_NO_ROOT_DIR}, // the host's root is not reachable
        {L"Y:\\", DRIVE_FIXED},       // the build output
        {L"Q:\\", DRIVE_FIXED},       // declared by this test
        {L"C:\\", DRIVE_FIXED},       // Wine's own system drive
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.type, GetDriveTypeW(c.root)) << c.root;
}

TEST(Rig, DeclaredDriveStartsEmpty)
{
    EXPECT_EQ(L"", TestFiles::CompareTrees(L"Q:\\", L"Y:\\win64\\tests\\rig\\empty"));
    ASSERT_TRUE(TestFiles::WriteBytes(L"Q:\\left-behind.txt", "x"));
}

TEST(Rig, DisplayAvailable)
{
    HWND hWnd = CreateWindowW(L"STATIC", L"probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              nullptr, nullptr);
    EXPECT_NE(nullptr, hWnd);
    if (hWnd)
        DestroyWindow(hWnd);
}

} // namespace
