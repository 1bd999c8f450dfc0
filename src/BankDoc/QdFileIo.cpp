// QdFileIo.cpp -- the default file access of the bank document, on POSIX
// file descriptors.
#include "BankDoc/QdFileIo.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// CQdFd -- a file descriptor closed when it goes out of scope.
class CQdFd
{
public:
    explicit CQdFd(int iFd) : m_iFd(iFd) {}
    ~CQdFd() { Close(); }
    CQdFd(const CQdFd&) = delete;
    CQdFd& operator=(const CQdFd&) = delete;

    int Get() const { return m_iFd; }
    // Reset -- takes another descriptor, closing the one held.
    void Reset(int iFd)
    {
        Close();
        m_iFd = iFd;
    }
    bool IsOpen() const { return m_iFd >= 0; }
    // Release -- lets the descriptor go without closing it.
    void Release() { m_iFd = -1; }
    // Close -- false when close(2) reported an error (a late write error).
    bool Close()
    {
        if (m_iFd < 0)
            return true;
        const int iResult = ::close(m_iFd);
        m_iFd = -1;
        return iResult == 0;
    }

private:
    int m_iFd;
};

int OpenForReading(const std::string& rkstrPath)
{
    return ::open(rkstrPath.c_str(), O_RDONLY | O_CLOEXEC);
}

