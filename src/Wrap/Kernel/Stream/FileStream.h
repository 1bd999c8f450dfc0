// FileStream.h -- an output stream into a file.
//
// CFileOut writes through a std::FILE that it owns: the file is created (or
// truncated) when the stream opens and closed with the stream, at the
// latest by the destructor. A write that the file system refuses sets the
// error code errWrite; the last count tells how many bytes went out.
#pragma once

#include "Wrap/Kernel/Stream/Stream.h"

#include <cstdio>
#include <memory>

class CFileOut : public COut
{
public:
    // Error code of a failed write or close.
    static constexpr int errWrite = 2;

    // CFileOut::CFileOut -- a closed stream.
    CFileOut();
    // CFileOut::CFileOut -- the stream over a new file; IsOpen() tells
    // whether it could be created.
    explicit CFileOut(const char* pszFileName);
    ~CFileOut() override;

    // CFileOut::OpenFile -- closes the current file, then creates
    // pszFileName for writing; false when it cannot be created.
    bool OpenFile(const char* pszFileName);
    bool IsOpen() const { return m_pFile != nullptr; }

    // CFileOut::Close -- flushes and closes the file; false when the stream
    // was not open or the data could not be written.
    bool Close() override;
    DWORD Seek(long lOffset, int iOrigin) override;
    bool WouldBlock(DWORD dwBytes) const override;
    bool IsError() const override;
    DWORD Write(const void* pvData, DWORD dwBytes) override;

private:
    struct CFileCloser
    {
        void operator()(std::FILE* pFile) const { std::fclose(pFile); }
    };

    std::unique_ptr<std::FILE, CFileCloser> m_pFile;
};
