// Property exchange over an archive: byte-exact streams, schema marker,
// enumerators, classes and object instances, and blobs that do not fit.
#include "CUIXPropExchangeArchive.h"
#include "CUIXPropExchangeEnumerator.h"
#include <afxdisp.h>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace {

typedef std::vector<BYTE> Bytes;

class CPiece : public CObject {
    DECLARE_SERIAL(CPiece)
public:
    LONG m_value = 0;
    void Serialize(CArchive& ar) override {
        if (ar.IsStoring()) ar << m_value;
        else ar >> m_value;
    }
};
IMPLEMENT_SERIAL(CPiece, CObject, VERSIONABLE_SCHEMA | 23)

class COtherPiece : public CObject {
    DECLARE_SERIAL(COtherPiece)
};
IMPLEMENT_SERIAL(COtherPiece, CObject, 1)

struct ReleaseExchange {
    void operator()(CUIXPropExchange* p) const { p->InternalRelease(); }
};
typedef std::unique_ptr<CUIXPropExchange, ReleaseExchange> Section;

Bytes Store(const std::function<void(CUIXPropExchange*)>& fill) {
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        CUIXPropExchangeArchive px(ar);
        fill(&px);
    }
    ULONGLONG n = file.GetLength();
    BYTE* p = file.Detach();
    Bytes out(p, p + n);
    free(p);
    return out;
}

// Runs the reader; "" when it finished, else the archive cause.
std::string Load(Bytes data, const std::function<void(CUIXPropExchange*, CArchive&)>& read) {
    CMemFile file(data.empty() ? nullptr : data.data(), (UINT)data.size());
    CArchive ar(&file, CArchive::load);
    CUIXPropExchangeArchive px(ar);
    try {
        read(&px, ar);
    } catch (CArchiveException* e) {
        std::string r = "archive:" + std::to_string(e->m_cause);
        e->Delete();
        return r;
    }
    return "";
}

TEST(PropExchange, ValuesAreWrittenInCallOrderWithoutNames) {
    Bytes stored = Store([](CUIXPropExchange* px) {
        int i = 5;
        BOOL b = TRUE;
        CRect rc(1, 2, 3, 4);
        CSize sz(7, -1);
        short s = -2;
        BYTE by = 0xAB;
        float f = 1.0f;
        double d = 2.0;
        ULONGLONG big = 0x1122334455667788ULL;
        COleDateTime date(2000, 1, 1, 0, 0, 0);
        int unknown = 0;
        PX_Int(px, L"Int", i, 0);
        PX_Bool(px, L"Bool", b, FALSE);
        PX_Rect(px, L"Rect", rc, CRect());
        PX_Size(px, L"Size", sz, CSize());
        px->ExchangeProp(L"Short", uixPropShort, &s);
        px->ExchangeProp(L"Byte", uixPropByte, &by);
        px->ExchangeProp(L"Float", uixPropFloat, &f);
        px->ExchangeProp(L"Double", uixPropDouble, &d);
        px->ExchangeProp(L"Big", uixPropInt64, &big);
        px->ExchangeProp(L"Date", uixPropDate, &date);
        EXPECT_TRUE(px->ExchangeProp(L"Unknown", 99, &unknown)) << "an unknown code counts as success";
    });
    Bytes expected = {5, 0, 0, 0,  1, 0, 0, 0,  1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0,
                      7, 0, 0, 0,  0xFF, 0xFF, 0xFF, 0xFF,  0xFE, 0xFF,  0xAB,  0, 0, 0x80, 0x3F,
                      0, 0, 0, 0, 0, 0, 0, 0x40,  0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,
                      0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0xD5, 0xE1, 0x40};
    EXPECT_EQ(expected, stored);
    EXPECT_EQ("", Load(stored, [](CUIXPropExchange* px, CArchive&) {
        int i = 0;
        BOOL b = FALSE;
        CRect rc;
        CSize sz;
        PX_Int(px, L"Int", i, 0);
        PX_Bool(px, L"Bool", b, FALSE);
        PX_Rect(px, L"Rect", rc, CRect());
        PX_Size(px, L"Size", sz, CSize());
        EXPECT_EQ(5, i);
        EXPECT_TRUE(b);
        EXPECT_EQ(CRect(1, 2, 3, 4), rc);
        EXPECT_EQ(CSize(7, -1), sz);
    }));
}

