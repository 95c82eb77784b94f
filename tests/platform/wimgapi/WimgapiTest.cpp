// wimgapi.dll against WIM files made by wimlib-imagex on the Linux side, and
// round trips through our own capture, split, mount and apply.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "CImageMetadata.h"
#include "CWorkerPool.h"
#include "CWimWriter.h"
#include "CWimXml.h"
#include "WimTestTree.h"
#include "wimgapi.h"

using namespace WimTestTree;

namespace {

const std::wstring kScratch = L"W:\\";

// Records what the callback hears; can abort or skip on request.
struct Recorder {
    std::vector<DWORD> percents;
    std::vector<std::wstring> processed;
    std::vector<std::wstring> splitParts;
    std::vector<ULONGLONG> splitSizes;
    DWORD errors = 0;
    size_t abortAtProcess = 0;        // 1-based; 0 = never
    bool skipErrors = false;          // ERROR answered "skip the file"
    std::wstring skipSuffix;          // PROCESS answered "skip" for these

    static DWORD CALLBACK Callback(DWORD msg, WPARAM wParam, LPARAM lParam, PVOID user)
    {
        Recorder* r = static_cast<Recorder*>(user);
        switch (msg) {
        case WIM_MSG_PROGRESS:
            r->percents.push_back((DWORD)wParam);
            break;
        case WIM_MSG_PROCESS: {
            std::wstring path = reinterpret_cast<PCWSTR>(wParam);
            r->processed.push_back(path);
            if (r->abortAtProcess && r->processed.size() == r->abortAtProcess) return WIM_MSG_ABORT_IMAGE;
            if (!r->skipSuffix.empty() && path.size() >= r->skipSuffix.size() &&
                path.compare(path.size() - r->skipSuffix.size(), std::wstring::npos, r->skipSuffix) == 0)
                *reinterpret_cast<BOOL*>(lParam) = FALSE;
            break;
        }
        case WIM_MSG_SPLIT:
            r->splitParts.push_back(reinterpret_cast<PCWSTR>(wParam));
            r->splitSizes.push_back(*reinterpret_cast<ULONGLONG*>(lParam));
            break;
        case WIM_MSG_ERROR:
            r->errors++;
            if (r->skipErrors) return WIM_MSG_SKIP_ERROR;
            break;
        }
        return WIM_MSG_SUCCESS;
    }
};

// Registers a recorder for the whole process while in scope.
class ScopedRecorder {
public:
    explicit ScopedRecorder(Recorder& r)
    {
        WIMRegisterMessageCallback(nullptr, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&Recorder::Callback)), &r);
    }
    ~ScopedRecorder() { WIMUnregisterMessageCallback(nullptr, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&Recorder::Callback))); }
};

struct ApplyResult {
    BOOL ok;
    DWORD error;
};

ApplyResult ApplyWim(const std::wstring& wim, const std::vector<std::wstring>& refs, const std::wstring& target)
{
    ApplyResult r = {FALSE, 0};
    HANDLE h = WIMCreateFile(wim.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, WIM_FLAG_VERIFY, WIM_COMPRESS_NONE,
                             nullptr);
    if (!h) return {FALSE, GetLastError()};
    for (const std::wstring& ref : refs)
        if (!WIMSetReferenceFile(h, ref.c_str(), WIM_REFERENCE_APPEND | WIM_FLAG_VERIFY)) {
            r.error = GetLastError();
            WIMCloseHandle(h);
            return r;
        }
    HANDLE img = WIMLoadImage(h, 1);
    if (!img) {
        r.error = GetLastError();
        WIMCloseHandle(h);
        return r;
    }
    r.ok = WIMApplyImage(img, target.c_str(), WIM_FLAG_FILEINFO);
    r.error = r.ok ? 0 : GetLastError();
    WIMCloseHandle(img);
    WIMCloseHandle(h);
    return r;
}

// ApplyWim with rec's callback registered for the apply.
ApplyResult ApplyRecorded(Recorder& rec, const std::wstring& wim, const std::wstring& target)
{
    ScopedRecorder scope(rec);
    return ApplyWim(wim, {}, target);
}

