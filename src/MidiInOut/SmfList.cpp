// SmfList.cpp -- the events of a MIDI file as plain data; bars and beats.
#include "MidiInOut/SmfList.h"

#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/SeqBase/SmfForm.h"

#include <algorithm>
#include <cstdio>

using namespace SmfForm;

namespace {

// Meta types 1-15 hold text.
constexpr BYTE META_LAST_TEXT = 0x0F;
constexpr DWORD TEMPO_BYTES = 3;
constexpr DWORD TIME_SIG_MIN_BYTES = 2;
constexpr long PITCH_BEND_CENTRE = 8192;

const char* ChannelKind(BYTE byStatus)
{
    switch (byStatus & 0xF0)
    {
    case 0x80:
        return "note_off";
    case 0x90:
        return "note_on";
    case 0xA0:
        return "polytouch";
    case 0xB0:
        return "control_change";
    case 0xC0:
        return "program_change";
    case 0xD0:
        return "aftertouch";
    default:
        return "pitchwheel";
    }
}

const char* MetaKind(BYTE byType)
{
    switch (byType)
    {
    case 0x00:
        return "sequence_number";
    case 0x01:
        return "text";
    case 0x02:
        return "copyright";
    case META_TRACK_NAME:
        return "track_name";
    case 0x04:
        return "instrument_name";
    case 0x05:
        return "lyrics";
    case 0x06:
        return "marker";
    case 0x07:
        return "cue_marker";
    case 0x20:
        return "channel_prefix";
    case 0x21:
        return "midi_port";
    case META_END_OF_TRACK:
        return "end_of_track";
    case META_SET_TEMPO:
        return "set_tempo";
    case 0x54:
        return "smpte_offset";
    case META_TIME_SIGNATURE:
        return "time_signature";
    case 0x59:
        return "key_signature";
    case 0x7F:
        return "sequencer_specific";
    default:
        return "meta";
    }
}

// Hex -- "F0 7E 7F".
std::string Hex(const BYTE* pkbyData, DWORD dwLength)
{
    std::string strHex;
    char szByte[4];
    for (DWORD i = 0; i < dwLength; ++i)
    {
        std::snprintf(szByte, sizeof szByte, "%02X", pkbyData[i]);
        if (i > 0)
            strHex += ' ';
        strHex += szByte;
    }
    return strHex;
}

// ChannelEvent -- key, number and value of a channel message.
void ChannelEvent(const CSmfEvent& rkoEvent, CSmfListedEvent& roListed)
{
    const BYTE byData1 = rkoEvent.m_abyChannelData[0];
    const BYTE byData2 = rkoEvent.m_abyChannelData[1];
    roListed.m_byChannel = BYTE((rkoEvent.m_byStatus & 0x0F) + 1);
    roListed.m_pszKind = ChannelKind(rkoEvent.m_byStatus);
    roListed.m_bHasValue = true;
    switch (rkoEvent.m_byStatus & 0xF0)
    {
    case 0x80:
    case 0x90:
    case 0xA0:
        roListed.m_iKey = byData1;
        roListed.m_iNumber = byData1;
        roListed.m_lValue = byData2;
        break;
    case 0xB0:
        roListed.m_iNumber = byData1;
        roListed.m_lValue = byData2;
        break;
    case 0xC0:
        roListed.m_iNumber = byData1;
        roListed.m_bHasValue = false;
        break;
    case 0xD0:
        roListed.m_lValue = byData1;
        break;
    default:
        roListed.m_lValue = long(byData2) << 7 | byData1;
        roListed.m_lValue -= PITCH_BEND_CENTRE;
        break;
    }
}

// MetaEvent -- the type, and what the data say.
void MetaEvent(const CSmfEvent& rkoEvent, CSmfListedEvent& roListed)
{
    const BYTE* pkbyData = rkoEvent.m_pkbyData;
    const DWORD dwLength = rkoEvent.m_dwDataLength;
    roListed.m_pszKind = MetaKind(rkoEvent.m_byMetaType);
    roListed.m_iNumber = rkoEvent.m_byMetaType;
    if (rkoEvent.m_byMetaType >= 0x01 && rkoEvent.m_byMetaType <= META_LAST_TEXT)
    {
        roListed.m_strData.assign(reinterpret_cast<const char*>(pkbyData), dwLength);
        roListed.m_bText = true;
        return;
    }
    if (rkoEvent.m_byMetaType == META_SET_TEMPO && dwLength >= TEMPO_BYTES)
    {
        roListed.m_bHasValue = true;
        roListed.m_lValue = long(pkbyData[0]) << 16 | long(pkbyData[1]) << 8 | pkbyData[2];
    }
    if (rkoEvent.m_byMetaType == META_TIME_SIGNATURE && dwLength >= TIME_SIG_MIN_BYTES && pkbyData[1] < 32)
    {
        roListed.m_strData = std::to_string(pkbyData[0]) + "/" + std::to_string(1ul << pkbyData[1]);
        return;
    }
    roListed.m_strData = Hex(pkbyData, dwLength);
}

} // namespace

