// PropStreams.h -- test helpers for compact event streams: event records by
// value, pool lists built from them, decoding a whole block, and seeded
// random patterns with the events a decoder must give back.
#pragma once

#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/RTEvents/LinkedEv.h"
#include "Kernel/SeqBase/CDecProp.h"
#include "Kernel/SeqBase/CEncBase.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <ostream>
#include <random>
#include <vector>

// One event by value, with the tick it occurs at.
//   channel message  m_dwWord1 = m_dw1, m_dwWord2 = m_dw2 for a note, else 0
//   meta             m_dwWord1 = meta type, data in m_abyData
//   system excl.     data in m_abyData
struct CEvRec
{
    TTICK m_tTick = 0;
    BYTE m_byClass = EC_CHMSG;
    DWORD m_dwWord1 = 0;
    DWORD m_dwWord2 = 0;
    std::vector<BYTE> m_abyData;

    bool operator==(const CEvRec& rkoOther) const = default;

    static CEvRec Chn(TTICK tTick, BYTE byCode, BYTE byTrack, BYTE byData1, BYTE byData2 = 0)
    {
        return {tTick, EC_CHMSG, DWORD(byCode) | DWORD(byTrack) << 8 | DWORD(byData1) << 16 | DWORD(byData2) << 24, 0,
                {}};
    }
    static CEvRec Note(TTICK tTick, BYTE byTrack, BYTE byKey, BYTE byVelOn, BYTE byVelOff, DWORD dwDuration)
    {
        return {tTick, EC_CHMSG, DWORD(EVSC_NOTE) | DWORD(byTrack) << 8 | DWORD(byKey) << 16 | DWORD(byVelOn) << 24,
                dwDuration | DWORD(byVelOff) << 24, {}};
    }
    static CEvRec Meta(TTICK tTick, BYTE byType, std::vector<BYTE> abyData = {})
    {
        return {tTick, EC_META, byType, 0, std::move(abyData)};
    }
    static CEvRec EndOfTrack(TTICK tTick) { return Meta(tTick, 0x2F); }
    static CEvRec SysEx(TTICK tTick, std::vector<BYTE> abyData) { return {tTick, EC_SYSEX, 0, 0, std::move(abyData)}; }

    static CEvRec From(TTICK tTick, const CEvent& rkoEvent)
    {
        CEvRec oRec;
        oRec.m_tTick = tTick;
        oRec.m_byClass = rkoEvent.GetClass();
        if (oRec.m_byClass == EC_CHMSG)
        {
            oRec.m_dwWord1 = rkoEvent.m_dw1;
            oRec.m_dwWord2 = BYTE(rkoEvent.m_dw1) == EVSC_NOTE ? rkoEvent.m_dw2 : 0;
        }
        else if (oRec.m_byClass == EC_META)
        {
            oRec.m_dwWord1 = rkoEvent.GetMetaType();
            const BYTE* pbyData = rkoEvent.GetMetaData();
            oRec.m_abyData.assign(pbyData, pbyData + rkoEvent.GetMetaLength());
        }
        else if (oRec.m_byClass == EC_SYSEX)
        {
            const BYTE* pbyData = rkoEvent.GetSysExData();
            if (pbyData)
                oRec.m_abyData.assign(pbyData, pbyData + rkoEvent.GetSysExLength());
        }
        return oRec;
    }

    bool IsNote() const { return m_byClass == EC_CHMSG && BYTE(m_dwWord1) == EVSC_NOTE; }
    DWORD Duration() const { return m_dwWord2 & 0x00FFFFFF; }

    // Fills an empty event.
    void Build(CEvent& roEvent) const
    {
        if (m_byClass == EC_CHMSG)
        {
            const BYTE byCode = BYTE(m_dwWord1);
            const BYTE byTrack = BYTE(m_dwWord1 >> 8), byData1 = BYTE(m_dwWord1 >> 16),
                       byData2 = BYTE(m_dwWord1 >> 24);
            if (byCode == EVSC_NOTE)
                roEvent.SetNoteEvent(byTrack, byData1, byData2, BYTE(m_dwWord2 >> 24), Duration());
            else if (byCode == EVSC_PRG_CHANGE || byCode == EVSC_CHN_PRESSURE)
                roEvent.SetChnMessage(byCode, byTrack, byData1);
            else
                roEvent.SetChnMessage(byCode, byTrack, byData1, byData2);
        }
        else if (m_byClass == EC_META)
        {
            BYTE* pbyData = roEvent.SetMetaEventBegin(BYTE(m_dwWord1), int(m_abyData.size()));
            if (!m_abyData.empty())
                std::memcpy(pbyData, m_abyData.data(), m_abyData.size());
            roEvent.SetMetaEventEnd();
        }
        else
        {
            BYTE* pbyData = roEvent.SetSysExEventBegin(int(m_abyData.size()));
            if (!m_abyData.empty())
                std::memcpy(pbyData, m_abyData.data(), m_abyData.size());
            roEvent.SetSysExEventEnd(int(m_abyData.size()));
        }
    }
};

