// QdCliStdio.cpp -- standard input and output under the file name "-".
#include "QdCliStdio.h"

#include "BankDoc/QdBankDoc.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

// The most standard input gives: the largest file read, and one byte to
// tell a larger input.
constexpr DWORD INPUT_LIMIT = CQdBankDoc::MAX_SMF_FILE_SIZE + 1;
constexpr DWORD READ_STEP = 0x10000;

} // namespace

CQdCliStdio& CQdCliStdio::Instance()
{
    static CQdCliStdio s_oInstance;
    return s_oInstance;
}

bool CQdCliStdio::ReadInput()
{
    if (m_bInputRead)
        return true;
    std::vector<BYTE> abyInput;
    while (abyInput.size() < INPUT_LIMIT)
    {
        const std::size_t uOld = abyInput.size();
        abyInput.resize(std::min<std::size_t>(uOld + READ_STEP, INPUT_LIMIT));
        const ssize_t lRead = ::read(STDIN_FILENO, abyInput.data() + uOld, abyInput.size() - uOld);
        if (lRead < 0 && errno == EINTR)
        {
            abyInput.resize(uOld);
            continue;
        }
        if (lRead < 0)
        {
            SetLastError(errno);
            return false;
        }
        abyInput.resize(uOld + std::size_t(lRead));
        if (lRead == 0)
            break;
    }
    m_abyInput.swap(abyInput);
    m_bInputRead = true;
    return true;
}

bool CQdCliStdio::ReadPrefix(const std::string& rkstrPath, DWORD dwCount, std::vector<BYTE>& rabyData)
{
    if (!IsStdio(rkstrPath))
        return CQdFileIo::ReadPrefix(rkstrPath, dwCount, rabyData);
    if (!ReadInput())
        return false;
    rabyData.assign(m_abyInput.begin(),
                    m_abyInput.begin() + std::ptrdiff_t(std::min<std::size_t>(dwCount, m_abyInput.size())));
    return true;
}

bool CQdCliStdio::FileSize(const std::string& rkstrPath, std::uint64_t& rqwSize)
{
    if (!IsStdio(rkstrPath))
        return CQdFileIo::FileSize(rkstrPath, rqwSize);
    if (!ReadInput())
        return false;
    rqwSize = m_abyInput.size();
    return true;
}

bool CQdCliStdio::ReadAll(const std::string& rkstrPath, DWORD dwLimit, std::vector<BYTE>& rabyData)
{
    if (!IsStdio(rkstrPath))
        return CQdFileIo::ReadAll(rkstrPath, dwLimit, rabyData);
    if (!ReadInput())
        return false;
    if (m_abyInput.size() > dwLimit)
    {
        SetLastError(FILE_ERROR_TOO_LARGE);
        return false;
    }
    rabyData = m_abyInput;
    return true;
}

// CQdCliStdio::WriteAtomic -- standard output: what the C library holds for
// it goes first.
bool CQdCliStdio::WriteAtomic(const std::string& rkstrPath, const BYTE* pbyData, DWORD dwLength)
{
    if (!IsStdio(rkstrPath))
        return CQdFileIo::WriteAtomic(rkstrPath, pbyData, dwLength);
    std::fflush(stdout);
    DWORD dwDone = 0;
    while (dwDone < dwLength)
    {
        const ssize_t lWritten = ::write(STDOUT_FILENO, pbyData + dwDone, dwLength - dwDone);
        if (lWritten < 0 && errno == EINTR)
            continue;
        if (lWritten <= 0)
        {
            SetLastError(lWritten < 0 ? errno : EIO);
            return false;
        }
        dwDone += DWORD(lWritten);
    }
    return true;
}
