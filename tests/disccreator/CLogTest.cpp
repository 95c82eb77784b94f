// Burn log writer: queue order, adoption by a writer built without a
// handle, flush on destruction and flush-only calls, checked byte for byte.
#include <gtest/gtest.h>

#include <windows.h>

#include "CAutoHandle.h"
#include "CLog.h"
#include "TestFiles.h"

using namespace TestFiles;

namespace {

const wchar_t kLog[] = L"O:\\MendoraBurn.txt";

class CLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearDrive(L'O');
        m_file.Reset(CreateFileW(kLog, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(m_file.IsValid());
    }
    std::string Bytes()
    {
        m_file.Close();
        return ReadBytes(kLog);
    }
    CAutoHandle m_file;
};

} // namespace

TEST_F(CLogTest, QueuedLinesGoFirstInOrderOnce)
{
    CLog log(m_file.Get());
    log.Write("one\r\n", TRUE);
    log.Write("two\r\n", TRUE);
    log.Write("three\r\n", FALSE);
    log.Write("four\r\n", FALSE);
    EXPECT_EQ("one\r\ntwo\r\nthree\r\nfour\r\n", Bytes());
}

TEST_F(CLogTest, WriterWithoutHandleAdoptsThePublishedOne)
{
    CLog first(m_file.Get());
    first.Write("first\r\n", FALSE);
    CLog second(nullptr);
    EXPECT_EQ(m_file.Get(), second.GetFile());
    second.Write("second\r\n", FALSE);
    EXPECT_EQ("first\r\nsecond\r\n", Bytes());
}

TEST_F(CLogTest, DestructionWritesTheQueue)
{
    {
        CLog log(m_file.Get());
        log.Write("queued\r\n", TRUE);
        EXPECT_EQ(0u, GetFileSize(m_file.Get(), nullptr));
    }
    EXPECT_EQ("queued\r\n", Bytes());
}

TEST_F(CLogTest, NullTextOnlyFlushes)
{
    CLog log(m_file.Get());
    log.Write("a", TRUE);
    log.Write(nullptr, TRUE);
    log.Write(nullptr, FALSE);
    log.Write(nullptr, FALSE);
    EXPECT_EQ("a", Bytes());
}
