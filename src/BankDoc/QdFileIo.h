// QdFileIo.h -- whole-file reads and atomic whole-file writes.
//
// A file the tool writes (a bank, a MIDI file) is first written completely
// to a temporary file beside the target, flushed, and only then renamed over
// the target, so the old file survives any failure. Tests replace the
// default implementation, or only its WritePart step, to make writes fail
// halfway.
//
// A failed operation keeps its cause (GetLastError): the operating system's
// errno, or one of the tool's own FILE_ERROR_* refusals. Messages about a
// file name it with ErrorText. An implementation that replaces an operation
// may leave the cause alone; callers that tell it clear it first, and an
// unknown cause is 0.
#pragma once

#include "Base/QdTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One entry of a folder (ReadFolder); its kind is that of what a symbolic
// link points to.
struct CQdFolderEntry
{
    std::string m_strName;
    bool m_bFolder = false;
    bool m_bFile = false; // a regular file
};

class CQdFileIo
{
public:
    virtual ~CQdFileIo() = default;

    // ReadPrefix -- up to dwCount bytes from the start of the file (fewer for
    // a shorter file); false when unreadable.
    virtual bool ReadPrefix(const std::string& rkstrPath, DWORD dwCount, std::vector<BYTE>& rabyData);
    // FileSize -- false when the file cannot be opened.
    virtual bool FileSize(const std::string& rkstrPath, std::uint64_t& rqwSize);
    // ReadAll -- the whole file, refused (false) when larger than dwLimit
    // bytes, unreadable or read short.
    virtual bool ReadAll(const std::string& rkstrPath, DWORD dwLimit, std::vector<BYTE>& rabyData);
    // WriteAtomic -- writes the bytes to a temporary file beside the target
    // and renames it over the target after a complete, flushed write. On any
    // failure the temporary file is removed, the target is untouched and the
    // result is false. A new target gets the usual permissions (0666 less
    // the umask); an existing one keeps its permissions.
    virtual bool WriteAtomic(const std::string& rkstrPath, const BYTE* pbyData, DWORD dwLength);
    // IsReadOnlyFile -- an existing regular file (a link: what it points
    // to) that may not be written over: none of its write permission bits
    // is set (as chmod a-w leaves it; root, whom the system lets write
    // anyway, counts it as read-only too), or the system refuses this user
    // write access to it. WriteAtomic replaces such a file all the same (a
    // rename needs only the folder's permission), so a save asks first. A
    // missing file is not read-only: a save creates it.
    virtual bool IsReadOnlyFile(const std::string& rkstrPath);
    // ReadFolder -- the entries of the folder but "." and "..", in no
    // particular order; false when it cannot be read.
    virtual bool ReadFolder(const std::string& rkstrPath, std::vector<CQdFolderEntry>& raoEntries);

    // The process-wide default.
    static CQdFileIo& Default();

    // The tool's own causes beside errno values (which are positive).
    static constexpr int FILE_ERROR_TOO_LARGE = -1;  // above the limit of a read
    static constexpr int FILE_ERROR_NOT_A_FILE = -2; // neither a regular file nor a folder (a device, a pipe)
    static constexpr int FILE_ERROR_CHANGED = -3;    // the file changed while it was read
    // GetLastError -- the cause of the last failed operation of this object,
    // 0 when none is known; ClearLastError forgets it.
    int GetLastError() const { return m_iLastError; }
    void ClearLastError() { m_iLastError = 0; }
    // ErrorText -- a cause as a short phrase: "no such file", "permission
    // denied", "is a directory", "disk full", ...; empty for 0.
    static std::string ErrorText(int iError);

protected:
    void SetLastError(int iError) { m_iLastError = iError; }

    // WritePart -- one write(2) step of WriteAtomic on the open temporary
    // file: bytes written (may be fewer than asked), or -1 with errno set.
    virtual long WritePart(int iFd, const BYTE* pbyData, std::size_t uLength);

private:
    int m_iLastError = 0;
};