DWORD CaptureWim(const std::wstring& source, const std::wstring& wim, DWORD compression, DWORD flags = 0)
{
    HANDLE h = WIMCreateFile(wim.c_str(), WIM_GENERIC_WRITE, WIM_CREATE_ALWAYS, flags, compression, nullptr);
    if (!h) return GetLastError();
    HANDLE img = WIMCaptureImage(h, source.c_str(), 0);
    DWORD err = img ? 0 : GetLastError();
    if (img) WIMCloseHandle(img);
    if (!WIMCloseHandle(h) && !err) err = GetLastError();
    return img ? err : (err ? err : ERROR_GEN_FAILURE);
}

DWORD ImageCount(const std::wstring& wim, WIM_INFO* info)
{
    HANDLE h = WIMCreateFile(wim.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, WIM_COMPRESS_NONE, nullptr);
    if (!h) return 0xFFFFFFFF;
    WIMGetAttributes(h, info, sizeof(*info));
    WIMCloseHandle(h);
    return info->ImageCount;
}

class WimgapiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteTree(L"W:\\t");
        CreateDirectoryW(L"W:\\t", nullptr);
    }
};

std::vector<std::wstring> SplitRefs(const std::wstring& first, int count)
{
    std::vector<std::wstring> refs;
    std::wstring base = first.substr(0, first.size() - 4), ext = first.substr(first.size() - 4);
    for (int i = 2; i <= count; ++i)
        refs.push_back(base + std::to_wstring(i) + ext);
    return refs;
}

} // namespace

// Every compression wimlib-imagex writes, and its split set, apply to the
// source tree exactly, with progress ending at 100 and one PROCESS per file.
TEST_F(WimgapiTest, AppliesWhatWimlibCaptured)
{
    struct Case {
        const wchar_t* wim;
        int parts;
    } cases[] = {{L"wimlib-none.wim", 1}, {L"wimlib-XPRESS.wim", 1}, {L"wimlib-LZX.wim", 1}, {L"wimlib-split.swm", 3}};
    int n = 0;
    for (const Case& c : cases) {
        std::wstring target = L"W:\\t\\" + std::to_wstring(n++);
        Recorder rec;
        ScopedRecorder scope(rec);
        ApplyResult r = ApplyWim(Fixture(c.wim), SplitRefs(Fixture(c.wim), c.parts), target);
        ASSERT_TRUE(r.ok) << c.wim << ": error " << r.error;
        EXPECT_EQ(L"", Compare(Fixture(L"tree"), target, false)) << c.wim;
        EXPECT_TRUE(SameFile(target + L"\\random.bin", target + L"\\docs\\hardlink to random.bin")) << c.wim;
        ASSERT_FALSE(rec.percents.empty()) << c.wim;
        EXPECT_EQ(100u, rec.percents.back()) << c.wim;
        for (size_t i = 1; i < rec.percents.size(); ++i)
            EXPECT_LE(rec.percents[i - 1], rec.percents[i]) << c.wim << " progress goes back";
        EXPECT_EQ(16u, rec.processed.size()) << c.wim << " PROCESS messages (10 files, 6 folders)";
    }
}

