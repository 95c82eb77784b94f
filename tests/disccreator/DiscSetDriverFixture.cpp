#include "DiscSetDriverFixture.h"

#include <algorithm>

#include "CAutoHandle.h"
#include "CSimPc.h"
#include "DiscTestPc.h"
#include "NvSysUtil.h"
#include "PlanTestFiles.h"
#include "TestFiles.h"

namespace {

const wchar_t* const kProgramFiles[] = {L"DiscSetDriver.exe", L"Brennel.dll", L"wimgapi.dll", L"Wimsplice.dll",
                                        L"FileSet.xml"};
const DWORD kBlankDvdSectors = 2298496;
const DWORD kDriverTimeoutMs = 8 * 60 * 1000;

} // namespace

const wchar_t DiscSetDriverFixture::kProgramFolder[] = L"C:\\Program Files\\Discora\\";
const wchar_t DiscSetDriverFixture::kSplitFolder[] = L"C:\\preload";
const wchar_t DiscSetDriverFixture::kWindowsMarker[] = L"C:\\ProgramData\\Zentara\\Recovery\\zqdrcu.prc";
const wchar_t DiscSetDriverFixture::kRecoveryMarker[] = L"D:\\zqdrcu.prc";

void DiscSetDriverFixture::SetUp()
{
    std::wstring bin;
    ASSERT_TRUE(NvGetProgramFolder(bin));
    ASSERT_TRUE(PlanTestFiles::MakeFolder(kProgramFolder));
    for (const wchar_t* pwszName : kProgramFiles) {
        ASSERT_TRUE(CopyFileW((bin + pwszName).c_str(), (std::wstring(kProgramFolder) + pwszName).c_str(), FALSE))
            << GetLastError();
    }
    ASSERT_TRUE(TestFiles::WriteBytes(std::wstring(kProgramFolder) + L"etfsboot.com", std::string(2048, '\xEB')));
}

// The output goes to a file: services the driver starts would keep a pipe open.
DWORD DiscSetDriverFixture::RunDriver(const std::wstring& arguments, std::string* pOut)
{
    std::wstring line = L"\"" + std::wstring(kProgramFolder) + L"DiscSetDriver.exe\" " + arguments;
    std::wstring outPath = std::wstring(kProgramFolder) + L"driver-output.txt";
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    CAutoHandle out(CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.IsValid())
        return static_cast<DWORD>(-1);
    DWORD dwCode = DiscTestPc::Run(line, kProgramFolder, out.Get(), kDriverTimeoutMs);
    out.Close();
    if (pOut)
        *pOut = TestFiles::ReadBytes(outPath);
    return dwCode;
}

void DiscSetDriverFixture::QueueBlankDiscs(int iCount)
{
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    ASSERT_EQ(S_OK, pc.Update([&](SimPcState& s) {
        SimOptical* pDrive = s.FindOptical(L'E');
        if (!pDrive)
            return E_FAIL;
        pDrive->burnMs = 300;
        for (int i = 0; i < iCount; ++i)
            pDrive->queue.push_back(DiscTestPc::NewDisc(pc, s, 128, kBlankDvdSectors, true));
        return S_OK;
    }));
}

SimPcState DiscSetDriverFixture::State()
{
    return DiscTestPc::Read();
}

std::vector<SimDisc> DiscSetDriverFixture::BurnedDiscs()
{
    std::vector<SimDisc> discs;
    for (const SimDisc& disc : State().discs) {
        if (!disc.blank && disc.label.rfind(L"Recovery", 0) == 0)
            discs.push_back(disc);
    }
    std::sort(discs.begin(), discs.end(), [](const SimDisc& a, const SimDisc& b) { return a.label < b.label; });
    return discs;
}

std::wstring DiscSetDriverFixture::DiscFolder(const SimDisc& disc)
{
    CSimPc pc(L"test");
    EXPECT_TRUE(pc.Open());
    SimPcState state = State();
    for (const SimOptical& drive : state.opticals) {
        if (drive.disc == disc.id && !drive.trayOpen)
            return pc.DriveFolder(drive.letter);
    }
    return pc.DiscFolder(disc.id);
}

std::string IniValue(const std::string& text, const std::string& key)
{
    size_t at = text.find(key + "=");
    if (at == std::string::npos)
        return std::string();
    size_t end = text.find_first_of("\r\n", at);
    return text.substr(at + key.size() + 1, end == std::string::npos ? std::string::npos : end - at - key.size() - 1);
}
