// FileStream.cpp -- an output stream into a file.
#define QD_REPORT_FILE "Wrap/Kernel/Stream/FileStream"

#include "Wrap/Kernel/Stream/FileStream.h"

#include "Base/Report.h"

#include <algorithm>

CFileOut::CFileOut() = default;

CFileOut::CFileOut(const char* pszFileName)
{
    OpenFile(pszFileName);
}

CFileOut::~CFileOut()
{
    if (m_pFile)
        CFileOut::Close();
}

bool CFileOut::OpenFile(const char* pszFileName)
{
    if (m_pFile)
        Close();
    if (!QD_ASSERT(pszFileName))
        return false;
    m_pFile.reset(std::fopen(pszFileName, "wb"));
    if (!m_pFile)
        return false;
    COut::Open(modeWrite);
    m_dwSize = 0;
    m_iStatus = statusOpenWrite;
    return true;
}

bool CFileOut::Close()
{
    if (!m_pFile)
        return false;
    const bool bClosed = std::fclose(m_pFile.release()) == 0;
    if (!bClosed)
        m_iError = errWrite;
    m_iStatus = statusClosed;
    m_eMode = modeNone;
    return bClosed && m_iError == errNone;
}

// CFileOut::Seek -- the position may go past the size; the gap reads as
// zeros once something is written there.
DWORD CFileOut::Seek(long lOffset, int iOrigin)
{
    const DWORD dwPosition = SeekTo(lOffset, iOrigin);
    if (m_pFile && std::fseek(m_pFile.get(), long(dwPosition), SEEK_SET) != 0)
        m_iError = errWrite;
    return m_dwPosition;
}

bool CFileOut::WouldBlock(DWORD /*dwBytes*/) const
{
    return false;
}

bool CFileOut::IsError() const
{
    return m_iError != errNone;
}

DWORD CFileOut::Write(const void* pvData, DWORD dwBytes)
{
    m_dwLastCount = 0;
    if (!QD_ASSERT(m_iStatus == statusOpenWrite && m_pFile))
        return 0;
    if (dwBytes == 0)
        return 0;
    if (!QD_ASSERT(pvData))
        return 0;
    const DWORD dwCount = DWORD(std::fwrite(pvData, 1, dwBytes, m_pFile.get()));
    if (dwCount != dwBytes)
        m_iError = errWrite;
    m_dwPosition += dwCount;
    m_dwSize = std::max(m_dwSize, m_dwPosition);
    m_dwLastCount = dwCount;
    return dwCount;
}