// Captures for the Linux judge, which applies them with wimlib-imagex after
// this program ends; here they must at least come back through our apply.
TEST_F(WimgapiTest, CapturesForTheJudge)
{
    struct Case {
        const wchar_t* name;
        DWORD compression;
        DWORD flags;
    } cases[] = {{L"ours-none.wim", WIM_COMPRESS_NONE, 0},
                 {L"ours-xpress.wim", WIM_COMPRESS_XPRESS, 0},
                 {L"ours-xpress-verify.wim", WIM_COMPRESS_XPRESS, WIM_FLAG_VERIFY}};
    CreateDirectoryW(Fixture(L"out").c_str(), nullptr);
    for (const Case& c : cases) {
        Recorder rec;
        ScopedRecorder scope(rec);
        std::wstring wim = Fixture(L"out\\") + c.name;
        ASSERT_EQ(0u, CaptureWim(Fixture(L"tree"), wim, c.compression, c.flags)) << c.name;
        ASSERT_FALSE(rec.percents.empty()) << c.name << ": no progress during capture";
        EXPECT_EQ(100u, rec.percents.back()) << c.name;
        EXPECT_EQ(16u, rec.processed.size()) << c.name << " PROCESS messages (10 files, 6 folders)";
        std::wstring target = std::wstring(L"W:\\t\\") + c.name;
        ApplyResult r = ApplyWim(wim, {}, target);
        ASSERT_TRUE(r.ok) << c.name << ": error " << r.error;
        EXPECT_EQ(L"", Compare(Fixture(L"tree"), target, false)) << c.name;
        EXPECT_TRUE(SameFile(target + L"\\random.bin", target + L"\\docs\\hardlink to random.bin")) << c.name;
    }
    // Identical files are stored once: the XPRESS file holds one copy of numbers.txt.
    WIN32_FILE_ATTRIBUTE_DATA none;
    ASSERT_TRUE(GetFileAttributesExW(Fixture(L"out\\ours-none.wim").c_str(), GetFileExInfoStandard, &none));
    EXPECT_LT(none.nFileSizeLow, 200000u + 2 * 348894u) << "duplicate stream stored twice";

    // The split set for the judge, with a SPLIT message per part.
    HANDLE h = WIMCreateFile(Fixture(L"out\\ours-xpress.wim").c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0,
                             nullptr);
    ASSERT_NE(nullptr, h);
    Recorder rec;
    ScopedRecorder scope(rec);
    LARGE_INTEGER size;
    size.QuadPart = 100000;
    ASSERT_TRUE(WIMSplitFile(h, Fixture(L"out\\ours-split.swm").c_str(), &size, 0)) << GetLastError();
    WIMCloseHandle(h);
    ASSERT_GE(rec.splitParts.size(), 2u);
    EXPECT_EQ(Fixture(L"out\\ours-split2.swm"), rec.splitParts[1]);
    WIM_INFO info = {};
    ImageCount(Fixture(L"out\\ours-split2.swm"), &info);
    EXPECT_EQ(rec.splitParts.size(), info.TotalParts);
    EXPECT_EQ(2, info.PartNumber);
    ApplyResult r = ApplyWim(Fixture(L"out\\ours-split.swm"), SplitRefs(Fixture(L"out\\ours-split.swm"),
                                                                        (int)rec.splitParts.size()),
                             L"W:\\t\\split");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(L"", Compare(Fixture(L"tree"), L"W:\\t\\split", false));
}

// Attributes, times, names past MAX_PATH, empty files and folders and hard
// links survive our own capture and apply.
TEST_F(WimgapiTest, RoundTripKeepsAttributesAndLinks)
{
    std::wstring src = L"W:\\t\\src";
    std::wstring deep(150, L'd');
    MakeTree(src, {L"empty", L"ro dir", deep + L"\\" + deep});
    WriteFileBytes(src + L"\\plain.txt", "plain");
    WriteFileBytes(src + L"\\empty.txt", "");
    WriteFileBytes(src + L"\\" + deep + L"\\" + deep + L"\\far.txt", "far away");
    WriteFileBytes(src + L"\\\x00e9t\x00e9 \x4e2d\x6587.txt", "unicode");
    struct Attr {
        const wchar_t* name;
        DWORD attrs;
    } attrs[] = {{L"ro.txt", FILE_ATTRIBUTE_READONLY},
                 {L"hidden.txt", FILE_ATTRIBUTE_HIDDEN},
                 {L"system.txt", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN}};
    for (const Attr& a : attrs) {
        WriteFileBytes(src + L"\\" + a.name, "attr");
        SetFileAttributesW((src + L"\\" + a.name).c_str(), a.attrs);
    }
    ASSERT_TRUE(CreateHardLinkW((src + L"\\link.txt").c_str(), (src + L"\\plain.txt").c_str(), nullptr));
    SetFileAttributesW((src + L"\\ro dir").c_str(), FILE_ATTRIBUTE_READONLY);

    ASSERT_EQ(0u, CaptureWim(src, L"W:\\t\\a.wim", WIM_COMPRESS_XPRESS));
    ApplyResult r = ApplyWim(L"W:\\t\\a.wim", {}, L"W:\\t\\dst");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(L"", Compare(src, L"W:\\t\\dst", true));
    EXPECT_TRUE(SameFile(L"W:\\t\\dst\\plain.txt", L"W:\\t\\dst\\link.txt"));
}