inline std::ostream& operator<<(std::ostream& roOut, const CEvRec& rkoRec)
{
    roOut << "{T=" << rkoRec.m_tTick << " class=" << int(rkoRec.m_byClass) << std::hex << " w1=0x" << rkoRec.m_dwWord1
          << " w2=0x" << rkoRec.m_dwWord2 << " data=[";
    for (BYTE by : rkoRec.m_abyData)
        roOut << ' ' << int(by);
    return roOut << " ]" << std::dec << "}";
}

// A list from the events pool, freed with the holder.
class CPoolList
{
public:
    CPoolList() = default;
    explicit CPoolList(const std::vector<CEvRec>& raoEvents)
    {
        for (const CEvRec& rkoRec : raoEvents)
            Add(rkoRec);
    }
    ~CPoolList()
    {
        if (m_poFirst)
            FreeEventsList(m_poFirst);
    }
    CPoolList(const CPoolList&) = delete;
    CPoolList& operator=(const CPoolList&) = delete;

    CPoolList& Add(const CEvRec& rkoRec)
    {
        CLinkedEvent* poEvent = EventsPool().GetNewEvent();
        rkoRec.Build(*poEvent);
        if (m_poLast)
            m_poLast = m_poLast->SetNext(poEvent);
        else
            m_poFirst = m_poLast = poEvent;
        return *this;
    }
    const CLinkedEvent* Get() const { return m_poFirst; }

private:
    CLinkedEvent* m_poFirst = nullptr;
    CLinkedEvent* m_poLast = nullptr;
};

// One group handed out by a decoder.
struct CGroupRec
{
    TTICK m_tTick = 0;
    TDELTA m_sdwDelta = NO_DELTA;
    std::vector<CEvRec> m_aoEvents;
};

// What a decoder gave for a whole block.
struct CDecodedStream
{
    std::vector<CGroupRec> m_aoGroups;
    // IsEndOfStream() at the end: false after an error.
    bool m_bEnded = false;

    std::vector<CEvRec> Events() const
    {
        std::vector<CEvRec> aoEvents;
        for (const CGroupRec& rkoGroup : m_aoGroups)
            aoEvents.insert(aoEvents.end(), rkoGroup.m_aoEvents.begin(), rkoGroup.m_aoEvents.end());
        return aoEvents;
    }
};

// DecodeGroups -- rewinds the decoder and takes every group; stops at the
// end, at an error, and after iMaxGroups groups (a decoder that does not end).
inline CDecodedStream DecodeGroups(CDecBase& roDecoder, int iMaxGroups)
{
    CDecodedStream oResult;
    roDecoder.Rewind();
    for (int i = 0; i < iMaxGroups && !roDecoder.IsEndOfStream(); ++i)
    {
        CLinkedEvent* poList = nullptr;
        const TDELTA sdwDelta = roDecoder.ExtractEvents(poList);
        CGroupRec oGroup;
        oGroup.m_tTick = roDecoder.GetTick();
        oGroup.m_sdwDelta = sdwDelta;
        for (const CLinkedEvent* poEvent = poList; poEvent; poEvent = poEvent->Next())
            oGroup.m_aoEvents.push_back(CEvRec::From(roDecoder.GetTick(), *poEvent));
        if (poList)
            FreeEventsList(poList);
        oResult.m_aoGroups.push_back(std::move(oGroup));
        if (sdwDelta == NO_DELTA)
            break;
    }
    oResult.m_bEnded = roDecoder.IsEndOfStream();
    return oResult;
}

// DecodeBlock -- CDecProp over the bytes, all groups.
inline CDecodedStream DecodeBlock(const std::vector<BYTE>& abyData)
{
    CDecProp oDecoder(abyData.data(), abyData.size());
    return DecodeGroups(oDecoder, int(abyData.size()) + 2);
}

// A group to hand to an encoder.
struct CInputGroup
{
    TTICK m_tTick = 0;
    std::vector<CEvRec> m_aoEvents;
};

// EncodeGroups -- every group at its tick; false when one failed.
inline bool EncodeGroups(CEncoderBase& roEncoder, const std::vector<CInputGroup>& raoGroups)
{
    for (const CInputGroup& rkoGroup : raoGroups)
    {
        CPoolList oList(rkoGroup.m_aoEvents);
        if (!roEncoder.EncodeEventsAt(rkoGroup.m_tTick, oList.Get()))
            return false;
    }
    return true;
}

// A random pattern: the groups to encode and the events a decoder must give
// back in order (every event as it went in, the end of track last).
struct CRandomPattern
{
    std::vector<CInputGroup> m_aoGroups;
    std::vector<CEvRec> m_aoExpected;
};

