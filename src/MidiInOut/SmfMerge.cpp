// SmfMerge.cpp -- merging the tracks of a MIDI file, channel map applied.
#include "MidiInOut/SmfMerge.h"

#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/SeqBase/SmfForm.h"

#include <cstdint>
#include <functional>
#include <queue>
#include <utility>

using namespace SmfForm;

namespace {

// Largest delta a variable-length number of 4 bytes holds.
constexpr std::uint64_t MAX_DELTA = 0x0FFFFFFF;
constexpr BYTE PROGRAM_STATUS = 0xC0;
constexpr BYTE CHANNEL_PRESSURE_STATUS = 0xD0;
const BYTE kabyGapFiller[] = {META_INTRODUCER, PROP_META_MARKER, 0x00};
const BYTE kabyEndOfTrack[] = {META_INTRODUCER, META_END_OF_TRACK, 0x00};

void AppendVarLen(std::vector<BYTE>& raby, DWORD dwValue)
{
    BYTE abyBytes[VARLEN_MAX_BYTES];
    int iCount = 0;
    do
    {
        abyBytes[iCount++] = BYTE(dwValue & 0x7F);
        dwValue >>= 7;
    } while (dwValue && iCount < VARLEN_MAX_BYTES);
    while (iCount > 1)
        raby.push_back(BYTE(abyBytes[--iCount] | 0x80));
    raby.push_back(abyBytes[0]);
}

// CMergedTrack -- the merged track as it is written: the tick reached and
// the bytes.
class CMergedTrack
{
public:
    explicit CMergedTrack(std::vector<BYTE>& rabyTrack) : m_rabyTrack(rabyTrack), m_qwTick(0) {}

    // CMergedTrack::Append -- dwLength bytes of an event at qwTick (not
    // before the tick reached), after its delta; longer gaps are bridged.
    void Append(std::uint64_t qwTick, const BYTE* pkbyEvent, DWORD dwLength)
    {
        while (qwTick - m_qwTick > MAX_DELTA)
        {
            AppendVarLen(m_rabyTrack, DWORD(MAX_DELTA));
            m_rabyTrack.insert(m_rabyTrack.end(), kabyGapFiller, kabyGapFiller + sizeof kabyGapFiller);
            m_qwTick += MAX_DELTA;
        }
        AppendVarLen(m_rabyTrack, DWORD(qwTick - m_qwTick));
        m_rabyTrack.insert(m_rabyTrack.end(), pkbyEvent, pkbyEvent + dwLength);
        m_qwTick = qwTick;
    }

    std::uint64_t GetTick() const { return m_qwTick; }

private:
    std::vector<BYTE>& m_rabyTrack;
    std::uint64_t m_qwTick;
};

// AppendEvent -- one event of track wTrack, its channel mapped; a message
// mapped to DROP is left out.
void AppendEvent(const CSmfEvent& rkoEvent, WORD wTrack, const CSmfChannelMap* pkoMap, CMergedTrack& roMerged)
{
    if (!rkoEvent.IsChannel())
    {
        roMerged.Append(rkoEvent.m_qwTick, rkoEvent.m_pkbyRaw, rkoEvent.m_dwRawLength);
        return;
    }
    const BYTE byChannel = BYTE(rkoEvent.m_byStatus & 0x0F);
    const BYTE byDestination = pkoMap ? pkoMap->Get(wTrack, byChannel) : byChannel;
    if (byDestination == CSmfChannelMap::DROP)
        return;
    const BYTE byKind = BYTE(rkoEvent.m_byStatus & 0xF0);
    const BYTE abyMessage[3] = {BYTE(byKind | byDestination), rkoEvent.m_abyChannelData[0],
                                rkoEvent.m_abyChannelData[1]};
    const bool bOneData = byKind == PROGRAM_STATUS || byKind == CHANNEL_PRESSURE_STATUS;
    roMerged.Append(rkoEvent.m_qwTick, abyMessage, bOneData ? 2 : 3);
}

} // namespace

void CSmfChannelMap::Set(WORD wTrack, BYTE byChannel, BYTE byDestination)
{
    if (byChannel >= SmfRead::CHANNELS)
        return;
    while (m_aabyMap.size() <= wTrack)
    {
        TChannels abyIdentity;
        for (int i = 0; i < SmfRead::CHANNELS; ++i)
            abyIdentity[i] = BYTE(i);
        m_aabyMap.push_back(abyIdentity);
    }
    m_aabyMap[wTrack][byChannel] = byDestination;
}

BYTE CSmfChannelMap::Get(WORD wTrack, BYTE byChannel) const
{
    if (byChannel >= SmfRead::CHANNELS)
        return DROP;
    if (wTrack >= m_aabyMap.size())
        return byChannel;
    const BYTE byDestination = m_aabyMap[wTrack][byChannel];
    return byDestination < SmfRead::CHANNELS ? byDestination : DROP;
}

// SmfMergeTracks -- one reader per track, each holding its next event; the
// queue hands out the earliest, of equal ticks the one of the lowest track.
void SmfMergeTracks(const BYTE* pkbyData, DWORD dwSize, const std::vector<CSmfChunk>& rkaoTracks,
                    const CSmfChannelMap* pkoMap, std::vector<BYTE>& rabyTrack)
{
    rabyTrack.clear();
    std::vector<CSmfTrackReader> aoReaders;
    std::vector<CSmfEvent> aoNext(rkaoTracks.size());
    typedef std::pair<std::uint64_t, size_t> TPending;
    std::priority_queue<TPending, std::vector<TPending>, std::greater<TPending>> oQueue;
    aoReaders.reserve(rkaoTracks.size());
    for (size_t i = 0; i < rkaoTracks.size(); ++i)
    {
        aoReaders.emplace_back(pkbyData, dwSize, rkaoTracks[i]);
        if (aoReaders[i].Next(aoNext[i]) == TR_EVENT)
            oQueue.emplace(aoNext[i].m_qwTick, i);
    }

    CMergedTrack oMerged(rabyTrack);
    while (!oQueue.empty())
    {
        const size_t nTrack = oQueue.top().second;
        oQueue.pop();
        AppendEvent(aoNext[nTrack], WORD(nTrack), pkoMap, oMerged);
        if (aoReaders[nTrack].Next(aoNext[nTrack]) == TR_EVENT)
            oQueue.emplace(aoNext[nTrack].m_qwTick, nTrack);
    }

    std::uint64_t qwEnd = oMerged.GetTick();
    for (const CSmfTrackReader& rkoReader : aoReaders)
        if (rkoReader.GetTick() > qwEnd)
            qwEnd = rkoReader.GetTick();
    oMerged.Append(qwEnd, kabyEndOfTrack, sizeof kabyEndOfTrack);
}