// Bad files fail cleanly: no crash, a non-zero last error, nothing written
// outside the target.
TEST_F(WimgapiTest, RefusesDamagedFiles)
{
    std::string good = ReadFileBytes(Fixture(L"wimlib-XPRESS.wim"));
    std::string plain = ReadFileBytes(Fixture(L"wimlib-none.wim"));
    ASSERT_GT(good.size(), 100000u);
    auto flipped = [](std::string s, size_t at) {
        for (size_t i = 0; i < 64 && at + i < s.size(); ++i)
            s[at + i] = (char)(s[at + i] ^ 0x5A);
        return s;
    };
    // The first stream of each file starts right after the header.
    struct Case {
        const char* what;
        std::string bytes;
        bool opens;
    } cases[] = {
        {"empty file", "", false},
        {"truncated to the header", good.substr(0, 208), false},
        {"truncated in the data", good.substr(0, good.size() / 2), false},
        {"wrong magic", "XSWIM" + good.substr(5), false},
        {"corrupt compressed chunk", flipped(good, 1000), true},
        {"data not matching its SHA-1", flipped(plain, 5000), true},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::wstring wim = L"W:\\t\\bad" + std::to_wstring(n) + L".wim";
        std::wstring target = L"W:\\t\\out" + std::to_wstring(n++);
        ASSERT_TRUE(WriteFileBytes(wim, c.bytes));
        HANDLE h = WIMCreateFile(wim.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
        if (!c.opens) {
            EXPECT_EQ(nullptr, h) << c.what;
            EXPECT_NE(0u, GetLastError()) << c.what;
            if (h) WIMCloseHandle(h);
            continue;
        }
        ASSERT_NE(nullptr, h) << c.what;
        WIMCloseHandle(h);
        ApplyResult r = ApplyWim(wim, {}, target);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_NE(0u, r.error) << c.what;
    }
}

// Names that would leave the target ("..", separators, drive paths) are
// refused before anything is written. The images are made with our own
// format code, which writes whatever names it is given.
TEST_F(WimgapiTest, RefusesNamesThatLeaveTheTarget)
{
    const char16_t* evil[] = {u"..", u"..\\escaped.txt", u"C:\\escaped.txt", u"sub/escaped.txt", u"."};
    int n = 0;
    for (const char16_t* name : evil) {
        std::wstring wim = L"W:\\t\\evil" + std::to_wstring(n) + L".wim";
        CWimWriter writer;
        uint8_t guid[16] = {1};
        ASSERT_EQ(0u, writer.Create(std::u16string(wim.begin(), wim.end()), wim::Compression::Xpress, guid));
        CImageMetadata image;
        image.Root().attributes = FILE_ATTRIBUTE_DIRECTORY;
        WimDentry good, bad;
        good.name = u"harmless.txt";
        good.attributes = bad.attributes = FILE_ATTRIBUTE_NORMAL;
        bad.name = name;
        std::string data = "payload";
        size_t pos = 0;
        CWimWriter::Source source = [&](uint8_t* buf, size_t size) -> long long {
            size_t take = std::min(size, data.size() - pos);
            memcpy(buf, data.data() + pos, take);
            pos += take;
            return (long long)take;
        };
        ASSERT_EQ(0u, writer.WriteStream(source, data.size(), &bad.hash));
        good.hash = bad.hash;
        image.Root().children = {good, bad};
        ASSERT_EQ(0u, writer.WriteMetadata(image.Serialize()));
        writer.SetImageCount(1);
        ASSERT_EQ(0u, writer.Finish(CWimXml::Document({CWimXml::ImageElement(WimImageInfo())}, 0), false));

        CreateDirectoryW(L"W:\\t\\in", nullptr);
        ApplyResult r = ApplyWim(wim, {}, L"W:\\t\\in\\target");
        EXPECT_FALSE(r.ok) << n;
        EXPECT_EQ(123u, r.error) << n << ": ERROR_INVALID_NAME expected";
        EXPECT_FALSE(Exists(L"W:\\t\\in\\escaped.txt")) << n;
        EXPECT_FALSE(Exists(L"W:\\t\\in\\target\\harmless.txt")) << n << ": applied despite a bad name";
        ++n;
    }
}

// An abort from PROCESS stops the apply; the result is a failure with a
// non-zero last error, never a success.
TEST_F(WimgapiTest, AbortAndSkipFromTheCallback)
{
    Recorder rec;
    rec.abortAtProcess = 3;
    ApplyResult aborted = ApplyRecorded(rec, Fixture(L"wimlib-XPRESS.wim"), L"W:\\t\\aborted");
    EXPECT_FALSE(aborted.ok);
    EXPECT_EQ((DWORD)ERROR_REQUEST_ABORTED, aborted.error);
    EXPECT_EQ(3u, rec.processed.size()) << "PROCESS after the abort";

    Recorder skip;
    skip.skipSuffix = L".txt";
    ApplyResult skipped = ApplyRecorded(skip, Fixture(L"wimlib-XPRESS.wim"), L"W:\\t\\skipped");
    ASSERT_TRUE(skipped.ok) << skipped.error;
    EXPECT_TRUE(Exists(L"W:\\t\\skipped\\random.bin"));
    EXPECT_FALSE(Exists(L"W:\\t\\skipped\\docs\\numbers.txt"));
}

// A read-write mount, changed and committed, becomes the image; an unmount
// after the caller removed the folder does not crash.
TEST_F(WimgapiTest, MountChangeCommitReapply)
{
    MakeTree(L"W:\\t\\src", {L"keep"});
    WriteFileBytes(L"W:\\t\\src\\keep\\a.txt", "first");
    WriteFileBytes(L"W:\\t\\src\\gone.txt", "delete me");
    ASSERT_EQ(0u, CaptureWim(L"W:\\t\\src", L"W:\\t\\m.wim", WIM_COMPRESS_XPRESS));
    CreateDirectoryW(L"W:\\t\\mnt", nullptr);
    CreateDirectoryW(L"W:\\t\\tmp", nullptr);
    ASSERT_TRUE(WIMMountImage(L"W:\\t\\mnt\\", L"W:\\t\\m.wim", 1, L"W:\\t\\tmp\\")) << GetLastError();
    EXPECT_EQ("first", ReadFileBytes(L"W:\\t\\mnt\\keep\\a.txt"));
    WriteFileBytes(L"W:\\t\\mnt\\keep\\a.txt", "changed");
    WriteFileBytes(L"W:\\t\\mnt\\new.txt", "new");
    DeleteFileW(L"W:\\t\\mnt\\gone.txt");
    ASSERT_TRUE(WIMUnmountImage(L"W:\\t\\mnt\\", L"W:\\t\\m.wim", 1, TRUE)) << GetLastError();
    EXPECT_FALSE(Exists(L"W:\\t\\mnt\\new.txt")) << "mount folder not emptied";

    ApplyResult r = ApplyWim(L"W:\\t\\m.wim", {}, L"W:\\t\\again");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ("changed", ReadFileBytes(L"W:\\t\\again\\keep\\a.txt"));
    EXPECT_EQ("new", ReadFileBytes(L"W:\\t\\again\\new.txt"));
    EXPECT_FALSE(Exists(L"W:\\t\\again\\gone.txt"));

    ASSERT_TRUE(WIMMountImage(L"W:\\t\\mnt\\", L"W:\\t\\m.wim", 1, L"W:\\t\\tmp\\"));
    DeleteTree(L"W:\\t\\mnt");
    EXPECT_FALSE(WIMUnmountImage(L"W:\\t\\mnt\\", L"W:\\t\\m.wim", 1, TRUE));
    EXPECT_FALSE(WIMUnmountImage(L"W:\\t\\mnt\\", L"W:\\t\\m.wim", 1, TRUE)) << "mount not forgotten";
}

// Argument and handle cases of the calls, one row each.
TEST_F(WimgapiTest, CallContracts)
{
    // An empty folder captures as a valid one-image WIM.
    CreateDirectoryW(L"W:\\t\\nothing", nullptr);
    ASSERT_EQ(0u, CaptureWim(L"W:\\t\\nothing", L"W:\\t\\empty.wim", WIM_COMPRESS_XPRESS));
    WIM_INFO info = {};
    EXPECT_EQ(1u, ImageCount(L"W:\\t\\empty.wim", &info));
    EXPECT_EQ(1, info.TotalParts);
    // A capture over an existing file replaces it.
    ASSERT_EQ(0u, CaptureWim(L"W:\\t\\nothing", L"W:\\t\\empty.wim", WIM_COMPRESS_NONE));
    EXPECT_EQ(1u, ImageCount(L"W:\\t\\empty.wim", &info));

    HANDLE h = WIMCreateFile(L"W:\\t\\missing.wim", WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());

    h = WIMCreateFile(Fixture(L"wimlib-XPRESS.wim").c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(nullptr, WIMLoadImage(h, 2));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    // Another set's file as a reference is harmless.
    EXPECT_TRUE(WIMSetReferenceFile(h, Fixture(L"wimlib-LZX.wim").c_str(), WIM_REFERENCE_APPEND));
    EXPECT_TRUE(WIMSetTemporaryPath(h, L"W:\\t\\"));
    HANDLE img = WIMLoadImage(h, 1);
    ASSERT_NE(nullptr, img);
    std::wstring tooLong = L"W:\\t\\" + std::wstring(33000, L'x');
    EXPECT_FALSE(WIMApplyImage(img, tooLong.c_str(), 0));
    EXPECT_NE(0u, GetLastError());
    WIMCloseHandle(img);
    WIMCloseHandle(h);
    EXPECT_FALSE(WIMCloseHandle(h)) << "closed twice";

    // A split set without its other parts cannot apply.
    ApplyResult r = ApplyWim(Fixture(L"wimlib-split.swm"), {}, L"W:\\t\\partial");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(0u, r.error);

    // Unregistering what was never registered is harmless.
    EXPECT_TRUE(WIMUnregisterMessageCallback(nullptr, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&Recorder::Callback))));
    EXPECT_EQ(INVALID_CALLBACK_VALUE, WIMRegisterMessageCallback(nullptr, nullptr, nullptr));
}

