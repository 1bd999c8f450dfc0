// Stream.cpp -- the stream family and the memory streams.
#define QD_REPORT_FILE "Wrap/Kernel/Stream/Stream"

#include "Wrap/Kernel/Stream/Stream.h"

#include "Base/Report.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr std::int64_t MAX_POSITION = 0xFFFFFFFF;

} // namespace

// ---------------------------------------------------------------------------
// CStream
// ---------------------------------------------------------------------------

CStream::CStream()
    : m_dwPosition(0), m_dwSize(0), m_dwLastCount(0), m_iError(errNone), m_iStatus(statusClosed), m_eMode(modeNone)
{
}

CStream::~CStream() = default;

DWORD CStream::GetSize() const
{
    return m_dwSize;
}

DWORD CStream::GetPosition() const
{
    return m_dwPosition;
}

bool CStream::Open(EMode eMode)
{
    m_dwPosition = 0;
    m_dwLastCount = 0;
    m_iError = errNone;
    m_eMode = eMode;
    m_iStatus = statusOpen;
    return true;
}

// CStream::SeekTo -- the target is computed in 64 bits, so no offset can
// wrap it around the 32-bit position range.
DWORD CStream::SeekTo(long lOffset, int iOrigin)
{
    std::int64_t llTarget = lOffset;
    switch (iOrigin) {
    case originBegin:
        break;
    case originCurrent:
        llTarget += m_dwPosition;
        break;
    case originEnd:
        llTarget += m_dwSize;
        break;
    default:
        QD_ASSERT_TEXT(false, "FALSE");
        m_iError = errSeek;
        return m_dwPosition;
    }
    llTarget = std::clamp<std::int64_t>(llTarget, 0, MAX_POSITION);
    if (m_iStatus == statusOpenRead && llTarget > m_dwSize)
        llTarget = m_dwSize;
    m_dwPosition = DWORD(llTarget);
    return m_dwPosition;
}

// ---------------------------------------------------------------------------
// CIn, COut
// ---------------------------------------------------------------------------

CIn::~CIn() = default;

bool CIn::Open(EMode eMode)
{
    QD_ASSERT(eMode == modeRead);
    return CStream::Open(eMode);
}

DWORD CIn::ReadByte(BYTE& rbyData)
{
    return Read(&rbyData, 1);
}

COut::~COut() = default;

bool COut::Open(EMode eMode)
{
    QD_ASSERT(eMode == modeWrite);
    return CStream::Open(eMode);
}

DWORD COut::WriteByte(BYTE byData)
{
    return Write(&byData, 1);
}

// ---------------------------------------------------------------------------
// CMemIn
// ---------------------------------------------------------------------------

CMemIn::CMemIn(const BYTE* pbyData, DWORD dwSize) : m_pbyData(pbyData)
{
    m_dwSize = pbyData ? dwSize : 0;
    CMemIn::Open(modeRead);
}

CMemIn::~CMemIn() = default;

// CMemIn::Open -- the size stays the data length.
bool CMemIn::Open(EMode eMode)
{
    CIn::Open(eMode);
    m_iStatus = statusOpenRead;
    return true;
}

bool CMemIn::Close()
{
    m_iStatus = statusClosed;
    m_eMode = modeNone;
    return true;
}

DWORD CMemIn::Seek(long lOffset, int iOrigin)
{
    return SeekTo(lOffset, iOrigin);
}

// CMemIn::WouldBlock -- memory is always there.
bool CMemIn::WouldBlock(DWORD /*dwBytes*/) const
{
    return false;
}

bool CMemIn::IsError() const
{
    return m_iError != errNone;
}

