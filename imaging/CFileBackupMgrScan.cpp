// File-type tables, the scan of the user partition and the sweep of empty
// folders after a restore.
#include <cwctype>

#include "CFileBackupMgr.h"
#include "NvFileUtil.h"

namespace {

const wchar_t* const kPictures[] = {L".jpg", L".jpeg", L".gif", L".bmp", L".tga", L".png", L".psd", L".tif", L".tiff",
    L".pcd", L".rle", L".pic", L".pcx", L".art", L".xbm", L".cdr", L".cmx", L".cpt", L".dwg", L".wmf", L".emf", L".psp",
    L".svg", L".svgz", L".dwf", L".dib"};
const wchar_t* const kMusic[] = {L".wma", L".wav", L".mp3", L".ogg", L".acm", L".au", L".aif", L".aiff", L".mid",
    L".midi", L".rmi", L".m3u", L".snd", L".cda", L".aifc", L".aac", L".m4a", L".m4b"};
const wchar_t* const kVideo[] = {L".avi", L".mpg", L".mpeg", L".rv9", L".asf", L".vfw", L".wmv", L".mov", L".swf",
    L".asx", L".wax", L".wm", L".wmd", L".wmp", L".wmx", L".wpl", L".wvx", L".m1v", L".mp2", L".mpa", L".mpe",
    L".mp2v", L".mpv2", L".vob", L".divx"};
const wchar_t* const kRecordedTV[] = {L".dvr-ms"};
const wchar_t* const kDocuments[] = {L".doc", L".xls", L".ppt", L".mdb", L".pub", L".acl", L".ade", L".adn", L".adp",
    L".ag4", L".ans", L".txt", L".rtf", L".oft", L".dic", L".csv", L".mdi", L".wbd", L".wdb", L".wks", L".wps", L".mht",
    L".xml", L".dot", L".xl", L".xlb", L".xlc", L".xlk", L".xlr", L".xls", L".xlt", L".xlv", L".xlw", L".mny", L".vsd",
    L".vsl", L".vsr", L".vss", L".vst", L".vsw", L".vsx", L".wmz", L".kar", L".cdg", L".pot", L".pps", L".htm",
    L".html", L".kar", L".vdx", L".vsx", L".vtx", L".zip", L".rar", L".ace", L".pdf", L".docx", L".docm", L".dotx",
    L".dotm", L".xlsx", L".xlsm", L".xltx", L".xltm", L".xlsb", L".xlam", L".pptx", L".pptm", L".potx", L".potm",
    L".ppam", L".ppsx", L".ppsm", L".accdb", L".accde", L".accdt", L".accdr"};
const wchar_t* const kEmail[] = {L".eml", L".pst", L".dbx", L".wab", L".nab", L".ldif", L".rwz", L".mbx"};

struct TypeTable {
    UINT uBit;
    const wchar_t* const* ppRows;
    size_t cRows;
};

template <size_t N>
constexpr TypeTable Table(UINT uBit, const wchar_t* const (&rows)[N])
{
    return {uBit, rows, N};
}

const TypeTable kTables[] = {Table(kTypePictures, kPictures), Table(kTypeMusic, kMusic), Table(kTypeVideo, kVideo),
    Table(kTypeRecordedTV, kRecordedTV), Table(kTypeDocuments, kDocuments), Table(kTypeEmail, kEmail)};

const ULONGLONG kLargestFileFloor = 4194304000ULL;

bool IsDots(const wchar_t* pwszName)
{
    return wcscmp(pwszName, L".") == 0 || wcscmp(pwszName, L"..") == 0;
}

} // namespace

void CFileBackupMgr::SetBackupFileTypes(UINT uMask)
{
    m_uBackupTypes = uMask;
    m_mapExtensions.clear();
    for (const TypeTable& table : kTables)
        if (uMask & table.uBit)
            for (size_t i = 0; i < table.cRows; i++)
                m_mapExtensions[table.ppRows[i]] = 1;
}

void CFileBackupMgr::SetRestoreFileTypes(UINT uMask)
{
    m_uRestoreTypes = uMask;
    m_mapExtensions.clear();
    for (const TypeTable& table : kTables)
        for (size_t i = 0; i < table.cRows; i++)
            m_mapExtensions[table.ppRows[i]] = (uMask & table.uBit) ? 1 : -1;
}

int CFileBackupMgr::Verdict(const std::wstring& strExtension) const
{
    // Read from the imaging library's threads during an apply: no insertion.
    auto it = m_mapExtensions.find(strExtension);
    return it == m_mapExtensions.end() ? 0 : it->second;
}

// Links and junctions are not entered: a link back up the tree would loop
// and one across it would count its files twice.
void CFileBackupMgr::ScanFolder(const std::wstring& strFolder)
{
    WIN32_FIND_DATAW data {};
    HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        if (m_bCancel)
            break;
        if (IsDots(data.cFileName) || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ScanFolder(strFolder + L"\\" + data.cFileName);
        else
            ScanFile(strFolder, data);
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
}

void CFileBackupMgr::ScanFile(const std::wstring& strFolder, const WIN32_FIND_DATAW& data)
{
    if (Verdict(NvLowerExtension(data.cFileName)) == 0)
        return;
    ULONGLONG ullSize = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (ullSize > kLargestFileFloor && ullSize > m_ullLargestFile)
        m_ullLargestFile = ullSize;
    m_ullScanBytes += ullSize;
    std::wstring strPath = strFolder + L"\\" + data.cFileName;
    if (m_pNotifier)
        m_pNotifier->OnScanFile(strPath.c_str());
    m_lstFiles.push_back(strPath);
}

int CFileBackupMgr::PruneFolders(const std::wstring& strFolder)
{
    WIN32_FIND_DATAW data {};
    HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return 0;
    int nFiles = 0;
    do {
        if (IsDots(data.cFileName))
            continue;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            nFiles++;
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        std::wstring strSub = strFolder + L"\\" + data.cFileName;
        int nSub = PruneFolders(strSub);
        if (nSub == 0)
            RemoveDirectoryW(strSub.c_str());
        nFiles += nSub;
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
    return nFiles;
}