// Many small files, duplicates among them, in one folder and across
// folders: compressed together on capture, decoded ahead on apply, and
// still each with its own content, in both compressions.
TEST_F(WimgapiTest, ManySmallFilesRoundTrip)
{
    std::wstring src = L"W:\\t\\many";
    MakeTree(src, {L"a", L"b"});
    for (int i = 0; i < 300; ++i) {
        std::string data(100 + (size_t)i * 37, (char)('a' + i % 26));
        data += std::to_string(i % 250); // files 250..299 repeat 0..49 when the length matches
        if (i % 7 == 0) data = "same small content";
        std::wstring dir = i % 3 == 0 ? L"\\a\\" : i % 3 == 1 ? L"\\b\\" : L"\\";
        WriteFileBytes(src + dir + L"f" + std::to_wstring(i) + L".txt", data);
    }
    WriteFileBytes(src + L"\\big.bin", std::string(3 * 1024 * 1024 + 5, 'z'));
    WriteFileBytes(src + L"\\a\\big copy.bin", std::string(3 * 1024 * 1024 + 5, 'z'));
    const DWORD compressions[] = {WIM_COMPRESS_XPRESS, WIM_COMPRESS_NONE};
    for (DWORD c : compressions) {
        std::wstring wim = L"W:\\t\\many" + std::to_wstring(c) + L".wim", out = L"W:\\t\\many-out" + std::to_wstring(c);
        ASSERT_EQ(0u, CaptureWim(src, wim, c)) << c;
        ApplyResult r = ApplyWim(wim, {}, out);
        ASSERT_TRUE(r.ok) << c << ": error " << r.error;
        EXPECT_EQ(L"", Compare(src, out, false)) << c;
        // Folder times are set once the files written side by side are in.
        for (const wchar_t* folder : {L"\\a", L"\\b"})
            EXPECT_EQ(WriteTime(src + folder), WriteTime(out + folder)) << c;
    }
    // Skips and an abort among files written side by side.
    Recorder skip;
    skip.skipSuffix = L"7.txt";
    ApplyResult skipped = ApplyRecorded(skip, L"W:\\t\\many1.wim", L"W:\\t\\skipped");
    ASSERT_TRUE(skipped.ok) << skipped.error;
    EXPECT_FALSE(Exists(L"W:\\t\\skipped\\b\\f7.txt"));
    EXPECT_FALSE(Exists(L"W:\\t\\skipped\\f17.txt"));
    EXPECT_EQ(ReadFileBytes(src + L"\\b\\f4.txt"), ReadFileBytes(L"W:\\t\\skipped\\b\\f4.txt"));
    // A skipped folder whose files were decoded ahead with the ones after it.
    Recorder skipFolder;
    skipFolder.skipSuffix = L"\\a";
    ApplyResult withoutA = ApplyRecorded(skipFolder, L"W:\\t\\many1.wim", L"W:\\t\\no-a");
    ASSERT_TRUE(withoutA.ok) << withoutA.error;
    EXPECT_FALSE(Exists(L"W:\\t\\no-a\\a"));
    for (const wchar_t* file : {L"\\b\\f4.txt", L"\\b\\f7.txt", L"\\f2.txt", L"\\big.bin"})
        EXPECT_EQ(ReadFileBytes(src + file), ReadFileBytes(std::wstring(L"W:\\t\\no-a") + file)) << file;
    Recorder abort;
    abort.abortAtProcess = 50;
    ApplyResult aborted = ApplyRecorded(abort, L"W:\\t\\many1.wim", L"W:\\t\\aborted");
    EXPECT_FALSE(aborted.ok);
    EXPECT_EQ((DWORD)ERROR_REQUEST_ABORTED, aborted.error);
    EXPECT_EQ(50u, abort.processed.size()) << "PROCESS after the abort";

    // The same among files read side by side on capture.
    Recorder captureSkip;
    captureSkip.skipSuffix = L"3.txt";
    {
        ScopedRecorder scope(captureSkip);
        ASSERT_EQ(0u, CaptureWim(src, L"W:\\t\\skip.wim", WIM_COMPRESS_XPRESS));
    }
    ApplyResult r = ApplyWim(L"W:\\t\\skip.wim", {}, L"W:\\t\\skip-out");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(Exists(L"W:\\t\\skip-out\\a\\f3.txt"));
    EXPECT_FALSE(Exists(L"W:\\t\\skip-out\\b\\f13.txt"));
    EXPECT_EQ(ReadFileBytes(src + L"\\f2.txt"), ReadFileBytes(L"W:\\t\\skip-out\\f2.txt"));
    EXPECT_EQ(ReadFileBytes(src + L"\\b\\f4.txt"), ReadFileBytes(L"W:\\t\\skip-out\\b\\f4.txt"));
    Recorder captureAbort;
    captureAbort.abortAtProcess = 40;
    {
        ScopedRecorder scope(captureAbort);
        EXPECT_EQ((DWORD)ERROR_REQUEST_ABORTED, CaptureWim(src, L"W:\\t\\abort.wim", WIM_COMPRESS_XPRESS));
    }
    EXPECT_EQ(40u, captureAbort.processed.size()) << "PROCESS after the abort";
}

