// Persistent-object byte formats of the archive, damaged streams, the
// automation types' archive forms, interface tables and per-thread objects.
#include <afxwin.h>
#include <afxdisp.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;

class CShape : public CObject {
    DECLARE_SERIAL(CShape)
public:
    LONG m_size = 0;
    void Serialize(CArchive& ar) override {
        if (ar.IsStoring()) ar << m_size;
        else ar >> m_size;
    }
};
IMPLEMENT_SERIAL(CShape, CObject, 2)

class CCircle : public CShape {
    DECLARE_SERIAL(CCircle)
public:
    CShape* m_pPeer = nullptr;
    void Serialize(CArchive& ar) override {
        CShape::Serialize(ar);
        if (ar.IsStoring()) ar << m_pPeer;
        else ar >> m_pPeer;
    }
};
IMPLEMENT_SERIAL(CCircle, CShape, VERSIONABLE_SCHEMA | 5)

class CNote : public CObject {
    DECLARE_SERIAL(CNote)
public:
    UINT m_loadedSchema = 0;
    void Serialize(CArchive& ar) override {
        if (ar.IsLoading()) m_loadedSchema = ar.GetObjectSchema();
    }
};
IMPLEMENT_SERIAL(CNote, CObject, VERSIONABLE_SCHEMA | 3)

Bytes Store(void (*fill)(CArchive&)) {
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        fill(ar);
        ar.Close();
    }
    ULONGLONG n = file.GetLength();
    BYTE* p = file.Detach();
    Bytes out(p, p + n);
    free(p);
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& b : parts) out.insert(out.end(), b.begin(), b.end());
    return out;
}

Bytes Ascii(const char* s) { return Bytes(s, s + strlen(s)); }

// Runs a reader over bytes; "" when it finished, else the exception kind.
std::string Load(const Bytes& data, void (*read)(CArchive&)) {
    Bytes copy = data;
    CMemFile file(copy.empty() ? nullptr : copy.data(), (UINT)copy.size());
    CArchive ar(&file, CArchive::load);
    try {
        read(ar);
    } catch (CArchiveException* e) {
        std::string cause = "archive:" + std::to_string(e->m_cause);
        e->Delete();
        return cause;
    } catch (COleException* e) {
        e->Delete();
        return "ole";
    } catch (CMemoryException* e) {
        e->Delete();
        return "memory";
    } catch (CFileException* e) {
        e->Delete();
        return "file";
    }
    return "";
}