bool SmfListFile(const BYTE* pkbyData, DWORD dwSize, CSmfListing& roListing)
{
    roListing.m_aoEvents.clear();
    roListing.m_aoTimeSigs.clear();
    std::vector<CSmfListedEvent>& raoEvents = roListing.m_aoEvents;
    std::vector<CSmfTimeSigAt>& raoTimeSigs = roListing.m_aoTimeSigs;
    const bool bClean = SmfScanFile(pkbyData, dwSize, roListing.m_oInfo, [&](WORD wTrack, const CSmfEvent& rkoEvent) {
        if (rkoEvent.IsMeta(META_TIME_SIGNATURE) && rkoEvent.m_dwDataLength >= TIME_SIG_MIN_BYTES)
            raoTimeSigs.push_back({rkoEvent.m_qwTick, rkoEvent.m_pkbyData[0], rkoEvent.m_pkbyData[1]});
        CSmfListedEvent oListed;
        oListed.m_wTrack = WORD(wTrack + 1);
        oListed.m_qwTick = rkoEvent.m_qwTick;
        if (rkoEvent.IsChannel())
            ChannelEvent(rkoEvent, oListed);
        else if (rkoEvent.m_byStatus == META_INTRODUCER)
            MetaEvent(rkoEvent, oListed);
        else
        {
            oListed.m_pszKind = rkoEvent.m_byStatus == SYSEX_INTRODUCER ? "sysex" : "escape";
            oListed.m_strData = Hex(rkoEvent.m_pkbyData, rkoEvent.m_dwDataLength);
        }
        raoEvents.push_back(std::move(oListed));
    });
    std::stable_sort(raoTimeSigs.begin(), raoTimeSigs.end(), [](const CSmfTimeSigAt& rkoA, const CSmfTimeSigAt& rkoB) {
        return rkoA.m_qwTick < rkoB.m_qwTick;
    });
    return bClean;
}

std::string SmfNoteName(int iKey)
{
    static const char* const s_apszNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    if (iKey < 0 || iKey > 127)
        return std::string();
    return std::string(s_apszNames[iKey % 12]) + std::to_string(iKey / 12 - 1);
}

// CSmfBarClock::CSmfBarClock -- one segment per time signature: where it
// starts, its first bar, and the lengths of its bars and beats (at least 1
// tick each, whatever the signature says).
CSmfBarClock::CSmfBarClock(const std::vector<CSmfTimeSigAt>& rkaoTimeSigs, DWORD dwTicksPerQuarter)
{
    const std::uint64_t qwQuarter = std::max<DWORD>(dwTicksPerQuarter, 1);
    auto fnSegment = [qwQuarter](std::uint64_t qwStart, std::uint64_t qwFirstBar, BYTE byNumerator, BYTE byExp) {
        const std::uint64_t qwBeat = byExp < 32 ? std::max<std::uint64_t>(qwQuarter * 4 >> byExp, 1) : 1;
        return CSegment{qwStart, qwFirstBar, qwBeat * std::max<BYTE>(byNumerator, 1), qwBeat};
    };
    m_aoSegments.push_back(fnSegment(0, 1, 4, 2));
    for (const CSmfTimeSigAt& rkoAt : rkaoTimeSigs)
    {
        const CSegment& rkoLast = m_aoSegments.back();
        const std::uint64_t qwSince = rkoAt.m_qwTick - rkoLast.m_qwStart;
        // Bars begun since the last segment's start, a bar cut short included.
        const std::uint64_t qwBars = (qwSince + rkoLast.m_qwBarTicks - 1) / rkoLast.m_qwBarTicks;
        const CSegment oNext =
            fnSegment(rkoAt.m_qwTick, rkoLast.m_qwFirstBar + qwBars, rkoAt.m_byNumerator, rkoAt.m_byDenomExp);
        if (qwSince == 0)
            m_aoSegments.back() = oNext;
        else
            m_aoSegments.push_back(oNext);
    }
}

CSmfBarPosition CSmfBarClock::Locate(std::uint64_t qwTick) const
{
    auto it =
        std::upper_bound(m_aoSegments.begin(), m_aoSegments.end(), qwTick,
                         [](std::uint64_t qwAt, const CSegment& rkoSegment) { return qwAt < rkoSegment.m_qwStart; });
    const CSegment& rkoSegment = *(it - 1);
    const std::uint64_t qwSince = qwTick - rkoSegment.m_qwStart;
    const std::uint64_t qwInBar = qwSince % rkoSegment.m_qwBarTicks;
    CSmfBarPosition oPosition;
    oPosition.m_qwBar = rkoSegment.m_qwFirstBar + qwSince / rkoSegment.m_qwBarTicks;
    oPosition.m_qwBeat = qwInBar / rkoSegment.m_qwBeatTicks + 1;
    oPosition.m_qwTick = qwInBar % rkoSegment.m_qwBeatTicks;
    return oPosition;
}