// ReadUpTo -- reads until dwCount bytes are in or the file ends; the count
// read, or -1 on an error.
long ReadUpTo(int iFd, BYTE* pbyData, DWORD dwCount)
{
    DWORD dwDone = 0;
    while (dwDone < dwCount)
    {
        const ssize_t lRead = ::read(iFd, pbyData + dwDone, dwCount - dwDone);
        if (lRead < 0)
        {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (lRead == 0)
            break;
        dwDone += DWORD(lRead);
    }
    return long(dwDone);
}

// OpenRegularFile -- the file open for reading, with its status, when it is
// a regular file; else -1 and the cause in riError (CQdFileIo::GetLastError).
int OpenRegularFile(const std::string& rkstrPath, struct stat& roStat, int& riError)
{
    riError = 0;
    CQdFd oFile(OpenForReading(rkstrPath));
    if (!oFile.IsOpen() || ::fstat(oFile.Get(), &roStat) != 0)
    {
        riError = errno;
        return -1;
    }
    if (!S_ISREG(roStat.st_mode))
    {
        riError = S_ISDIR(roStat.st_mode) ? EISDIR : CQdFileIo::FILE_ERROR_NOT_A_FILE;
        return -1;
    }
    const int iFd = oFile.Get();
    oFile.Release();
    return iFd;
}

// DirectoryOf -- the directory part of a path ("." for a bare file name).
std::string DirectoryOf(const std::string& rkstrPath)
{
    const std::size_t uSlash = rkstrPath.find_last_of('/');
    if (uSlash == std::string::npos)
        return ".";
    if (uSlash == 0)
        return "/";
    return rkstrPath.substr(0, uSlash);
}

// ResolvedTarget -- a target that is a symbolic link is written where the
// link points, so that the link stays a link.
std::string ResolvedTarget(const std::string& rkstrPath)
{
    struct stat oStat;
    if (::lstat(rkstrPath.c_str(), &oStat) != 0 || !S_ISLNK(oStat.st_mode))
        return rkstrPath;
    char* pszReal = ::realpath(rkstrPath.c_str(), nullptr);
    if (pszReal == nullptr)
        return rkstrPath;
    std::string strReal(pszReal);
    std::free(pszReal);
    return strReal;
}

// SyncDirectory -- makes the rename durable; a directory that cannot be
// synced (some file systems refuse) does not fail the write.
void SyncDirectory(const std::string& rkstrDir)
{
    CQdFd oDir(::open(rkstrDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (oDir.IsOpen())
        (void)::fsync(oDir.Get());
}

// CQdDir -- an open folder stream, closed when it goes out of scope.
class CQdDir
{
public:
    explicit CQdDir(const std::string& rkstrPath) : m_poDir(::opendir(rkstrPath.c_str())) {}
    ~CQdDir()
    {
        if (m_poDir)
            ::closedir(m_poDir);
    }
    CQdDir(const CQdDir&) = delete;
    CQdDir& operator=(const CQdDir&) = delete;

    DIR* Get() const { return m_poDir; }

private:
    DIR* m_poDir;
};

} // namespace

// CQdFileIo::ErrorText -- the causes a user meets most in words of their
// own, the rest as the C library says them, lower-cased like the others.
std::string CQdFileIo::ErrorText(int iError)
{
    switch (iError)
    {
    case 0:
        return std::string();
    case FILE_ERROR_TOO_LARGE:
        return "file too large";
    case FILE_ERROR_NOT_A_FILE:
        return "not a regular file";
    case FILE_ERROR_CHANGED:
        return "the file changed while it was read";
    case EACCES:
    case EPERM:
        return "permission denied";
    case EISDIR:
        return "is a directory";
    case ENOSPC:
        return "disk full";
    case EDQUOT:
        return "disk quota exceeded";
    case EFBIG:
        return "file too large";
    case EROFS:
        return "read-only file system";
    default:
        break;
    }
    std::string strText = std::strerror(iError);
    if (!strText.empty())
        strText[0] = char(std::tolower(static_cast<unsigned char>(strText[0])));
    return strText;
}

// CQdFileIo::Default -- the one instance the front ends share.
CQdFileIo& CQdFileIo::Default()
{
    static CQdFileIo s_oFileIo;
    return s_oFileIo;
}

// CQdFileIo::ReadPrefix -- the first dwCount bytes, or fewer.
bool CQdFileIo::ReadPrefix(const std::string& rkstrPath, DWORD dwCount, std::vector<BYTE>& rabyData)
{
    rabyData.clear();
    SetLastError(0);
    CQdFd oFile(OpenForReading(rkstrPath));
    if (!oFile.IsOpen())
    {
        SetLastError(errno);
        return false;
    }
    rabyData.resize(dwCount);
    const long lRead = ReadUpTo(oFile.Get(), rabyData.data(), dwCount);
    if (lRead < 0)
    {
        SetLastError(errno);
        rabyData.clear();
        return false;
    }
    rabyData.resize(std::size_t(lRead));
    return true;
}

// CQdFileIo::FileSize -- the size of a regular file.
bool CQdFileIo::FileSize(const std::string& rkstrPath, std::uint64_t& rqwSize)
{
    rqwSize = 0;
    struct stat oStat;
    int iError = 0;
    const CQdFd oFile(OpenRegularFile(rkstrPath, oStat, iError));
    SetLastError(iError);
    if (!oFile.IsOpen())
        return false;
    rqwSize = std::uint64_t(oStat.st_size);
    return true;
}

// CQdFileIo::ReadAll -- the whole file, at most dwLimit bytes. The size is
// taken from the open file; a file that turns out longer than it said (it
// grew meanwhile) is refused like one above the limit.
bool CQdFileIo::ReadAll(const std::string& rkstrPath, DWORD dwLimit, std::vector<BYTE>& rabyData)
{
    rabyData.clear();
    struct stat oStat;
    int iError = 0;
    const CQdFd oFile(OpenRegularFile(rkstrPath, oStat, iError));
    SetLastError(iError);
    if (!oFile.IsOpen())
        return false;
    if (std::uint64_t(oStat.st_size) > dwLimit)
    {
        SetLastError(FILE_ERROR_TOO_LARGE);
        return false;
    }
    const DWORD dwSize = DWORD(oStat.st_size);
    rabyData.resize(dwSize);
    BYTE byProbe = 0;
    const long lRead = ReadUpTo(oFile.Get(), rabyData.data(), dwSize);
    const long lMore = lRead == long(dwSize) ? ReadUpTo(oFile.Get(), &byProbe, 1) : 0;
    if (lRead != long(dwSize) || lMore != 0)
    {
        SetLastError(lRead < 0 || lMore < 0 ? errno : FILE_ERROR_CHANGED);
        rabyData.clear();
        return false;
    }
    return true;
}


// CQdFileIo::WritePart -- one write(2).
long CQdFileIo::WritePart(int iFd, const BYTE* pbyData, std::size_t uLength)
{
    return long(::write(iFd, pbyData, uLength));
}

// CQdFileIo::WriteAtomic -- temporary file beside the target, complete
// write, fsync, close, rename over the target. Any failure removes the
// temporary file and leaves the target as it was.
bool CQdFileIo::WriteAtomic(const std::string& rkstrPath, const BYTE* pbyData, DWORD dwLength)
{
    SetLastError(0);
    if (rkstrPath.empty() || (pbyData == nullptr && dwLength != 0))
    {
        SetLastError(rkstrPath.empty() ? ENOENT : EINVAL);
        return false;
    }
    const std::string strTarget = ResolvedTarget(rkstrPath);
    const std::string strDir = DirectoryOf(strTarget);

    // An existing target keeps its permissions; a new one gets 0666 less the
    // umask, which open(2) applies to the temporary file.
    struct stat oTargetStat;
    const bool bTargetExists = ::stat(strTarget.c_str(), &oTargetStat) == 0;
    if (bTargetExists && !S_ISREG(oTargetStat.st_mode))
    {
        SetLastError(S_ISDIR(oTargetStat.st_mode) ? EISDIR : FILE_ERROR_NOT_A_FILE);
        return false;
    }

    // A unique name in the target's directory, so that the rename stays
    // within one file system.
    std::string strTemp;
    CQdFd oTemp(-1);
    static unsigned s_uCounter = 0;
    for (int iTry = 0; iTry < 100 && !oTemp.IsOpen(); ++iTry)
    {
        strTemp = strTarget + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(++s_uCounter);
        oTemp.Reset(::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!oTemp.IsOpen() && errno != EEXIST)
        {
            SetLastError(errno);
            return false;
        }
    }
    if (!oTemp.IsOpen())
    {
        SetLastError(EEXIST);
        return false;
    }

    // The first failure's errno is the cause; the steps after it are not done.
    int iError = 0;
    if (bTargetExists && ::fchmod(oTemp.Get(), oTargetStat.st_mode & 07777) != 0)
        iError = errno;
    DWORD dwDone = 0;
    while (iError == 0 && dwDone < dwLength)
    {
        const long lWritten = WritePart(oTemp.Get(), pbyData + dwDone, dwLength - dwDone);
        if (lWritten < 0 && errno == EINTR)
            continue;
        // A write that makes no progress (0 bytes) would loop for ever.
        if (lWritten < 0)
            iError = errno;
        else if (lWritten == 0)
            iError = EIO;
        else
            dwDone += DWORD(lWritten);
    }
    if (iError == 0 && ::fsync(oTemp.Get()) != 0)
        iError = errno;
    // close(2) may report a deferred write error (network file systems).
    if (!oTemp.Close() && iError == 0)
        iError = errno;
    if (iError == 0 && ::rename(strTemp.c_str(), strTarget.c_str()) != 0)
        iError = errno;
    if (iError != 0)
    {
        ::unlink(strTemp.c_str());
        SetLastError(iError);
        return false;
    }
    SyncDirectory(strDir);
    return true;
}

// CQdFileIo::IsReadOnlyFile -- by the permission bits first: access(2)
// answers for root as if every file were writable.
bool CQdFileIo::IsReadOnlyFile(const std::string& rkstrPath)
{
    const std::string strTarget = ResolvedTarget(rkstrPath);
    struct stat oStat;
    if (::stat(strTarget.c_str(), &oStat) != 0 || !S_ISREG(oStat.st_mode))
        return false;
    if ((oStat.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return true;
    return ::access(strTarget.c_str(), W_OK) != 0 && (errno == EACCES || errno == EPERM);
}

// CQdFileIo::ReadFolder -- on the POSIX folder stream: the C++ library's
// folder iteration cannot be used, since it ends the program when memory
// runs out inside it (its error-code forms are noexcept), while here running
// out of memory fails the command like everywhere else. The kind of each
// entry comes from stat(2), so a link counts as what it points to; an entry
// that cannot be examined is neither folder nor file.
bool CQdFileIo::ReadFolder(const std::string& rkstrPath, std::vector<CQdFolderEntry>& raoEntries)
{
    const CQdDir oDir(rkstrPath);
    if (!oDir.Get())
    {
        SetLastError(errno);
        return false;
    }
    std::vector<CQdFolderEntry> aoEntries;
    for (;;)
    {
        errno = 0;
        const dirent* pkoEntry = ::readdir(oDir.Get());
        if (!pkoEntry)
        {
            if (errno != 0)
            {
                SetLastError(errno);
                return false;
            }
            break;
        }
        CQdFolderEntry oEntry;
        oEntry.m_strName = pkoEntry->d_name;
        if (oEntry.m_strName == "." || oEntry.m_strName == "..")
            continue;
        struct stat oStat;
        if (::stat((rkstrPath + "/" + oEntry.m_strName).c_str(), &oStat) == 0)
        {
            oEntry.m_bFolder = S_ISDIR(oStat.st_mode);
            oEntry.m_bFile = S_ISREG(oStat.st_mode);
        }
        aoEntries.push_back(std::move(oEntry));
    }
    raoEntries.swap(aoEntries);
    return true;
}
