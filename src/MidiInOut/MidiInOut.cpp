// MidiInOut.cpp -- MIDI file reader and writer over memory blocks.
#include "MidiInOut/MidiInOut.h"

#include "Base/Report.h"

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
bool CMidiIn::Open(const CSmfChannelMap* pkoMap)
{
    if (!QD_ASSERT(!m_poDecoder))
        return false;

    BYTE abyHeader[SMF_HEADER_CHUNK_SIZE];
    Seek(0, originBegin);
    Read(abyHeader, SMF_HEADER_CHUNK_SIZE);
    if (!m_pkbyBlock || GetLastCount() != SMF_HEADER_CHUNK_SIZE || std::memcmp(abyHeader, "MThd", 4) != 0)
        return false;
    const DWORD dwHeaderLength = QdReadBE32(abyHeader + 4);
    const WORD wFormat = QdReadBE16(abyHeader + 8);
    const WORD wTracks = QdReadBE16(abyHeader + 10);
    const WORD wDivision = QdReadBE16(abyHeader + 12);
    // A time-code division would be taken as a resolution of tens of
    // thousands of ticks a beat, which moves every event onto other ticks.
    if (!SmfRead::IsTickDivision(wDivision))
        return false;

    std::vector<CSmfChunk> aoTracks;
    if (wFormat == 0)
    {
        // 8 + header length in 64 bits: a length near 2^32 must not wrap
        // around to a small offset. The chunk's data are cut to the block.
        const std::uint64_t qwTrackHeader = std::uint64_t(SMF_CHUNK_HEADER_SIZE) + dwHeaderLength;
        CSmfChunk oTrack;
        if (wTracks != 1 || qwTrackHeader > GetSize() ||
            !SmfReadChunk(m_pkbyBlock, GetSize(), DWORD(qwTrackHeader), oTrack) || !oTrack.IsTrack())
            return false;
        if (!pkoMap)
            return StartDecoder(wDivision, m_pkbyBlock + oTrack.m_dwDataOffset, oTrack.m_dwDataLength);
        aoTracks.push_back(oTrack);
    }
    else if (wFormat == 1 && dwHeaderLength >= SmfRead::FILE_HEADER_DATA && wTracks > 0)
        aoTracks = FindTracks(wTracks, dwHeaderLength);
    if (aoTracks.empty())
        return false;

    SmfMergeTracks(m_pkbyBlock, GetSize(), aoTracks, pkoMap, m_abyMerged);
    return StartDecoder(wDivision, m_abyMerged.data(), DWORD(m_abyMerged.size()));
}

// CMidiIn::FindTracks -- chunk after chunk from the end of the header; a
// chunk header cut short ends the search.
std::vector<CSmfChunk> CMidiIn::FindTracks(WORD wDeclared, DWORD dwHeaderLength) const
{
    std::vector<CSmfChunk> aoTracks;
    const std::uint64_t qwFirst = std::uint64_t(SMF_CHUNK_HEADER_SIZE) + dwHeaderLength;
    if (qwFirst > GetSize())
        return aoTracks;
    DWORD dwPos = DWORD(qwFirst);
    CSmfChunk oChunk;
    while (aoTracks.size() < wDeclared && SmfReadChunk(m_pkbyBlock, GetSize(), dwPos, oChunk))
    {
        if (oChunk.IsTrack())
            aoTracks.push_back(oChunk);
        dwPos = oChunk.GetEnd();
    }
    return aoTracks;
}

// CMidiIn::StartDecoder -- the decoder over dwLength bytes at pkbyTrack,
// which outlive it (the caller's block or m_abyMerged).
bool CMidiIn::StartDecoder(WORD wDivision, const BYTE* pkbyTrack, DWORD dwLength)
{
    std::unique_ptr<CDecSMF0> poDecoder = std::make_unique<CDecSMF0>(wDivision);
    if (!poDecoder->SetChunk(std::make_unique<CMemIn>(pkbyTrack, dwLength)))
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