// A file that cannot be read (held open without sharing) among small files
// read ahead, in a folder of many and in a folder of its own: its error is
// reported; a callback may skip it, else the capture fails with it.
TEST_F(WimgapiTest, UnreadableFileOnCapture)
{
    std::wstring src = L"W:\\t\\unreadable";
    MakeTree(src, {L"many", L"one"});
    for (int i = 0; i < 8; ++i)
        WriteFileBytes(src + L"\\many\\f" + std::to_wstring(i) + L".txt", std::string(100 + i, 'm'));
    WriteFileBytes(src + L"\\one\\only.txt", "only");
    struct Case {
        const wchar_t* locked;
        bool skipErrors;
    } cases[] = {{L"many\\f3.txt", true}, {L"many\\f3.txt", false}, {L"one\\only.txt", true}, {L"one\\only.txt", false}};
    for (const Case& c : cases) {
        std::string what(c.locked, c.locked + wcslen(c.locked));
        HANDLE held = CreateFileW((src + L"\\" + c.locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held) << what;
        Recorder rec;
        rec.skipErrors = c.skipErrors;
        DWORD err;
        {
            ScopedRecorder scope(rec);
            err = CaptureWim(src, L"W:\\t\\unreadable.wim", WIM_COMPRESS_XPRESS);
        }
        CloseHandle(held);
        EXPECT_EQ(1u, rec.errors) << what;
        if (!c.skipErrors) {
            EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, err) << what;
            continue;
        }
        ASSERT_EQ(0u, err) << what;
        DeleteTree(L"W:\\t\\unreadable-out");
        ApplyResult r = ApplyWim(L"W:\\t\\unreadable.wim", {}, L"W:\\t\\unreadable-out");
        ASSERT_TRUE(r.ok) << what << ": " << r.error;
        EXPECT_FALSE(Exists(L"W:\\t\\unreadable-out\\" + std::wstring(c.locked))) << what;
        EXPECT_EQ(std::string(107, 'm'), ReadFileBytes(L"W:\\t\\unreadable-out\\many\\f7.txt")) << what;
    }
}

