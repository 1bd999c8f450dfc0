// QdFileIo.h -- whole-file reads and atomic whole-file writes.
//
// A file the tool writes (a bank, a MIDI file) is first written completely
// to a temporary file beside the target, flushed, and only then renamed over
// the target, so the old file survives any failure. Tests replace the
// default implementation, or only its WritePart step, to make writes fail
// halfway.
#pragma once

#include "Base/QdTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

    // The process-wide default.
    static CQdFileIo& Default();

protected:
    // WritePart -- one write(2) step of WriteAtomic on the open temporary
    // file: bytes written (may be fewer than asked), or -1 with errno set.
    virtual long WritePart(int iFd, const BYTE* pbyData, std::size_t uLength);
};
