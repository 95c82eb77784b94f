// Value types, run-time classes, collections and files of the class library.
#include <afxcoll.h>
#include <gtest/gtest.h>
#include "MfcTestIds.h"

namespace {

class CAnimal : public CObject {
    DECLARE_DYNCREATE(CAnimal)
};
class CDog : public CAnimal {
    DECLARE_DYNCREATE(CDog)
};
class CPuppy : public CDog {
    DECLARE_DYNCREATE(CPuppy)
};
class CRock : public CObject {
    DECLARE_DYNAMIC(CRock)
};
IMPLEMENT_DYNCREATE(CAnimal, CObject)
IMPLEMENT_DYNCREATE(CDog, CAnimal)
IMPLEMENT_DYNCREATE(CPuppy, CDog)
IMPLEMENT_DYNAMIC(CRock, CObject)

TEST(RuntimeClass, IsKindOfFollowsTheBaseChain) {
    CPuppy puppy;
    CDog dog;
    CRock rock;
    struct Case {
        const char* name;
        const CObject* object;
        CRuntimeClass* cls;
        BOOL expected;
    } cases[] = {
        {"puppy is a puppy", &puppy, RUNTIME_CLASS(CPuppy), TRUE},
        {"puppy is a dog", &puppy, RUNTIME_CLASS(CDog), TRUE},
        {"puppy is an animal", &puppy, RUNTIME_CLASS(CAnimal), TRUE},
        {"puppy is an object", &puppy, RUNTIME_CLASS(CObject), TRUE},
        {"dog is not a puppy", &dog, RUNTIME_CLASS(CPuppy), FALSE},
        {"rock is not an animal", &rock, RUNTIME_CLASS(CAnimal), FALSE},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, c.object->IsKindOf(c.cls)) << c.name;
}

TEST(RuntimeClass, CreationByClassAndByName) {
    CObject* byClass = RUNTIME_CLASS(CDog)->CreateObject();
    ASSERT_NE(nullptr, byClass);
    EXPECT_EQ(RUNTIME_CLASS(CDog), byClass->GetRuntimeClass());
    delete byClass;

    CObject* byName = CRuntimeClass::CreateObject(L"CPuppy");
    ASSERT_NE(nullptr, byName);
    EXPECT_TRUE(byName->IsKindOf(RUNTIME_CLASS(CPuppy)));
    delete byName;

    EXPECT_EQ(nullptr, CRuntimeClass::FromName("CNoSuchClass"));
    EXPECT_EQ(nullptr, RUNTIME_CLASS(CRock)->CreateObject()) << "a dynamic-only class cannot be created";
    EXPECT_STREQ("CPuppy", CRuntimeClass::FromName("CPuppy")->m_lpszClassName);
}

TEST(RuntimeClass, DynamicDowncastChecksTheClass) {
    CPuppy puppy;
    CRock rock;
    EXPECT_EQ(&puppy, DYNAMIC_DOWNCAST(CDog, &puppy));
    EXPECT_EQ(nullptr, DYNAMIC_DOWNCAST(CDog, &rock));
    EXPECT_EQ(nullptr, DYNAMIC_DOWNCAST(CDog, (CObject*)nullptr));
}

TEST(CString, FormatFollowsTheSystemRuntime) {
    struct Case {
        const wchar_t* expected;
        CString actual;
    };
    auto fmt = [](const wchar_t* f, auto... args) {
        CString s;
        s.Format(f, args...);
        return s;
    };
    Case cases[] = {
        {L"wide [abc]", fmt(L"wide [%s]", L"abc")},
        {L"narrow [abc]", fmt(L"narrow [%S]", "abc")},
        {L"7 of -3", fmt(L"%u of %d", 7u, -3)},
        {L"1099511627776", fmt(L"%I64u", 1ULL << 40)},
        {L"0x0000002A", fmt(L"0x%.8X", 42)},
        {L"100%", fmt(L"%d%%", 100)},
        {L"", fmt(L"")},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.expected, c.actual) << "expected " << CStringA(c.expected).GetString();

    // A string object goes through "..." as its text; the build refuses the object itself.
    CString name(L"abc");
    EXPECT_STREQ(L"[abc]", fmt(L"[%s]", (LPCWSTR)name));
    CString appended(L"x");
    appended.AppendFormat(L"-%s-%d", name.GetString(), 5);
    EXPECT_STREQ(L"x-abc-5", appended);

    CString longText;
    longText.Format(L"%s|%s", (LPCWSTR)CString(L'x', 5000), L"end");
    EXPECT_EQ(5004, longText.GetLength()) << "a long result is not cut";
}

TEST(CString, LoadStringFromTheResourceHandle) {
    CString s;
    EXPECT_TRUE(s.LoadString(IDS_PLAIN));
    EXPECT_STREQ(L"Plain text", s);
    EXPECT_TRUE(s.LoadString(IDS_SECOND_BLOCK));
    EXPECT_STREQ(L"In another block", s);
    EXPECT_FALSE(s.LoadString(12345)) << "a missing id";

    CString f;
    f.Format(IDS_FORMAT, 2, 3, L"D:");
    EXPECT_STREQ(L"Disc 2 of 3 in D:", f);
}

TEST(CString, EditingMembers) {
    CString s(L"  Hello World  ");
    s.Trim();
    EXPECT_STREQ(L"Hello World", s);
    EXPECT_EQ(6, s.Find(L"World"));
    EXPECT_EQ(-1, s.Find(L"world"));
    EXPECT_EQ(-1, s.Find(L'H', 20)) << "a start beyond the end";
    EXPECT_STREQ(L"Hello", s.Left(5));
    EXPECT_STREQ(L"World", s.Mid(6));
    EXPECT_STREQ(L"Wor", s.Mid(6, 3));
    EXPECT_STREQ(L"", s.Mid(50, 3)) << "Mid beyond the end";
    EXPECT_STREQ(L"Hello World", s.Left(99)) << "Left beyond the end";
    EXPECT_STREQ(L"World", s.Right(5));
    CString u(s);
    u.MakeUpper();
    EXPECT_STREQ(L"HELLO WORLD", u);
    EXPECT_EQ(0, u.CompareNoCase(L"hello world"));
    EXPECT_EQ(3, u.Replace(L"L", L"LL"));
    EXPECT_STREQ(L"HELLLLO WORLLD", u);
    CString path(L"C:\\a\\b\\file.txt");
    EXPECT_EQ(6, path.ReverseFind(L'\\'));
    CString buf;
    wcscpy(buf.GetBuffer(10), L"abc");
    buf.ReleaseBuffer();
    EXPECT_EQ(3, buf.GetLength());
    EXPECT_TRUE(CString(L"a") < CString(L"b"));
    CStringA narrow(L"text");
    EXPECT_STREQ("text", narrow);
}

TEST(Geometry, RectangleArithmetic) {
    CRect r(10, 20, 110, 70);
    EXPECT_EQ(100, r.Width());
    EXPECT_EQ(50, r.Height());
    r.DeflateRect(5, 10);
    EXPECT_EQ(CRect(15, 30, 105, 60), r);
    r.OffsetRect(-15, -30);
    EXPECT_EQ(CRect(0, 0, 90, 30), r);
    CRect swapped(90, 0, 10, 30);
    swapped.SwapLeftRight();
    EXPECT_EQ(CRect(10, 0, 90, 30), swapped);
    EXPECT_EQ(CPoint(45, 15), r.CenterPoint());
    EXPECT_EQ(CSize(3, 4), CPoint(5, 7) - CPoint(2, 3));
}

TEST(Collections, MapIteratesEveryEntryOnce) {
    CMap<int, int, int, int> map;
    for (int i = 0; i < 100; ++i) map[i * 16] = i;
    EXPECT_EQ(100, map.GetCount());
    int value = -1;
    EXPECT_TRUE(map.Lookup(32, value));
    EXPECT_EQ(2, value);
    EXPECT_TRUE(map.RemoveKey(32));
    EXPECT_FALSE(map.Lookup(32, value));
    EXPECT_FALSE(map.RemoveKey(32)) << "removed twice";
    int seen = 0, sum = 0;
    for (POSITION pos = map.GetStartPosition(); pos;) {
        int k = 0, v = 0;
        map.GetNextAssoc(pos, k, v);
        ++seen;
        sum += v;
    }
    EXPECT_EQ(99, seen);
    EXPECT_EQ(4950 - 2, sum);
    CMapStringToPtr byName;
    byName.SetAt(L"bg.png", (void*)1);
    void* p = nullptr;
    EXPECT_TRUE(byName.Lookup(L"bg.png", p));
    EXPECT_FALSE(byName.Lookup(L"BG.png", p)) << "keys are case-sensitive";
}

TEST(Collections, ListAndArray) {
    CList<int, int> list;
    list.AddTail(2);
    list.AddTail(3);
    list.AddHead(1);
    POSITION pos = list.Find(2);
    ASSERT_NE(nullptr, pos);
    list.InsertAfter(pos, 9);
    int expected[] = {1, 2, 9, 3};
    int i = 0;
    for (POSITION p = list.GetHeadPosition(); p; ++i) EXPECT_EQ(expected[i], list.GetNext(p)) << "element " << i;
    EXPECT_EQ(4, i);
    EXPECT_EQ(1, list.RemoveHead());
    EXPECT_EQ(3, list.RemoveTail());
    EXPECT_EQ(2, list.GetCount());

    CArray<int, int> arr;
    arr.Add(1);
    arr.Add(3);
    arr.InsertAt(1, 2);
    arr.SetAtGrow(5, 6);
    EXPECT_EQ(6, arr.GetSize());
    EXPECT_EQ(2, arr[1]);
    arr.RemoveAt(0, 2);
    EXPECT_EQ(3, arr[0]);
    bool thrown = false;
    try {
        arr.GetAt(99);
    } catch (CInvalidArgException* e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown) << "an index beyond the end is refused";
}

TEST(Files, MemoryFileGrowsAndAFixedOneRefuses) {
    CMemFile grow(16);
    char data[40];
    memset(data, 'a', sizeof data);
    grow.Write(data, sizeof data);
    EXPECT_EQ(40u, grow.GetLength());
    grow.SeekToBegin();
    char back[50] = {};
    EXPECT_EQ(40u, grow.Read(back, sizeof back));

    BYTE fixed[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    CMemFile view(fixed, sizeof fixed);
    EXPECT_EQ(8u, view.GetLength()) << "a fixed buffer reads as a file of its size";
    view.SeekToEnd();
    bool thrown = false;
    try {
        view.Write(data, 1);
    } catch (CMemoryException* e) {
        thrown = true;
        e->Delete();
    }
    EXPECT_TRUE(thrown) << "writing past a fixed buffer";
}

TEST(Files, TextLinesAndMissingFiles) {
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"mfc", 0, path);
    {
        CStdioFile out;
        ASSERT_TRUE(out.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeText));
        out.WriteString(L"first\nsecond line\n\nlast");
    }
    CStdioFile in;
    ASSERT_TRUE(in.Open(path, CFile::modeRead | CFile::typeText));
    const wchar_t* expected[] = {L"first", L"second line", L"", L"last"};
    CString line;
    for (const wchar_t* e : expected) {
        ASSERT_TRUE(in.ReadString(line)) << CStringA(e).GetString();
        EXPECT_STREQ(e, line);
    }
    EXPECT_FALSE(in.ReadString(line)) << "end of file";
    in.Close();
    DeleteFileW(path);

