// Turns a list of user files into a backup set of numbered one-image WIM
// files: an empty image is created, mounted read-write, filled by plain
// copies and committed once it is big enough. Runs on the manager's backup
// thread.
#pragma once

#include <windows.h>

#include <list>
#include <string>
#include <vector>

#include "IListener.h"

class CFileBackupMgr;

// Some files could not be taken; the rest of the set is complete. Not 0, so
// that no page mistakes it for a full backup before the disk is wiped.
constexpr HRESULT kBackupFilesSkipped = (HRESULT)0x00EF0817;
// A part over the big-file size could not be split.
constexpr HRESULT kBackupSplitFailed = (HRESULT)0xE0EE0020;

// The size rules of a backup set. Tests lower them so that the split paths
// run with small files.
struct BackupSizes {
    ULONGLONG ullPartBytes = 209715200ULL;   // a part is committed above this
    ULONGLONG ullBigFileBytes = 4194304000ULL; // own part, split above this
    int iSplitPieceMiB = 200;
};

struct SkippedFile {
    std::wstring strPath;
    DWORD dwError;
};

class WIMFileBackuper {
public:
    WIMFileBackuper(CFileBackupMgr& owner, wchar_t wcHomeDrive);
    virtual ~WIMFileBackuper();
    WIMFileBackuper(const WIMFileBackuper&) = delete;
    WIMFileBackuper& operator=(const WIMFileBackuper&) = delete;

    HRESULT SetDestination(wchar_t wcLetter);
    void SetFiles(const std::list<std::wstring>& files) { m_lstFiles = files; }
    HRESULT Backup(BOOL bToDisc);
    void Cleanup();
    bool AddListener(IListener* pListener);
    bool RemoveListener(IListener* pListener);
    // The local time in a wcsftime format.
    static std::wstring LocalTimeText(const wchar_t* pwszFormat);
    static DWORD CALLBACK MessageCallback(DWORD dwMsg, WPARAM wParam, LPARAM lParam, PVOID pvUser);

    // Restore: applies image m_nImageIndex of the image file into the apply
    // folder; false with GetLastResult on any failure.
    bool SetImagePath(const std::wstring& strPath);
    bool SetApplyPath(const std::wstring& strPath);
    bool SetImageIndex(int nIndex);
    bool Apply();
    // The work folder, made ours if missing; the restore gathers pieces in it.
    HRESULT CreateWorkDir();

    void SetSizes(const BackupSizes& sizes) { m_sizes = sizes; }
    void SetProgramFolder(const std::wstring& strFolder) { m_strProgramDir = strFolder; }
    const std::wstring& ProgramFolder() const { return m_strProgramDir; }
    const std::wstring& MountRoot() const { return m_strMountRoot; }
    const std::wstring& WorkDir() const { return m_strWorkDir; }
    const std::wstring& DestDir() const { return m_strDestDir; }
    int PartCount() const { return m_nPartCount; }
    const std::vector<SkippedFile>& SkippedFiles() const { return m_vecSkipped; }
    HRESULT GetLastResult() const { return m_hrLast; }

private:
    HRESULT PrepareFolders(BOOL bToDisc);
    HRESULT FirstPass(const std::list<std::wstring>& files);
    HRESULT SecondPass();
    HRESULT FinishDrive();
    HRESULT FinishDisc();
    HRESULT Abort(HRESULT hr);
    HRESULT StartNewPart();
    HRESULT CaptureEmptyImage();
    HRESULT MountPart();
    HRESULT CopyFileToPart();
    HRESULT CommitPart();
    HRESULT SplitPart();
    void ReportSkipped(DWORD dwError);
    bool FailApply(HRESULT hr);
    void CloseWimHandles();

    CFileBackupMgr& m_owner;
    wchar_t m_wcHomeDrive;
    wchar_t m_wcDestDrive = 0;
    std::list<std::wstring> m_lstFiles;
    std::vector<IListener*> m_lstListeners;
    HRESULT m_hrLast = 0;
    std::wstring m_strMountRoot;
    std::wstring m_strWorkDir;
    std::wstring m_strEmptyDir;
    std::wstring m_strTempDir;
    std::wstring m_strDestDir;
    std::wstring m_strMountDir;
    std::wstring m_strCurWim;
    std::wstring m_strProgramDir;
    const wchar_t* m_pszCurFile = nullptr;
    int m_nPartCount = 0;
    int m_nFilesDone = 0;
    int m_nMounted = 0;
    ULONGLONG m_ullPartBytes = 0;
    ULONGLONG m_ullCurFileSize = 0;
    ULONGLONG m_ullFileCount = 0;
    std::list<std::wstring> m_lstBigFiles;
    std::vector<SkippedFile> m_vecSkipped;
    BackupSizes m_sizes;
    std::wstring m_strImagePath;
    std::wstring m_strApplyPath;
    std::wstring m_strApplyTemp;
    int m_nImageIndex = 1;
    HANDLE m_hApplyWim = nullptr;
    HANDLE m_hApplyImage = nullptr;
    bool m_bCallbackRegistered = false;
};