TEST(PropExchange, LongStringForm) {
    Bytes stored = Store([](CUIXPropExchange* px) {
        CString s(L'x', 300);
        PX_String(px, L"Text", s, L"");
    });
    ASSERT_EQ(6u + 600u, stored.size());
    EXPECT_EQ(Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}), Bytes(stored.begin(), stored.begin() + 6));
}

TEST(PropExchange, SchemaMarker) {
    Bytes stored = Store([](CUIXPropExchange* px) {
        EXPECT_EQ(23u, px->GetSchema());
        px->ExchangeSchema();
    });
    EXPECT_EQ(Bytes({0xBF, 0xAD, 0xF0, 0x0F, 23, 0, 0, 0}), stored);
    EXPECT_EQ("", Load(stored, [](CUIXPropExchange* px, CArchive&) {
        px->ExchangeSchema();
        EXPECT_EQ(23u, px->GetSchema());
    }));
    EXPECT_EQ("", Load({9, 0, 0, 0}, [](CUIXPropExchange* px, CArchive&) {
        px->ExchangeSchema();
        EXPECT_EQ(17u, px->GetSchema()) << "a stream without the marker";
        int first = 0;
        PX_Int(px, L"First", first, 0);
        EXPECT_EQ(9, first) << "its bytes are the first value";
    }));
    EXPECT_EQ("", Load({1, 2}, [](CUIXPropExchange* px, CArchive& ar) {
        px->ExchangeSchema();
        EXPECT_EQ(17u, px->GetSchema());
        BYTE b = 0;
        ar >> b;
        EXPECT_EQ(1, b) << "a short stream is left as it was";
    }));
}

TEST(PropExchange, EnumeratorCountsAndSections) {
    struct Case {
        BOOL compact;
        DWORD count;
        Bytes bytes;
    } cases[] = {{FALSE, 0, {0, 0, 0, 0}}, {TRUE, 0, {0, 0}}, {TRUE, 3, {3, 0}}, {FALSE, 3, {3, 0, 0, 0}}};
    for (const Case& c : cases) {
        static DWORD count;
        static BOOL compact;
        count = c.count;
        compact = c.compact;
        Bytes stored = Store([](CUIXPropExchange* px) {
            std::unique_ptr<CUIXPropExchangeEnumerator> e(px->GetEnumerator(L"Control"));
            POSITION pos = e->GetPosition(count, compact);
            EXPECT_EQ(count != 0, pos != nullptr);
            int sections = 0;
            while (pos) {
                Section s(e->GetNext(pos));
                EXPECT_TRUE(s->IsSection());
                ++sections;
            }
            EXPECT_EQ((int)count, sections);
        });
        EXPECT_EQ(c.bytes, stored) << c.count << " compact " << c.compact;
        int loaded = -1;
        EXPECT_EQ("", Load(stored, [&](CUIXPropExchange* px, CArchive&) {
            std::unique_ptr<CUIXPropExchangeEnumerator> e(px->GetEnumerator(L"Control"));
            POSITION pos = e->GetPosition(0, compact);
            loaded = 0;
            while (pos) {
                Section s(e->GetNext(pos));
                ++loaded;
            }
        }));
        EXPECT_EQ((int)c.count, loaded);
    }
}

TEST(PropExchange, BlobThatDoesNotFitIsSkipped) {
    Bytes stored = Store([](CUIXPropExchange* px) {
        BYTE data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        BYTE* p = data;
        DWORD n = sizeof(data);
        EXPECT_TRUE(px->ExchangeBlob(L"Blob", &p, &n));
        int after = 77;
        PX_Int(px, L"After", after, 0);
    });
    EXPECT_EQ(Bytes({8, 0, 1, 2, 3, 4, 5, 6, 7, 8, 77, 0, 0, 0}), stored);
    EXPECT_EQ("", Load(stored, [](CUIXPropExchange* px, CArchive&) {
        BYTE small[4] = {};
        BYTE* p = small;
        DWORD n = sizeof(small);
        EXPECT_FALSE(px->ExchangeBlob(L"Blob", &p, &n));
        int after = 0;
        PX_Int(px, L"After", after, 0);
        EXPECT_EQ(77, after) << "the values after the blob read right";
    }));
    EXPECT_EQ("", Load(stored, [](CUIXPropExchange* px, CArchive&) {
        BYTE* p = nullptr;
        DWORD n = 0;
        EXPECT_TRUE(px->ExchangeBlob(L"Blob", &p, &n));
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(8u, n);
        EXPECT_EQ(8, p[7]);
        free(p);
    }));
    // A count the stream cannot hold is refused before anything is allocated.
    EXPECT_EQ("archive:3", Load({0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0x7F, 1, 2}, [](CUIXPropExchange* px, CArchive&) {
        BYTE* p = nullptr;
        DWORD n = 0;
        px->ExchangeBlob(L"Blob", &p, &n);
    }));
}