TEST(Archive, CountEncodingIsByteExact) {
    struct Case {
        ULONGLONG count;
        Bytes bytes;
    } cases[] = {
        {0, {0x00, 0x00}},
        {0xFFFE, {0xFE, 0xFF}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {0xFFFFFFFE, {0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF}},
        {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00}},
        {0x100000000ULL, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        static ULONGLONG current;
        current = c.count;
        EXPECT_EQ(c.bytes, Store([](CArchive& ar) { ar.WriteCount64(current); })) << c.count;
        static ULONGLONG read;
        EXPECT_EQ("", Load(c.bytes, [](CArchive& ar) { read = ar.ReadCount64(); }));
        EXPECT_EQ(c.count, read);
    }
}

TEST(Archive, StringFormsAreByteExact) {
    static CString text;
    struct Case {
        CString value;
        Bytes head;
    } cases[] = {
        {L"", {0xFF, 0xFE, 0xFF, 0x00}},
        {L"ab", {0xFF, 0xFE, 0xFF, 0x02}},
        {CString(L'x', 254), {0xFF, 0xFE, 0xFF, 0xFE}},
        {CString(L'x', 255), {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}},
        {CString(L'y', 300), {0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}},
        {CString(L'z', 0xFFFE), {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        text = c.value;
        Bytes stored = Store([](CArchive& ar) { ar << text; });
        Bytes expected = c.head;
        for (int i = 0; i < c.value.GetLength(); ++i) {
            expected.push_back((BYTE)(c.value[i] & 0xFF));
            expected.push_back((BYTE)(c.value[i] >> 8));
        }
        EXPECT_EQ(expected, stored) << c.value.GetLength();
        text = L"garbage";
        EXPECT_EQ("", Load(stored, [](CArchive& ar) { ar >> text; }));
        EXPECT_EQ(c.value, text);
    }
}

TEST(Archive, ReadsTheSingleByteStringForm) {
    static CString text;
    struct Case {
        Bytes bytes;
        CString expected;
    } cases[] = {
        {{0x03, 'a', 'b', 'c'}, L"abc"},
        {{0xFF, 0x04, 0x00, 'w', 'x', 'y', 'z'}, L"wxyz"},
        {{0x00}, L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ("", Load(c.bytes, [](CArchive& ar) { ar >> text; }));
        EXPECT_EQ(c.expected, text);
    }
}

TEST(Archive, ObjectsWriteClassTagsAndReferences) {
    static CShape a, b;
    static CCircle circle;
    a.m_size = 7;
    b.m_size = 9;
    circle.m_size = 1;
    circle.m_pPeer = &a;
    Bytes stored = Store([](CArchive& ar) {
        ar << &a << &a << (CObject*)nullptr << &b << &circle;
    });
    Bytes expected = Cat({
        {0xFF, 0xFF, 0x02, 0x00, 0x06, 0x00}, Ascii("CShape"), {0x07, 0x00, 0x00, 0x00}, // new class (1), object a (2)
        {0x02, 0x00},                                                                   // a again
        {0x00, 0x00},                                                                   // null
        {0x01, 0x80}, {0x09, 0x00, 0x00, 0x00},                                          // known class 1, object b (3)
        {0xFF, 0xFF, 0x05, 0x00, 0x07, 0x00}, Ascii("CCircle"), {0x01, 0x00, 0x00, 0x00}, // class (4), circle (5)
        {0x02, 0x00},                                                                   // its peer is a
    });
    EXPECT_EQ(expected, stored);

    static CObject* loaded[5];
    EXPECT_EQ("", Load(stored, [](CArchive& ar) {
        for (CObject*& p : loaded) ar >> p;
    }));
    ASSERT_NE(nullptr, loaded[0]);
    EXPECT_EQ(loaded[0], loaded[1]) << "a reference reads back the same object";
    EXPECT_EQ(nullptr, loaded[2]);
    ASSERT_TRUE(loaded[3] && loaded[3]->IsKindOf(RUNTIME_CLASS(CShape)));
    EXPECT_EQ(9, static_cast<CShape*>(loaded[3])->m_size);
    ASSERT_TRUE(loaded[4] && loaded[4]->IsKindOf(RUNTIME_CLASS(CCircle)));
    EXPECT_EQ(loaded[0], static_cast<CCircle*>(loaded[4])->m_pPeer);
    delete loaded[0];
    delete loaded[3];
    delete loaded[4];
}

TEST(Archive, SerialExtractionChecksTheClass) {
    static CShape* shape;
    static CCircle* circle;
    Bytes shapeStream = Cat({{0xFF, 0xFF, 0x02, 0x00, 0x06, 0x00}, Ascii("CShape"), {0x05, 0, 0, 0}});
    EXPECT_EQ("", Load(shapeStream, [](CArchive& ar) { ar >> shape; }));
    ASSERT_NE(nullptr, shape);
    EXPECT_EQ(5, shape->m_size);
    delete shape;
    EXPECT_EQ("archive:6", Load(shapeStream, [](CArchive& ar) { ar >> circle; })) << "a shape is not a circle";
}

TEST(Archive, SchemaRules) {
    static CObject* obj;
    struct Case {
        const char* name;
        Bytes bytes;
        std::string outcome;
    } cases[] = {
        {"versionable class reads an older schema",
         Cat({{0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00}, Ascii("CNote")}), ""},
        {"fixed schema differs", Cat({{0xFF, 0xFF, 0x01, 0x00, 0x06, 0x00}, Ascii("CShape"), {0, 0, 0, 0}}), "archive:7"},
        {"unknown class", Cat({{0xFF, 0xFF, 0x01, 0x00, 0x06, 0x00}, Ascii("CNoSuch")}), "archive:6"},
        {"class name too long", Cat({{0xFF, 0xFF, 0x01, 0x00, 0x50, 0x00}, Bytes(0x50, 'A')}), "archive:6"},
        {"class tag before any class", {0x01, 0x80}, "archive:5"},
        {"object tag beyond the map", {0x09, 0x00}, "archive:5"},
        {"big object tag beyond the map", {0xFF, 0x7F, 0x00, 0x00, 0x01, 0x00}, "archive:5"},
        {"empty stream", {}, "archive:3"},
    };
    for (const Case& c : cases) {
        obj = nullptr;
        EXPECT_EQ(c.outcome, Load(c.bytes, [](CArchive& ar) { ar >> obj; })) << c.name;
        if (c.outcome.empty()) {
            ASSERT_TRUE(obj && obj->IsKindOf(RUNTIME_CLASS(CNote))) << c.name;
            EXPECT_EQ(1u, static_cast<CNote*>(obj)->m_loadedSchema) << c.name;
        }
        delete obj;
    }
}

TEST(Archive, DirectionIsEnforced) {
    EXPECT_EQ("archive:2", Load({0, 0, 0, 0}, [](CArchive& ar) { ar << (LONG)1; }));
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    LONG l = 0;
    try {
        ar >> l;
        ADD_FAILURE() << "reading a storing archive must throw";
    } catch (CArchiveException* e) {
        EXPECT_EQ(CArchiveException::writeOnly, e->m_cause);
        e->Delete();
    }
}

TEST(Archive, RuntimeClassKnowsItsBase) {
    EXPECT_EQ(RUNTIME_CLASS(CShape), RUNTIME_CLASS(CCircle)->m_pBaseClass);
    EXPECT_EQ(RUNTIME_CLASS(CObject), RUNTIME_CLASS(CShape)->m_pBaseClass);
    EXPECT_EQ(nullptr, RUNTIME_CLASS(CObject)->m_pBaseClass);
    EXPECT_TRUE(RUNTIME_CLASS(CCircle)->IsDerivedFrom(RUNTIME_CLASS(CObject)));
}

TEST(Archive, AutomationTypesArchiveForms) {
    static COleDateTime date;
    date.SetDate(2001, 2, 3);
    Bytes stored = Store([](CArchive& ar) { ar << date; });
    ASSERT_EQ(12u, stored.size());
    EXPECT_EQ(Bytes({0, 0, 0, 0}), Bytes(stored.begin(), stored.begin() + 4)) << "status valid first";
    static COleDateTime back;
    EXPECT_EQ("", Load(stored, [](CArchive& ar) { ar >> back; }));
    EXPECT_TRUE(back == date);

    static COleVariant values[4];
    values[0] = COleVariant((long)-5);
    values[1] = COleVariant(L"hi");
    values[2] = COleVariant(2.5);
    values[3] = COleVariant();
    stored = Store([](CArchive& ar) {
        for (const COleVariant& v : values) ar << v;
    });
    Bytes expected = {VT_I4, 0, 0xFB, 0xFF, 0xFF, 0xFF, VT_BSTR, 0, 4, 0, 0, 0, 'h', 0, 'i', 0};
    EXPECT_EQ(expected, Bytes(stored.begin(), stored.begin() + expected.size()));
    static COleVariant read[4];
    EXPECT_EQ("", Load(stored, [](CArchive& ar) {
        for (COleVariant& v : read) ar >> v;
    }));
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(read[i] == values[i]) << i;

    static COleVariant unsupported;
    unsupported.vt = VT_DISPATCH;
    unsupported.pdispVal = nullptr;
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    try {
        ar << unsupported;
        ADD_FAILURE() << "an interface pointer has no archive form";
    } catch (COleException* e) {
        e->Delete();
    }
    unsupported.vt = VT_EMPTY;
}

// A reader that walks every construct of the format.
void ReadEverything(CArchive& ar) {
    CString s;
    ar >> s;
    ULONGLONG n = ar.ReadCount64();
    (void)n;
    CObject* objs[3] = {};
    try {
        for (CObject*& p : objs) ar >> p;
    } catch (...) {
        delete objs[0];
        if (objs[2] != objs[0]) delete objs[2];
        throw;
    }
    COleVariant v;
    ar >> v;
    COleDateTime d;
    ar >> d;
    delete objs[0];
    if (objs[2] != objs[0]) delete objs[2];
}

Bytes GoodStream() {
    return Store([](CArchive& ar) {
        static CShape a;
        static CCircle c;
        a.m_size = 3;
        c.m_pPeer = &a;
        ar << CString(L"header");
        ar.WriteCount(70000);
        ar << &a << (CObject*)nullptr << &c;
        ar << COleVariant(L"tail");
        ar << COleDateTime(2020, 1, 2, 3, 4, 5);
    });
}

TEST(ArchiveFuzz, DamagedStreamsFailCleanly) {
    Bytes good = GoodStream();
    ASSERT_EQ("", Load(good, ReadEverything));
    int cases = 0;
    // Every truncation.
    for (size_t len = 0; len < good.size(); ++len, ++cases) {
        Bytes cut(good.begin(), good.begin() + len);
        std::string r = Load(cut, ReadEverything);
        EXPECT_NE("", r) << "truncated at " << len;
    }
    // Every byte replaced by values that hit the escapes and tags.
    const BYTE probes[] = {0x00, 0x7F, 0x80, 0xFE, 0xFF};
    for (size_t i = 0; i < good.size(); ++i)
        for (BYTE v : probes) {
            Bytes bad = good;
            bad[i] = v;
            std::string r = Load(bad, ReadEverything);
            ++cases;
            EXPECT_TRUE(r.empty() || r.rfind("archive:", 0) == 0 || r == "ole" || r == "memory") << i << " " << r;
        }
    // Pseudo-random streams from a fixed seed.
    unsigned seed = 12345;
    for (int k = 0; k < 200; ++k, ++cases) {
        Bytes junk(1 + k % 40);
        for (BYTE& b : junk) {
            seed = seed * 1103515245u + 12345u;
            b = (BYTE)(seed >> 16);
        }
        std::string r = Load(junk, ReadEverything);
        EXPECT_NE("", r) << k;
    }
    EXPECT_GT(cases, 300);
}

TEST(ArchiveFuzz, HugeLengthClaimsAreRefusedBeforeAllocation) {
    static CString s;
    static COleVariant v;
    struct Case {
        const char* name;
        Bytes bytes;
        bool isString;
    } cases[] = {
        {"string of 0x3FFFFFF0 characters", {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0x3F}, true},
        {"string of 2^40 characters", {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 1, 0, 0}, true},
        {"variant string of 2 GB", {VT_BSTR, 0, 0xFE, 0xFF, 0xFF, 0x7F}, false},
        {"variant string of odd length", {VT_BSTR, 0, 3, 0, 0, 0, 'a', 'b', 'c'}, false},
    };
    for (const Case& c : cases) {
        std::string r = c.isString ? Load(c.bytes, [](CArchive& ar) { ar >> s; })
                                   : Load(c.bytes, [](CArchive& ar) { ar >> v; });
        EXPECT_EQ(0u, r.rfind("archive:", 0)) << c.name << " gave '" << r << "'";
    }
}

// ---- interface tables ----

MIDL_INTERFACE("6A8B2C44-0D51-4F55-9E61-1B2A3C4D5E6F") IProbe : public IUnknown {
    virtual int STDMETHODCALLTYPE Value() = 0;
};
const IID IID_IProbe = {0x6A8B2C44, 0x0D51, 0x4F55, {0x9E, 0x61, 0x1B, 0x2A, 0x3C, 0x4D, 0x5E, 0x6F}};

class CProbeTarget : public CCmdTarget {
public:
    BEGIN_INTERFACE_PART(Probe, IProbe)
    int STDMETHODCALLTYPE Value() override;
    END_INTERFACE_PART(Probe)
    DECLARE_INTERFACE_MAP()
    int m_value = 42;
};

BEGIN_INTERFACE_MAP(CProbeTarget, CCmdTarget)
INTERFACE_PART(CProbeTarget, IID_IProbe, Probe)
END_INTERFACE_MAP()

ULONG CProbeTarget::XProbe::AddRef() {
    METHOD_PROLOGUE(CProbeTarget, Probe)
    return pThis->ExternalAddRef();
}
ULONG CProbeTarget::XProbe::Release() {
    METHOD_PROLOGUE(CProbeTarget, Probe)
    return pThis->ExternalRelease();
}
HRESULT CProbeTarget::XProbe::QueryInterface(REFIID iid, LPVOID* ppv) {
    METHOD_PROLOGUE(CProbeTarget, Probe)
    return (HRESULT)pThis->ExternalQueryInterface(&iid, ppv);
}
int CProbeTarget::XProbe::Value() {
    METHOD_PROLOGUE(CProbeTarget, Probe)
    return pThis->m_value;
}

TEST(InterfaceMap, QueriesFindTheNestedObject) {
    CProbeTarget* target = new CProbeTarget;
    IProbe* probe = nullptr;
    ASSERT_EQ((DWORD)S_OK, target->ExternalQueryInterface(&IID_IProbe, (void**)&probe));
    ASSERT_NE(nullptr, probe);
    EXPECT_EQ(42, probe->Value());
    EXPECT_EQ(2, target->m_dwRef);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(S_OK, probe->QueryInterface(IID_IUnknown, (void**)&unknown));
    EXPECT_EQ((IUnknown*)probe, unknown) << "IUnknown is the first interface listed";
    void* none = (void*)1;
    EXPECT_EQ((DWORD)E_NOINTERFACE, target->InternalQueryInterface(&IID_IDispatch, &none));
    EXPECT_EQ(nullptr, none);
    unknown->Release();
    probe->Release();
    EXPECT_EQ(1, target->m_dwRef);
    target->InternalRelease();
}

// ---- per-thread and per-process objects ----

LONG g_destroyed = 0;
struct CCounter : public CNoTrackObject {
    DWORD thread = GetCurrentThreadId();
    ~CCounter() override { InterlockedIncrement(&g_destroyed); }
};

DWORD WINAPI TouchAndEnd(LPVOID param) {
    auto* local = static_cast<CThreadLocal<CCounter>*>(param);
    return local->GetData()->thread == GetCurrentThreadId() ? 1 : 0;
}

DWORD RunPlainThread(CThreadLocal<CCounter>& local) {
    HANDLE h = CreateThread(nullptr, 0, TouchAndEnd, &local, 0, nullptr);
    WaitForSingleObject(h, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(h, &code);
    CloseHandle(h);
    return code;
}

TEST(ThreadLocal, ObjectsGoWhenAPlainThreadEnds) {
    g_destroyed = 0;
    {
        CThreadLocal<CCounter> local;
        CCounter* mine = local.GetData();
        EXPECT_EQ(mine, local.GetData()) << "one object per thread";
        EXPECT_EQ(1u, RunPlainThread(local)) << "the thread got an object of its own";
        EXPECT_EQ(1, g_destroyed) << "the ended thread's object is destroyed";
        EXPECT_EQ(mine, local.GetDataNA());
        EXPECT_EQ(1u, RunPlainThread(local));
        EXPECT_EQ(2, g_destroyed);
    }
    EXPECT_EQ(3, g_destroyed) << "the variable takes the remaining objects with it";
}

TEST(ThreadLocal, ProcessLocalIsMadeOnceAndDestroyedWithTheVariable) {
    g_destroyed = 0;
    {
        CProcessLocal<CCounter> local;
        EXPECT_EQ(nullptr, local.GetDataNA());
        CCounter* first = local.GetData();
        EXPECT_EQ(first, local.GetData());
    }
    EXPECT_EQ(1, g_destroyed);
}

} // namespace

namespace {

// Runs a program beside this one and returns what it wrote to standard output.
std::string RunBeside(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring cmd(path);
    cmd.erase(cmd.find_last_of(L'\\') + 1);
    cmd = L"\"" + cmd + name + L"\"";
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return "no pipe";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(0);
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    std::string out;
    if (started) {
        char buf[256];
        DWORD n = 0;
        while (ReadFile(readEnd, buf, sizeof(buf), &n, nullptr) && n) out.append(buf, n);
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(readEnd);
    return started ? out : "not started";
}

TEST(ThreadLocal, ExitOrderOfAProgram) {
    std::string out = RunBeside(L"MfcLocalsProbe.exe");
    std::string expected =
        "worker thread object\n"   // when the plain thread ended
        "main returns\n"
        "main thread object\n"     // the thread-local variable goes first (made last)
        "process object\n";
    EXPECT_EQ(expected, out);
}

} // namespace