// MakeRandomPattern -- groups of one class at rising ticks: notes with
// durations (overlapping freely, at most 40 sounding), every other channel
// message, meta events of all lengths, system exclusive packets of every
// type; deltas of 1 to 4 bytes. With bExactDurations every duration from 8192
// on is a multiple of 16, as the format stores it.
inline CRandomPattern MakeRandomPattern(std::uint32_t uSeed, bool bExactDurations = true)
{
    std::mt19937 oRng(uSeed);
    auto Rand = [&](int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(oRng); };
    auto RandomBytes = [&](std::size_t nCount, int iMax) {
        std::vector<BYTE> abyData(nCount);
        for (BYTE& rby : abyData)
            rby = BYTE(Rand(0, iMax));
        return abyData;
    };
    static constexpr BYTE kabyMetaTypes[] = {0x01, 0x03, 0x06, 0x20, 0x21, 0x51, 0x58, 0x59, 0x7E, 0x7F};
    static constexpr BYTE kabyTwoByteCodes[] = {EVSC_KEY_PRESSURE, EVSC_CTRL_CHANGE, EVSC_PITCH_B_CHANGE,
                                                EVSC_MODE_MSG};

    CRandomPattern oPattern;
    std::vector<TTICK> atNoteEnds;
    TTICK tTick = 0;
    for (int iGroup = Rand(10, 120); iGroup > 0; --iGroup)
    {
        const int iGap = Rand(0, 99);
        tTick += iGap < 30 ? 0 : iGap < 85 ? Rand(1, 400) : iGap < 97 ? Rand(400, 20000) : Rand(20000, 3000000);
        CInputGroup oGroup{tTick, {}};
        const int iKind = Rand(0, 9);
        for (int iEvent = Rand(1, 5); iEvent > 0; --iEvent)
        {
            const BYTE byTrack = BYTE(Rand(0, 9) < 8 ? Rand(0, 15) : Rand(0, 127));
            const int iCode = Rand(0, 9);
            if (iKind >= 8)
            {
                std::vector<BYTE> abyData = RandomBytes(Rand(0, 3) ? Rand(3, 150) : Rand(0, 2), 0x7F);
                const int iPacket = Rand(EP_COMPLETE, EP_ENDMSG);
                if (iPacket == EP_COMPLETE || iPacket == EP_BEGINMSG)
                    abyData.insert(abyData.begin(), 0xF0);
                if (iPacket == EP_COMPLETE || iPacket == EP_ENDMSG)
                    abyData.push_back(0xF7);
                oGroup.m_aoEvents.push_back(CEvRec::SysEx(tTick, std::move(abyData)));
            }
            else if (iKind >= 6)
            {
                const int iLength = Rand(0, 19);
                std::vector<BYTE> abyData =
                    RandomBytes(iLength < 15 ? Rand(0, 6) : iLength < 19 ? Rand(7, 127) : Rand(128, 400), 0xFF);
                const BYTE byType = kabyMetaTypes[Rand(0, int(std::size(kabyMetaTypes)) - 1)];
                // 0x7E with first byte 0 or 1 is the null event or the end marker.
                if (byType == 0x7E && !abyData.empty())
                    abyData[0] = BYTE(Rand(2, 4));
                oGroup.m_aoEvents.push_back(CEvRec::Meta(tTick, byType, std::move(abyData)));
            }
            else if (iCode < 5)
            {
                if (std::count_if(atNoteEnds.begin(), atNoteEnds.end(), [&](TTICK t) { return t > tTick; }) >= 40)
                    continue;
                const int iLength = Rand(0, 19);
                DWORD dwDuration = iLength < 2    ? 0
                                   : iLength < 12 ? DWORD(Rand(1, 400))
                                   : iLength < 17 ? DWORD(Rand(400, 8191))
                                                  : DWORD(Rand(8192, 0x1FFF0));
                if (bExactDurations && dwDuration >= 8192)
                    dwDuration &= ~DWORD(15);
                const BYTE byKey = BYTE(Rand(0, 3) ? Rand(24, 96) : Rand(0, 127));
                oGroup.m_aoEvents.push_back(
                    CEvRec::Note(tTick, byTrack, byKey, BYTE(Rand(1, 127)), BYTE(Rand(0, 127)), dwDuration));
                atNoteEnds.push_back(tTick + dwDuration);
            }
            else if (iCode == 5)
                oGroup.m_aoEvents.push_back(CEvRec::Chn(tTick, BYTE(Rand(EVSC_PRG_CHANGE, EVSC_CHN_PRESSURE)),
                                                        byTrack, BYTE(Rand(0, 127))));
            else
                oGroup.m_aoEvents.push_back(CEvRec::Chn(tTick, kabyTwoByteCodes[iCode - 6], byTrack,
                                                        BYTE(Rand(0, 127)), BYTE(Rand(0, 127))));
        }
        if (oGroup.m_aoEvents.empty())
            continue;
        oPattern.m_aoExpected.insert(oPattern.m_aoExpected.end(), oGroup.m_aoEvents.begin(), oGroup.m_aoEvents.end());
        oPattern.m_aoGroups.push_back(std::move(oGroup));
    }
    TTICK tEnd = tTick + TTICK(Rand(0, 2) ? 0 : Rand(1, 500));
    for (TTICK tNoteEnd : atNoteEnds)
        tEnd = std::max(tEnd, tNoteEnd);
    oPattern.m_aoGroups.push_back({tEnd, {CEvRec::EndOfTrack(tEnd)}});
    oPattern.m_aoExpected.push_back(CEvRec::EndOfTrack(tEnd));
    return oPattern;
}