    CFile missing;
    CFileException error;
    EXPECT_FALSE(missing.Open(L"C:\\no\\such\\file.bin", CFile::modeRead, &error));
    EXPECT_EQ(CFileException::badPath, error.m_cause);
    bool thrown = false;
    try {
        CFile f(L"C:\\windows\\no-such-file.bin", CFile::modeRead);
    } catch (CFileException* e) {
        thrown = e->m_cause == CFileException::fileNotFound;
        e->Delete();
    }
    EXPECT_TRUE(thrown) << "the constructor throws the cause";
}

} // namespace

namespace {

DWORD RunProbe(const wchar_t* args) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    CString exe(path);
    exe = exe.Left(exe.ReverseFind(L'\\')) + L"\\MfcAppProbe.exe";
    CString cmd;
    cmd.Format(L"\"%s\" %s", (LPCWSTR)exe, args);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe, cmd.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return (DWORD)-2;
    cmd.ReleaseBuffer();
    DWORD code = (DWORD)-3;
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

TEST(EntryPoint, ExitCodeComesFromExitInstance) {
    struct Case {
        const wchar_t* args;
        DWORD code;
    } cases[] = {
        {L"refuse 7", 7},  // InitInstance FALSE: ExitInstance's value
        {L"refuse 1", 1},
        {L"run 5", 5},     // the loop ends on WM_QUIT; the main window pointer was cleared
    };
    for (const Case& c : cases) EXPECT_EQ(c.code, RunProbe(c.args)) << CStringA(c.args).GetString();
}

} // namespace
