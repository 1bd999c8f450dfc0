// CEncBase.h -- common base of every encoder (compact format, memory
// encoder, Standard MIDI File).
//
// Callers hand it groups of events (lists of one class) with the delta or
// the absolute tick at which they occur; the base keeps the running tick,
// dispatches each event by class to the subclass's writers, writes delta
// times through the subclass, and places the end of track no earlier than
// the end of the last note the subclass knows of.
//
// Calling order: construct, configure, Open, EncodeEvents per group in tick
// order ending with a group that holds the end-of-track event, Close.
//
// The quantization grid is 0 throughout this system, so events are always
// written at their own tick and nothing is queued between groups.
#pragma once

#include "Base/QdTypes.h"

class CEvent;
class CLinkedEvent;

class CEncoderBase
{
public:
    CEncoderBase();
    virtual ~CEncoderBase();
    CEncoderBase(const CEncoderBase&) = delete;
    CEncoderBase& operator=(const CEncoderBase&) = delete;

    // Open -- false when already open; otherwise input tick and last encoded tick 0.
    virtual bool Open();
    // Close -- false when not open.
    virtual bool Close();
    virtual void Reset() {}
    // ShutNotes -- closes every note still sounding at tAbsTick.
    virtual void ShutNotes(TTICK /*tAbsTick*/) {}
    // GetEndTick -- earliest tick at which the end of track may be written.
    virtual TTICK GetEndTick() { return m_tLastEncodedTick; }
    // ShiftTicks -- moves everything the encoder still holds by tShift ticks.
    virtual void ShiftTicks(TTICK /*tShift*/) {}

    bool IsOpen() const { return m_bIsOpen; }

    // EncodeEvents -- encodes one group tDelta ticks after the previous one.
    // The list stays the caller's. False when a writer failed.
    bool EncodeEvents(TTICK tDelta, const CLinkedEvent* poList);
    // EncodeEventsAt -- the same at an absolute tick (not before the previous group).
    bool EncodeEventsAt(TTICK tAbsTick, const CLinkedEvent* poList);

    TTICK GetArrivalTick() const { return m_tArrivalTick; }
    TTICK GetLastEncodedTick() const { return m_tLastEncodedTick; }

    // VarLenNum -- a Standard MIDI File variable-length number (values of
    // 2^28 or more are reported and written as 0x0FFFFFFF); returns 1 to 4.
    static int VarLenNum(DWORD dwValue, BYTE* pbyBuffer);

protected:
    // PrepareTick -- called before the events of a tick are written; false stops the group.
    virtual bool PrepareTick(TTICK /*tAbsTick*/) { return true; }
    virtual bool EncodeChnEvent(TTICK tAbsTick, const CEvent& rkoEvent) = 0;
    virtual bool EncodeMetaEvent(TTICK tAbsTick, const CEvent& rkoEvent) = 0;
    virtual bool EncodeSysExEvent(TTICK tAbsTick, const CEvent& rkoEvent) = 0;
    virtual bool EncodeDelta(DWORD dwDelta) = 0;

    // EncodeDeltaAt -- writes the delta from the last encoded tick to tAbsTick.
    bool EncodeDeltaAt(TTICK tAbsTick);

private:
    TTICK m_tInputTick;
    TTICK m_tLastEncodedTick;
    TTICK m_tArrivalTick;
    bool m_bIsOpen;
};