// CMemIn::Read -- cut to the bytes left; at the end nothing moves and the
// last count is 0.
DWORD CMemIn::Read(void* pvBuffer, DWORD dwBytes)
{
    m_dwLastCount = 0;
    if (!QD_ASSERT(m_iStatus == statusOpenRead))
        return 0;
    const DWORD dwLeft = m_dwPosition < m_dwSize ? m_dwSize - m_dwPosition : 0;
    const DWORD dwCount = std::min(dwBytes, dwLeft);
    if (dwCount == 0)
        return 0;
    if (!QD_ASSERT(pvBuffer))
        return 0;
    std::memcpy(pvBuffer, m_pbyData + m_dwPosition, dwCount);
    m_dwPosition += dwCount;
    m_dwLastCount = dwCount;
    return dwCount;
}

// ---------------------------------------------------------------------------
// CMemOut
// ---------------------------------------------------------------------------

CMemOut::CMemOut()
    : m_pbyBuffer(std::make_unique<BYTE[]>(MEMOUT_INITIAL_CAPACITY)), m_dwCapacity(MEMOUT_INITIAL_CAPACITY),
      m_bGrowable(true)
{
    CMemOut::Open(modeWrite);
}

CMemOut::~CMemOut() = default;

bool CMemOut::Open(EMode eMode)
{
    COut::Open(eMode);
    m_dwSize = 0;
    m_iStatus = statusOpenWrite;
    return true;
}

bool CMemOut::Close()
{
    m_iStatus = statusClosed;
    m_eMode = modeNone;
    return true;
}

DWORD CMemOut::Seek(long lOffset, int iOrigin)
{
    return SeekTo(lOffset, iOrigin);
}

DWORD CMemOut::RoomLeft() const
{
    return m_dwPosition < m_dwCapacity ? m_dwCapacity - m_dwPosition : 0;
}

bool CMemOut::WouldBlock(DWORD dwBytes) const
{
    return !m_bGrowable && RoomLeft() < dwBytes;
}

bool CMemOut::IsError() const
{
    return m_iError != errNone;
}

bool CMemOut::Grow(DWORD dwCapacity)
{
    std::unique_ptr<BYTE[]> pbyNew = std::make_unique_for_overwrite<BYTE[]>(dwCapacity);
    const DWORD dwValid = std::min(m_dwSize, m_dwCapacity);
    if (dwValid)
        std::memcpy(pbyNew.get(), m_pbyBuffer.get(), dwValid);
    m_pbyBuffer = std::move(pbyNew);
    m_dwCapacity = dwCapacity;
    return true;
}

// CMemOut::Write -- the new capacity also covers a position sought beyond
// the old capacity, and the position never passes the 32-bit range.
DWORD CMemOut::Write(const void* pvData, DWORD dwBytes)
{
    m_dwLastCount = 0;
    if (!QD_ASSERT(m_iStatus == statusOpenWrite))
        return 0;
    DWORD dwCount = DWORD(std::min<std::int64_t>(dwBytes, MAX_POSITION - m_dwPosition));
    if (RoomLeft() < dwCount) {
        bool bGrown = false;
        if (m_bGrowable) {
            const std::int64_t llByRule = std::int64_t(dwCount) + m_dwCapacity + MEMOUT_GROWTH;
            const std::int64_t llNeeded = std::int64_t(m_dwPosition) + dwCount + MEMOUT_GROWTH;
            bGrown = Grow(DWORD(std::min(std::max(llByRule, llNeeded), MAX_POSITION)));
        }
        if (!bGrown)
            dwCount = std::min(dwCount, RoomLeft());
    }
    if (dwCount == 0)
        return 0;
    if (!QD_ASSERT(pvData))
        return 0;
    if (m_dwPosition > m_dwSize)
        std::memset(m_pbyBuffer.get() + m_dwSize, 0, m_dwPosition - m_dwSize);
    std::memcpy(m_pbyBuffer.get() + m_dwPosition, pvData, dwCount);
    m_dwPosition += dwCount;
    m_dwSize = std::max(m_dwSize, m_dwPosition);
    m_dwLastCount = dwCount;
    return dwCount;
}

std::unique_ptr<BYTE[]> CMemOut::DetachBuffer()
{
    m_dwCapacity = 0;
    m_dwSize = 0;
    m_dwPosition = 0;
    return std::move(m_pbyBuffer);
}
