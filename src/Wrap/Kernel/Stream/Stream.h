// Stream.h -- byte streams of the coders.
//
// CStream holds the state every stream shares; CIn and COut are the input
// and output sides (CStream is their virtual base, so a class deriving from
// both has one state). CMemIn reads a block the caller owns; CMemOut writes
// into a buffer of its own that grows as needed. The Standard MIDI File
// reader decodes a track through a CMemIn, the writer encodes into a CMemOut.
//
// Positions and sizes are unsigned 32-bit. Reads are cut to the data left;
// a growable CMemOut never runs out of room, a fixed one cuts writes to its
// capacity; the last count tells the caller how many bytes moved.
//
// Seek: origin 0 counts from the start, 1 from the position, 2 from the size.
// Another origin is reported, sets error code 1 and leaves the position.
// A negative target becomes 0; a stream open for reading stops at its size.
#pragma once

#include "Base/QdTypes.h"

#include <memory>

class CStream
{
public:
    enum EMode
    {
        modeNone = 0,
        modeRead = 1,
        modeWrite = 2,
    };

    // Stream status.
    static constexpr int statusClosed = 0;
    static constexpr int statusOpen = 2;
    static constexpr int statusOpenRead = 4;
    static constexpr int statusOpenWrite = 5;

    // Error codes.
    static constexpr int errNone = 0;
    static constexpr int errSeek = 1;

    // Seek origins.
    static constexpr int originBegin = 0;
    static constexpr int originCurrent = 1;
    static constexpr int originEnd = 2;

    CStream();
    virtual ~CStream();

    CStream(const CStream&) = delete;
    CStream& operator=(const CStream&) = delete;

    virtual DWORD GetSize() const;
    virtual DWORD GetPosition() const;
    // CStream::Open -- position, last count and error 0, the mode as given,
    // status open.
    virtual bool Open(EMode eMode);

    virtual bool Close() = 0;
    // Seek -- returns the position after the seek.
    virtual DWORD Seek(long lOffset, int iOrigin) = 0;
    // WouldBlock -- true when fewer than dwBytes can be moved now.
    virtual bool WouldBlock(DWORD dwBytes) const = 0;
    virtual bool IsError() const = 0;

    // CStream::IsAtEnd -- position at or past the size.
    bool IsAtEnd() const { return m_dwPosition >= m_dwSize; }
    DWORD GetLastCount() const { return m_dwLastCount; }
    int GetErrorCode() const { return m_iError; }
    int GetStatus() const { return m_iStatus; }
    EMode GetMode() const { return m_eMode; }

protected:
    // CStream::SeekTo -- the seek rules shared by all streams.
    DWORD SeekTo(long lOffset, int iOrigin);

    DWORD m_dwPosition;
    DWORD m_dwSize;
    DWORD m_dwLastCount;
    int m_iError;
    int m_iStatus;
    EMode m_eMode;
};

class CIn : public virtual CStream
{
public:
    ~CIn() override;
    // CIn::Open -- for reading only.
    bool Open(EMode eMode) override;
    // Read -- copies up to dwBytes into pvBuffer; returns the count moved.
    virtual DWORD Read(void* pvBuffer, DWORD dwBytes) = 0;
    // CIn::ReadByte -- Read of one byte; returns 1, or 0 at the end.
    virtual DWORD ReadByte(BYTE& rbyData);
};

class COut : public virtual CStream
{
public:
    ~COut() override;
    // COut::Open -- for writing only.
    bool Open(EMode eMode) override;
    // Write -- copies up to dwBytes from pvData; returns the count moved.
    virtual DWORD Write(const void* pvData, DWORD dwBytes) = 0;
    // COut::WriteByte -- Write of one byte; returns 1, or 0 when it did not
    // fit.
    virtual DWORD WriteByte(BYTE byData);
};

class CMemIn : public CIn
{
public:
    // CMemIn::CMemIn -- a stream over dwSize bytes at pbyData, open for
    // reading. The block is not owned and must outlive the stream.
    CMemIn(const BYTE* pbyData, DWORD dwSize);
    ~CMemIn() override;

    bool Open(EMode eMode) override;
    bool Close() override;
    DWORD Seek(long lOffset, int iOrigin) override;
    bool WouldBlock(DWORD dwBytes) const override;
    bool IsError() const override;
    DWORD Read(void* pvBuffer, DWORD dwBytes) override;

private:
    const BYTE* m_pbyData;
};

class CMemOut : public COut
{
public:
    static constexpr DWORD MEMOUT_INITIAL_CAPACITY = 2000;
    // Room added beyond the request whenever the buffer grows.
    static constexpr DWORD MEMOUT_GROWTH = 2000;

    // CMemOut::CMemOut -- an empty, growable stream with a buffer of
    // MEMOUT_INITIAL_CAPACITY bytes, open for writing.
    CMemOut();
    ~CMemOut() override;

    // CMemOut::Open -- starts writing afresh: the size becomes 0 too.
    bool Open(EMode eMode) override;
    bool Close() override;
    DWORD Seek(long lOffset, int iOrigin) override;
    bool WouldBlock(DWORD dwBytes) const override;
    bool IsError() const override;
    // CMemOut::Write -- grows the buffer to n + capacity + MEMOUT_GROWTH
    // bytes when the room after the position is short (a fixed stream cuts n
    // instead). Bytes between the size and a position sought beyond it read
    // as 0.
    DWORD Write(const void* pvData, DWORD dwBytes) override;

    // The bytes written so far (GetSize() of them are valid).
    const BYTE* GetData() const { return m_pbyBuffer.get(); }
    DWORD GetCapacity() const { return m_dwCapacity; }
    bool IsGrowable() const { return m_bGrowable; }
    void SetGrowable(bool bGrowable) { m_bGrowable = bGrowable; }

    // CMemOut::DetachBuffer -- hands the buffer to the caller; the stream is
    // left empty, without a buffer (size, position and capacity 0). Read
    // GetSize() first.
    std::unique_ptr<BYTE[]> DetachBuffer();

private:
    // Room between the position and the capacity.
    DWORD RoomLeft() const;
    // Replaces the buffer by one of dwCapacity bytes holding the valid data.
    bool Grow(DWORD dwCapacity);

    std::unique_ptr<BYTE[]> m_pbyBuffer;
    DWORD m_dwCapacity;
    bool m_bGrowable;
};
