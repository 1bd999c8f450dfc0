// SmfEventText.h -- events as one line of text, the form shared by the SMF
// tests, the smf_probe tool and the mido cross-check script:
//   <tick> note_off|note_on|polytouch|control_change|mode <ch> <d1> <d2>
//   <tick> program_change|aftertouch <ch> <d1>
//   <tick> pitchwheel <ch> <lsb> <msb>
//   <tick> note <ch> <key> <vel-on> <duration> <vel-off>
//   <tick> meta <type> <data>     <tick> sysex <data>     <tick> null
// Channels and durations are decimal, data bytes two upper-case hex digits
// each (data as one run of digits, "-" when there is none).
#pragma once

#include "Kernel/RTEvents/LinkedEv.h"
#include "Kernel/SeqBase/CDecBase.h"

#include <cstdio>
#include <string>
#include <vector>

inline std::string SmfHex(const BYTE* pkbyData, int iLength)
{
    if (iLength <= 0)
        return "-";
    std::string str;
    char szByte[4];
    for (int i = 0; i < iLength; ++i)
    {
        std::snprintf(szByte, sizeof szByte, "%02X", pkbyData[i]);
        str += szByte;
    }
    return str;
}

// SmfDescribeEvent -- the line of one event, without its tick.
inline std::string SmfDescribeEvent(const CEvent& rkoEvent)
{
    static const char* const s_apszChn[] = {"note_off",       "note_on",    "polytouch",  "control_change",
                                            "program_change", "aftertouch", "pitchwheel", "note",
                                            "mode"};
    char szLine[96];
    switch (rkoEvent.GetClass())
    {
    case EC_CHMSG:
    {
        const BYTE byCode = rkoEvent.GetCode();
        if (byCode > EVSC_MODE_MSG)
            return "unknown";
        if (byCode == EVSC_PRG_CHANGE || byCode == EVSC_CHN_PRESSURE)
            std::snprintf(szLine, sizeof szLine, "%s %d %02X", s_apszChn[byCode], rkoEvent.GetTrack(),
                          rkoEvent.GetData1());
        else if (byCode == EVSC_NOTE)
            std::snprintf(szLine, sizeof szLine, "note %d %02X %02X %lu %02X", rkoEvent.GetTrack(),
                          rkoEvent.GetData1(), rkoEvent.GetData2(), static_cast<unsigned long>(rkoEvent.GetDuration()),
                          rkoEvent.GetVelOff());
        else
            std::snprintf(szLine, sizeof szLine, "%s %d %02X %02X", s_apszChn[byCode], rkoEvent.GetTrack(),
                          rkoEvent.GetData1(), rkoEvent.GetData2());
        return szLine;
    }
    case EC_META:
        if (rkoEvent.IsNullEvent())
            return "null";
        std::snprintf(szLine, sizeof szLine, "meta %02X ", rkoEvent.GetMetaType());
        return szLine + SmfHex(rkoEvent.GetMetaData(), rkoEvent.GetMetaLength());
    case EC_SYSEX:
        return "sysex " + SmfHex(rkoEvent.GetSysExData(), rkoEvent.GetSysExLength());
    default:
        return "unknown";
    }
}

// CSmfDecodeResult -- what a decoder handed out, one line per event.
struct CSmfDecodeResult
{
    std::vector<std::string> m_aLines;
    // The decoder reached its end of stream (else it stopped with an error).
    bool m_bEnded = false;
    // Deltas returned, first the one of Rewind.
    std::vector<TDELTA> m_aDeltas;
};

// SmfDrainDecoder -- the CDecBase protocol from Rewind to the end, every
// group freed. iMaxGroups bounds the loop for decoders under test.
inline CSmfDecodeResult SmfDrainDecoder(CDecBase& roDecoder, int iMaxGroups = 1000000)
{
    CSmfDecodeResult oResult;
    TDELTA sdwDelta = roDecoder.Rewind();
    oResult.m_aDeltas.push_back(sdwDelta);
    for (int i = 0; i < iMaxGroups && !roDecoder.IsEndOfStream(); ++i)
    {
        CLinkedEvent* poList = nullptr;
        sdwDelta = roDecoder.ExtractEvents(poList);
        oResult.m_aDeltas.push_back(sdwDelta);
        for (const CLinkedEvent* poEvent = poList; poEvent; poEvent = poEvent->Next())
            oResult.m_aLines.push_back(std::to_string(roDecoder.GetTick()) + " " + SmfDescribeEvent(*poEvent));
        if (poList)
            FreeEventsList(poList);
        if (sdwDelta == NO_DELTA)
            break;
    }
    oResult.m_bEnded = roDecoder.IsEndOfStream();
    return oResult;
}