TEST(PropExchange, ClassesAndObjectInstances) {
    static CPiece piece;
    piece.m_value = 4;
    Bytes stored = Store([](CUIXPropExchange* px) {
        CObject* obj = &piece;
        EXPECT_TRUE(px->ExchangeObjectInstance(obj, RUNTIME_CLASS(CPiece)));
        CArchive* ar = px->GetArchive(L"Ref");
        *ar << &piece;
        px->ReleaseArchive(L"Ref", ar);
    });
    Bytes expected = {0xFF, 0xFF, 23, 0, 6, 0, 'C', 'P', 'i', 'e', 'c', 'e', 0x02, 0x00};
    EXPECT_EQ(expected, stored) << "class tag, then a reference to the mapped object";
    CObject* made = nullptr;
    EXPECT_EQ("", Load(stored, [&](CUIXPropExchange* px, CArchive& ar) {
        EXPECT_TRUE(px->ExchangeObjectInstance(made, RUNTIME_CLASS(CPiece)));
        ASSERT_NE(nullptr, made);
        EXPECT_TRUE(made->IsKindOf(RUNTIME_CLASS(CPiece)));
        EXPECT_EQ(23u, px->GetSchema());
        CObject* ref = nullptr;
        ar >> ref;
        EXPECT_EQ(made, ref) << "later references read back the instance";
    }));
    delete made;
    EXPECT_EQ("", Load(stored, [](CUIXPropExchange* px, CArchive&) {
        CObject* other = nullptr;
        EXPECT_FALSE(px->ExchangeObjectInstance(other, RUNTIME_CLASS(COtherPiece))) << "not of the requested class";
        EXPECT_EQ(nullptr, other);
    }));
    // A class stored with an older schema hands that schema to the exchange.
    Bytes older = {0xFF, 0xFF, 9, 0, 6, 0, 'C', 'P', 'i', 'e', 'c', 'e'};
    EXPECT_EQ("", Load(older, [](CUIXPropExchange* px, CArchive&) {
        CRuntimeClass* cls = nullptr;
        EXPECT_TRUE(PX_RuntimeClass(px, L"Class", cls, RUNTIME_CLASS(CObject)));
        EXPECT_EQ(RUNTIME_CLASS(CPiece), cls);
        EXPECT_EQ(9u, px->GetSchema());
    }));
}

TEST(PropExchange, SerializeCatchesArchiveFailures) {
    EXPECT_EQ("", Load({1, 0}, [](CUIXPropExchange* px, CArchive&) {
        CPiece piece;
        EXPECT_FALSE(PX_Serialize(px, L"Data", &piece)) << "the stream ends inside the object";
    }));
    Bytes stored = Store([](CUIXPropExchange* px) {
        CPiece piece;
        piece.m_value = 6;
        EXPECT_TRUE(PX_Serialize(px, L"Data", &piece));
    });
    EXPECT_EQ(Bytes({6, 0, 0, 0}), stored);
}

TEST(PropExchange, SectionsInheritTheExchangeState) {
    Store([](CUIXPropExchange* px) {
        int context = 0;
        px->m_pData = &context;
        px->SetInheritedFlag();
        Section s(px->GetSection(L"Any"));
        EXPECT_EQ(&context, s->m_pData);
        EXPECT_TRUE(s->IsInherited());
        EXPECT_TRUE(s->IsSection());
        EXPECT_FALSE(px->IsSection());
        EXPECT_TRUE(s->IsArchiveKind());
        EXPECT_FALSE(s->IsAllowDefaultValues());
        EXPECT_TRUE(s->IsKindOf(RUNTIME_CLASS(CUIXPropExchange)));
    });
    EXPECT_STREQ("CUIXPropExchangeArchive", RUNTIME_CLASS(CUIXPropExchangeArchive)->m_lpszClassName);
}

} // namespace