// Large streams go through in batches of chunks, the next batch read while
// the one before is compressed: files of every kind of data around the
// batch's edges come back byte for byte, and the independent judge reads
// what we wrote.
TEST_F(WimgapiTest, LargeFilesAcrossBatches)
{
    const size_t kChunk = 32768, kChunksPerWorker = 4;
    const size_t batch = CWorkerPool::Instance().Workers() * kChunksPerWorker * kChunk;
    std::wstring src = L"W:\\t\\large";
    MakeTree(src, {});
    struct Case {
        const wchar_t* name;
        size_t size;
        bool text; // compresses; else does not
    } cases[] = {{L"batch less one.txt", batch - 1, true},   {L"batch.bin", batch, false},
                 {L"batch and one.txt", batch + 1, true},    {L"batch and one.bin", batch + 1, false},
                 {L"batches and a part.txt", 2 * batch + 12345, true},
                 {L"batches and a part.bin", 3 * batch + 777, false}};
    uint32_t seed = 1;
    for (const Case& c : cases) {
        std::string data;
        data.reserve(c.size + 32);
        // Every line and word tells where it is, so a chunk from the wrong
        // batch or place cannot pass for the right one.
        for (size_t i = 0; data.size() < c.size; ++i) {
            if (c.text) {
                data += "line " + std::to_string(i) + (i % 5 ? " of a text\n" : " of something else\n");
            } else {
                seed = seed * 1664525u + 1013904223u;
                data.append(reinterpret_cast<const char*>(&seed), sizeof(seed));
            }
        }
        data.resize(c.size);
        ASSERT_TRUE(WriteFileBytes(src + L"\\" + c.name, data));
    }
    std::wstring wim = Fixture(L"out\\large-ours.wim"), out = L"W:\\t\\large-out";
    ASSERT_EQ(0u, CaptureWim(src, wim, WIM_COMPRESS_XPRESS));
    ApplyResult r = ApplyWim(wim, {}, out);
    ASSERT_TRUE(r.ok) << r.error;
    for (const Case& c : cases)
        EXPECT_TRUE(ReadFileBytes(src + L"\\" + c.name) == ReadFileBytes(out + L"\\" + c.name)) << c.size;
}
