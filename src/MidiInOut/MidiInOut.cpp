// MidiInOut.cpp -- MIDI file reader and writer over memory blocks.
#include "MidiInOut/MidiInOut.h"

#include "Base/Report.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#define QD_REPORT_FILE "MidiInOut/MidiInOut"

// CMidiIn::CMidiIn -- a stream over the caller's block; no decoder before Open.
CMidiIn::CMidiIn(const BYTE* pkbyData, DWORD dwSize) : CMemIn(pkbyData, dwSize), m_pkbyBlock(pkbyData) {}

// CMidiIn::~CMidiIn -- the decoder and its track stream go before the
// stream over the block.
CMidiIn::~CMidiIn()
{
    m_poDecoder.reset();
}

// CMidiIn::Open -- every offset is checked against the block before it is
// read: the header length comes from the file and may point anywhere.
bool CMidiIn::Open()
{
    if (!QD_ASSERT(!m_poDecoder))
        return false;

    BYTE abyHeader[SMF_HEADER_CHUNK_SIZE];
    Seek(0, originBegin);
    Read(abyHeader, SMF_HEADER_CHUNK_SIZE);
    if (GetLastCount() != SMF_HEADER_CHUNK_SIZE)
        return false;

    // 8 + header length, and the track header after it, in 64 bits: a length
    // near 2^32 must not wrap around to a small offset.
    const std::uint64_t qwTrackHeader = std::uint64_t(SMF_CHUNK_HEADER_SIZE) + QdReadBE32(abyHeader + 4);
    if (qwTrackHeader + SMF_CHUNK_HEADER_SIZE > GetSize())
        return false;
    Seek(long(qwTrackHeader), originBegin);
    BYTE abyTrackHeader[SMF_CHUNK_HEADER_SIZE];
    Read(abyTrackHeader, SMF_CHUNK_HEADER_SIZE);
    if (GetLastCount() != SMF_CHUNK_HEADER_SIZE)
        return false;

    if (std::memcmp(abyHeader, "MThd", 4) != 0 || QdReadBE16(abyHeader + 8) != 0 || QdReadBE16(abyHeader + 10) != 1 ||
        std::memcmp(abyTrackHeader, "MTrk", 4) != 0)
        return false;

    // The declared track length is taken no further than the block goes.
    const DWORD dwTrackStart = GetPosition();
    const DWORD dwTrackLength = std::min(QdReadBE32(abyTrackHeader + 4), GetSize() - dwTrackStart);

    std::unique_ptr<CDecSMF0> poDecoder = std::make_unique<CDecSMF0>(QdReadBE16(abyHeader + 12));
    if (!poDecoder->SetChunk(std::make_unique<CMemIn>(m_pkbyBlock + dwTrackStart, dwTrackLength)))
        return false;
    m_poDecoder = std::move(poDecoder);
    return true;
}

// CMidiOut::CMidiOut -- the encoder is open, the headers written, when this returns.
CMidiOut::CMidiOut() : m_poMemOut(std::make_unique<CMemOut>())
{
    SetOutStream(m_poMemOut.get());
    Open();
}

// CMidiOut::~CMidiOut -- the encoder lets go of the stream before it goes.
CMidiOut::~CMidiOut()
{
    SetOutStream(nullptr);
    m_poMemOut.reset();
}

// CMidiOut::GetOutputSize -- the size of the stream's content.
DWORD CMidiOut::GetOutputSize() const
{
    return m_poMemOut ? m_poMemOut->GetSize() : 0;
}

// CMidiOut::TakeOutput -- the stream lets go of its buffer; the size is read
// first, as the stream forgets it with the buffer.
std::unique_ptr<BYTE[]> CMidiOut::TakeOutput(DWORD& rdwSize)
{
    rdwSize = 0;
    if (!QD_ASSERT(!IsOpen()) || !m_poMemOut)
        return nullptr;
    const DWORD dwSize = m_poMemOut->GetSize();
    std::unique_ptr<BYTE[]> pbyBlock = m_poMemOut->DetachBuffer();
    if (pbyBlock)
        rdwSize = dwSize;
    return pbyBlock;
}
