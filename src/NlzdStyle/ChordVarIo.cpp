// ChordVarIo.cpp -- a chord variation to and from a stream of MIDI events:
// ExportChordVar (with FitPatternMeasures) and ImportChordVar of the edit
// interface, the import's filter CStyleMsgFilter, and NstCountPattern.
//
// Both sit on the pattern merge and un-merge (PatMerge.h): the export cleans
// a copy of each pattern to its measures, merges the copies, each on its
// track's channel, into the caller's encoder; the import splits the decoded
// stream by channel into one memory encoder per track and cleans what each
// received into the track's pattern.
#include "NlzdStyle/NstEditIfc.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/EventList.h"
#include "Kernel/SeqBase/CDecProp.h"
#include "Kernel/SeqBase/CEncBase.h"
#include "Kernel/SeqBase/NoteInfoPool.h"
#include "Kernel/SeqBase/SmfForm.h"
#include "MarkerAlg/MarkerAlg.h"
#include "MemCoder/MaEncoder.h"
#include "NlzdStyle/NstQdIfc.h"
#include "NlzdStyle/QdRecords.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

using SmfForm::META_SET_TEMPO;
using SmfForm::META_TIME_SIGNATURE;
constexpr BYTE CTRL_BANK_MSB = 0;
constexpr BYTE CTRL_EXPRESSION = 11;
constexpr BYTE CTRL_BANK_LSB = 32;
// Microseconds per minute: Set Tempo holds microseconds per quarter note.
constexpr DWORD MICROSECONDS_PER_MINUTE = 60000000;
// Time signature event: MIDI clocks per metronome click for a whole note
// (96, so 24 for quarter notes) and 32nd notes per quarter note.
constexpr BYTE SMF_CLOCKS_PER_WHOLE = 96;
constexpr BYTE SMF_32NDS_PER_QUARTER = 8;

// SmfWriteTimeSig -- the data of a time signature meta event: numerator,
// exponent, MIDI clocks per metronome click (a quarter note's) and 32nd
// notes per quarter note.
void SmfWriteTimeSig(const CNstTimeSig& rkoTimeSig, BYTE (&rabyData)[4])
{
    rabyData[0] = rkoTimeSig.m_byNumerator;
    rabyData[1] = rkoTimeSig.m_byDenomExp;
    rabyData[2] = BYTE(SMF_CLOCKS_PER_WHOLE >> (rkoTimeSig.m_byDenomExp & 7));
    rabyData[3] = SMF_32NDS_PER_QUARTER;
}

// SmfReadTimeSig -- the time signature of a time signature meta event's
// data into roTimeSig, when the bank can hold it (numerator 1 to 31,
// exponent 0 to 7); otherwise it says nothing usable and roTimeSig stays.
void SmfReadTimeSig(const BYTE* pkbyData, int iLength, CNstTimeSig& roTimeSig)
{
    if (iLength < 2)
        return;
    const CNstTimeSig oTimeSig{pkbyData[0], pkbyData[1]};
    if (oTimeSig.m_byNumerator >= 1 && QdSignatureFits(oTimeSig))
        roTimeSig = oTimeSig;
}

// CeilDiv -- the smallest whole number of tDivisor that reaches tValue
// (tDivisor above 0).
std::uint64_t CeilDiv(std::uint64_t qwValue, std::uint64_t qwDivisor)
{
    return (qwValue + qwDivisor - 1) / qwDivisor;
}

// CCleanedPattern -- a pattern cleaned into a buffer of its own, and the
// compact decoder that the merge reads it with.
struct CCleanedPattern
{
    std::unique_ptr<BYTE[]> m_pbyBuffer;
    std::unique_ptr<CDecProp> m_poDecoder;
};

} // namespace

// ===========================================================================
// Export
// ===========================================================================
#define QD_REPORT_FILE "NlzdStyle/NlzdStyle"

// CNstEditIfc::FitPatternMeasures -- D, the chord variation's measures, is a
// multiple of 1, so the rounding loops end at the latest at 1 (down) or at D
// (up). A D of 0 (a chord variation shorter than a measure) is a multiple of
// everything: the request stays or becomes 0.
BYTE CNstEditIfc::FitPatternMeasures(BYTE bySeNr, BYTE byCvNr, BYTE byPNr, BYTE byTrLength)
{
    if (!m_poStyle->HasChordVar(bySeNr, byCvNr))
        return 0;
    CNstChordVar* poChordVar = m_poStyle->GetStyleElem(bySeNr)->GetChordVar(byCvNr);
    if (!poChordVar->IsPatternInUse(byPNr))
        return 0;
    CNstPattern* poPattern = poChordVar->GetPattern(byPNr);
    if (!QD_ASSERT_TEXT(byTrLength > 0, "*pkbyTrLength > 0"))
        return poPattern->GetMeasures();

    const BYTE byCvMeasures = poChordVar->GetMeasures();
    BYTE byMeasures = byTrLength;
    if (byTrLength >= byCvMeasures)
        byMeasures = byCvMeasures;
    else if (byTrLength < poPattern->GetMeasures())
    {
        while (byCvMeasures % byMeasures != 0)
            --byMeasures;
    }
    else
    {
        while (byMeasures < byCvMeasures && byCvMeasures % byMeasures != 0)
            ++byMeasures;
    }
    poPattern->SetMeasures(byMeasures);
    return byMeasures;
}

// CNstEditIfc::ExportChordVar -- a copy of each pattern in use is made as
// long as its measures (all tracks: the chord variation's measures), by
// whole repetitions of the pattern, then cleaned to exactly that length
// with no event at its last tick; so the merged stream ends at the longest
// of them. A measure count of 0 (a chord variation shorter than one measure)
// takes the chord variation's length instead, and a time signature without
// ticks per measure the pattern's own length, so that nothing of the pattern
// is cut away and nothing is repeated beyond what the measures allow.
bool CNstEditIfc::ExportChordVar(CEncoderBase& roEncoder, bool bWithMeta, BYTE bySeNr, BYTE byCvNr, BYTE byPNr,
                                 const BYTE (&rkabyChannels)[NST_NR_TRK], SDWORD sdwTempo)
{
    if (!QD_ASSERT(roEncoder.IsOpen()))
        return false;
    // The indices are checked before anything is created for them.
    CNstStyleElem* poStyleElem = nullptr;
    CNstChordVar* poChordVar = nullptr;
    if (QD_ASSERT(bySeNr < NST_NR_STE) && QD_ASSERT(byCvNr < NST_NR_CV))
    {
        poStyleElem = m_poStyle->GetStyleElem(bySeNr);
        poChordVar = poStyleElem->GetChordVar(byCvNr);
    }
    if (!poChordVar)
    {
        CPropPattMerge oEmpty(roEncoder);
        oEmpty.Merge();
        return false;
    }

    const bool bAllTracks = byPNr >= NST_NR_TRK;
    const BYTE byFirstTrack = bAllTracks ? 0 : byPNr;
    const BYTE byEndTrack = bAllTracks ? NST_NR_TRK : BYTE(byPNr + 1);
    if (!bAllTracks)
        poChordVar->GetPattern(byPNr);
    else if (poChordVar->IsEmpty())
        poChordVar->GetPattern(0);

    {
        CEventList oMeta;
        if (sdwTempo >= NST_MIN_EXPORT_TEMPO)
        {
            const DWORD dwMicroseconds = MICROSECONDS_PER_MINUTE / DWORD(sdwTempo);
            const BYTE abyTempo[3] = {BYTE(dwMicroseconds >> 16), BYTE(dwMicroseconds >> 8), BYTE(dwMicroseconds)};
            oMeta.AddMeta(META_SET_TEMPO, abyTempo, 3);
        }
        BYTE abyTimeSig[4];
        SmfWriteTimeSig(poStyleElem->GetTimeSig(), abyTimeSig);
        oMeta.AddMeta(META_TIME_SIGNATURE, abyTimeSig, sizeof abyTimeSig);
        roEncoder.EncodeEventsAt(0, oMeta.Get());
    }

    CPropPattMerge oMerge(roEncoder);
    std::vector<CCleanedPattern> aoCleaned;
    aoCleaned.reserve(NST_NR_TRK + 1);
    for (BYTE byTrack = byFirstTrack; byTrack < byEndTrack; ++byTrack)
    {
        if (!poChordVar->IsPatternInUse(byTrack))
            continue;
        const BYTE byChannel = rkabyChannels[byTrack];
        if (!QD_ASSERT(byChannel < PM_NR_CHANNELS))
            continue;

        const CNstTrackParam* pkoParam = poStyleElem->GetTrackParam(byTrack);
        CEventList oParams;
        oParams.AddControl(byChannel, CTRL_EXPRESSION, pkoParam->m_byExpression);
        oParams.AddControl(byChannel, CTRL_BANK_MSB, pkoParam->m_byBankMsb);
        oParams.AddControl(byChannel, CTRL_BANK_LSB, pkoParam->m_byBankLsb);
        oParams.AddProgram(byChannel, pkoParam->m_byProgram);
        roEncoder.EncodeEventsAt(0, oParams.Get());

        CNstPattern* poPattern = poChordVar->GetPattern(byTrack);
        FitPatternMeasures(bySeNr, byCvNr, byTrack, std::max<BYTE>(poPattern->GetMeasures(), 1));

        CNstPattern oCopy(*poPattern);
        if (bAllTracks)
            oCopy.SetMeasures(poChordVar->GetMeasures());
        const TTICK tTicksPerMeasure = oCopy.GetTicksPerMeasure();
        TTICK tTarget = tTicksPerMeasure * oCopy.GetMeasures();
        if (tTarget == 0)
            tTarget = tTicksPerMeasure ? poChordVar->GetLength() : oCopy.GetNrTicks();
        if (oCopy.GetNrTicks() < tTarget)
        {
            const std::uint64_t qwTicks = oCopy.GetNrTicks();
            oCopy.SetLength(qwTicks ? TTICK(qwTicks * CeilDiv(tTarget, qwTicks)) : tTarget, false);
        }

        PatternData oSource(QdPatternChunkId(oCopy.GetType()));
        oSource.m_dwTotalTicks = tTarget;
        oSource.m_dwTotalEventsDim = oCopy.GetDataLength();
        oSource.m_pbyEvents = oCopy.GetData();
        const DWORD dwBufferSize = oCopy.GetDataLength() + QDI_CLEAN_SPARE;
        CCleanedPattern oCleaned;
        oCleaned.m_pbyBuffer = std::make_unique<BYTE[]>(dwBufferSize);
        CChannelState oChannelState;
        PatternData oDest;
        // A pattern whose cleaned form does not fit has been reported; the
        // track then gives its parameters only.
        if (CleanPattern(oChannelState, oSource, oDest, oCleaned.m_pbyBuffer.get(), dwBufferSize, false) ==
            MA_CLEAN_FAILED)
            continue;
        oCleaned.m_poDecoder = std::make_unique<CDecProp>(oCleaned.m_pbyBuffer.get(), oDest.m_dwTotalEventsDim);
        oMerge.AddTrackInput(*oCleaned.m_poDecoder, byChannel);
        aoCleaned.push_back(std::move(oCleaned));
    }

    std::unique_ptr<CDecProp> poMetaDecoder;
    if (bWithMeta && poChordVar->GetMetaPatternLength() > 0)
    {
        poMetaDecoder =
            std::make_unique<CDecProp>(poChordVar->GetMetaPatternData(), poChordVar->GetMetaPatternLength());
        oMerge.AddMetaInput(*poMetaDecoder, poChordVar->GetLength());
    }
    oMerge.Merge();
    return true;
}

#undef QD_REPORT_FILE

// ===========================================================================
// Import
// ===========================================================================
#define QD_REPORT_FILE "NlzdStyle/NstEditIfc"

bool CStyleMsgFilter::IsFilteredOut(const CEvent& rkoEvent, TTICK tTick)
{
    if (rkoEvent.GetClass() != EC_CHMSG)
        return false;
    if (tTick >= m_tEndTick)
        return true;
    return tTick == 0 && rkoEvent.GetCode() == EVSC_CTRL_CHANGE && rkoEvent.GetData1() == CTRL_EXPRESSION;
}

namespace {

// CImportTick0 -- what the events at tick 0 of a file say: tempo, time
// signature, the parameters of each track, and which tracks have any of
// them (their setup: program change, bank select, expression).
struct CImportTick0
{
    SDWORD m_sdwTempo = -1;
    CNstTimeSig m_oTimeSig;
    CNstTrackParam m_aoParams[NST_NR_TRK];
    BYTE m_bySetup = 0; // bit per track
};

// MakeChannelMap -- the track each MIDI channel goes to (NST_NR_TRK: none):
// the track whose channel the table names (the lowest such track) among
// byTracks (bit per track), or with m_bFromAnyTrack the one chosen track for
// every channel.
void MakeChannelMap(const CNstImportOptions& rkoOptions, BYTE byTracks, BYTE (&rabyChannelMap)[PM_NR_CHANNELS])
{
    for (BYTE byChannel = 0; byChannel < PM_NR_CHANNELS; ++byChannel)
    {
        rabyChannelMap[byChannel] = NST_NR_TRK;
        if (rkoOptions.m_bFromAnyTrack)
            rabyChannelMap[byChannel] = rkoOptions.m_byPNr;
        else
            for (BYTE byTrack = NST_NR_TRK; byTrack-- > 0;)
                if (rkoOptions.m_abyChannels[byTrack] == byChannel && (byTracks >> byTrack & 1u))
                    rabyChannelMap[byChannel] = byTrack;
    }
}

// ReadTick0Event -- one event of a list at tick 0; several events of a kind
// leave the last one's value. A Set Tempo of 0 microseconds and a time
// signature that the bank cannot hold say nothing usable and are passed over.
void ReadTick0Event(const CEvent& rkoEvent, const BYTE (&rkabyChannelMap)[PM_NR_CHANNELS], CImportTick0& roTick0)
{
    if (rkoEvent.GetClass() == EC_META)
    {
        const BYTE* pkbyData = rkoEvent.GetMetaData();
        const int iLength = rkoEvent.GetMetaLength();
        if (rkoEvent.GetMetaType() == META_SET_TEMPO && iLength >= 3)
        {
            const DWORD dwMicroseconds = DWORD(pkbyData[0]) << 16 | DWORD(pkbyData[1]) << 8 | pkbyData[2];
            if (dwMicroseconds > 0)
                roTick0.m_sdwTempo = SDWORD(MICROSECONDS_PER_MINUTE / dwMicroseconds);
        }
        else if (rkoEvent.GetMetaType() == META_TIME_SIGNATURE)
            SmfReadTimeSig(pkbyData, iLength, roTick0.m_oTimeSig);
        return;
    }
    if (rkoEvent.GetClass() != EC_CHMSG)
        return;
    const BYTE byChannel = rkoEvent.GetTrack();
    if (byChannel >= PM_NR_CHANNELS || rkabyChannelMap[byChannel] >= NST_NR_TRK)
        return;
    const BYTE byTrack = rkabyChannelMap[byChannel];
    CNstTrackParam& roParam = roTick0.m_aoParams[byTrack];
    const BYTE byController = rkoEvent.GetData1();
    if (rkoEvent.GetCode() == EVSC_PRG_CHANGE)
        roParam.m_byProgram = rkoEvent.GetData1();
    else if (rkoEvent.GetCode() != EVSC_CTRL_CHANGE)
        return;
    else if (byController == CTRL_EXPRESSION)
        roParam.m_byExpression = rkoEvent.GetData2();
    else if (byController == CTRL_BANK_MSB)
        roParam.m_byBankMsb = rkoEvent.GetData2();
    else if (byController == CTRL_BANK_LSB)
        roParam.m_byBankLsb = rkoEvent.GetData2();
    else
        return;
    roTick0.m_bySetup = BYTE(roTick0.m_bySetup | 1u << byTrack);
}

// ElementTick0 -- the element's own time signature and track parameters.
CImportTick0 ElementTick0(CNstStyleElem& roStyleElem)
{
    CImportTick0 oTick0;
    oTick0.m_oTimeSig = roStyleElem.GetTimeSig();
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        oTick0.m_aoParams[byTrack] = *roStyleElem.GetTrackParam(byTrack);
    return oTick0;
}

// ReadTick0Lists -- what the decoder's lists at tick 0 say, over roTick0. A
// decoder that ends at tick 0 ends the reading there.
void ReadTick0Lists(CDecBase& roDecoder, const BYTE (&rkabyChannelMap)[PM_NR_CHANNELS], CImportTick0& roTick0)
{
    TDELTA sdwDelta = roDecoder.Rewind();
    CEventList oList;
    while (sdwDelta == 0)
    {
        if (!QD_ASSERT_TEXT(!roDecoder.IsEndOfStream(), "!roDecoder.IsFinished()"))
            break;
        sdwDelta = roDecoder.ExtractEvents(oList);
        for (const CLinkedEvent* poEvent = oList.Get(); poEvent; poEvent = poEvent->Next())
            ReadTick0Event(*poEvent, rkabyChannelMap, roTick0);
    }
}

// ReadTick0 -- the element's own time signature and track parameters, then,
// for a fresh element, what the file's lists at tick 0 say instead.
CImportTick0 ReadTick0(CDecBase& roDecoder, CNstStyleElem& roStyleElem, bool bFresh,
                       const BYTE (&rkabyChannelMap)[PM_NR_CHANNELS])
{
    CImportTick0 oTick0 = ElementTick0(roStyleElem);
    if (bFresh)
        ReadTick0Lists(roDecoder, rkabyChannelMap, oTick0);
    return oTick0;
}

// PlayedTracks -- the tracks (bits) that hold events in some chord
// variation of the element.
BYTE PlayedTracks(const CNstStyleElem& rkoStyleElem)
{
    BYTE byPlayed = 0;
    for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
        if (const CNstChordVar* pkoChordVar = rkoStyleElem.FindChordVar(byCv))
            for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
                if (!pkoChordVar->FindPattern(byTrack)->IsEmpty())
                    byPlayed = BYTE(byPlayed | 1u << byTrack);
    return byPlayed;
}

// TakeStreamParams -- the stream's tick-0 parameters of the tracks byTracks
// (bits) into roTick0, over the element's own.
void TakeStreamParams(CDecBase& roDecoder, CNstStyleElem& roStyleElem, BYTE byTracks,
                      const BYTE (&rkabyChannelMap)[PM_NR_CHANNELS], CImportTick0& roTick0)
{
    CImportTick0 oStream = ElementTick0(roStyleElem);
    ReadTick0Lists(roDecoder, rkabyChannelMap, oStream);
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        if (byTracks >> byTrack & 1u)
            roTick0.m_aoParams[byTrack] = oStream.m_aoParams[byTrack];
}

// ParamsKept -- the tracks whose tick-0 parameters in the stream differ from
// the element's, which an element holding events keeps (bit per track).
BYTE ParamsKept(CDecBase& roDecoder, CNstStyleElem& roStyleElem, const BYTE (&rkabyChannelMap)[PM_NR_CHANNELS])
{
    const CImportTick0 oOwn = ElementTick0(roStyleElem);
    CImportTick0 oStream = oOwn;
    ReadTick0Lists(roDecoder, rkabyChannelMap, oStream);
    BYTE byKept = 0;
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
    {
        const CNstTrackParam& rkoOwn = oOwn.m_aoParams[byTrack];
        const CNstTrackParam& rkoStream = oStream.m_aoParams[byTrack];
        if (rkoOwn.m_byProgram != rkoStream.m_byProgram || rkoOwn.m_byBankMsb != rkoStream.m_byBankMsb ||
            rkoOwn.m_byBankLsb != rkoStream.m_byBankLsb || rkoOwn.m_byExpression != rkoStream.m_byExpression)
            byKept = BYTE(byKept | 1u << byTrack);
    }
    return byKept;
}

// IsCountedEvent -- a channel message other than a note-off (CNstImportStats).
bool IsCountedEvent(const CEvent& rkoEvent)
{
    return rkoEvent.GetClass() == EC_CHMSG && rkoEvent.GetCode() != EVSC_NOTEOFF;
}

// CImportCounter -- the import's filter with the counting of CNstImportStats
// on the way: the un-merge asks it about every channel message it takes,
// before it looks for the output of the message's channel, so it sees the
// messages of channels without a track too. Its decisions are the filter's.
class CImportCounter : public CFilterOut
{
public:
    CImportCounter(CFilterOut& roFilter, TTICK tEndTick, const BYTE (&rkabyChannelMap)[PM_NR_CHANNELS],
                   CNstImportStats& roStats)
        : m_roFilter(roFilter), m_tEndTick(tEndTick), m_rkabyChannelMap(rkabyChannelMap), m_roStats(roStats)
    {
    }

    bool IsFilteredOut(const CEvent& rkoEvent, TTICK tTick) override
    {
        const bool bOut = m_roFilter.IsFilteredOut(rkoEvent, tTick);
        if (!IsCountedEvent(rkoEvent))
            return bOut;
        const BYTE byChannel = rkoEvent.GetTrack();
        if (tTick >= m_tEndTick)
            ++m_roStats.m_dwPastCut;
        else if (byChannel < PM_NR_CHANNELS && m_rkabyChannelMap[byChannel] >= NST_NR_TRK)
            ++m_roStats.m_adwNoTrack[byChannel];
        else if (!bOut && rkoEvent.GetCode() == EVSC_NOTEON)
            ++m_dwNotesRouted;
        return bOut;
    }

    // CImportCounter::GetNotesRouted -- note-ons sent to a track's output.
    DWORD GetNotesRouted() const { return m_dwNotesRouted; }

private:
    CFilterOut& m_roFilter;
    TTICK m_tEndTick;
    const BYTE (&m_rkabyChannelMap)[PM_NR_CHANNELS];
    CNstImportStats& m_roStats;
    DWORD m_dwNotesRouted = 0;
};

// CountPastCut -- the events of the lists an un-merge cut off left unread:
// every list from the decoder's next one to its end.
void CountPastCut(CDecBase& roDecoder, CNstImportStats& roStats)
{
    CEventList oList;
    TDELTA sdwDelta = 0;
    while (sdwDelta != NO_DELTA)
    {
        sdwDelta = roDecoder.ExtractEvents(oList);
        for (const CLinkedEvent* poEvent = oList.Get(); poEvent; poEvent = poEvent->Next())
            if (IsCountedEvent(*poEvent))
                ++roStats.m_dwPastCut;
    }
}

// CImportOutputs -- the memory encoders the un-merge writes the tracks (and
// the meta pattern) into. They outlive the un-merge that writes to them; a
// track without an encoder takes nothing.
struct CImportOutputs
{
    std::unique_ptr<CMemEncoder> m_apoTracks[NST_NR_TRK];
    std::unique_ptr<CMemEncoder> m_poMeta;
};

// SetUpOutputs -- one open encoder per imported track (byTracks, bit per
// track) on its channel (every channel with m_bFromAnyTrack), and with
// bWithMeta one for the meta pattern. A table that gives two tracks one
// channel, or a channel beyond 15, is refused by the un-merge (reported);
// that track takes nothing.
void SetUpOutputs(CPropPattUnmerge& roUnmerge, const CNstImportOptions& rkoOptions, BYTE byTracks, bool bWithMeta,
                  CImportOutputs& roOutputs)
{
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
    {
        if (!(byTracks >> byTrack & 1u))
            continue;
        auto poEncoder = std::make_unique<CMemEncoder>();
        poEncoder->SetShutNotesReport(false);
        poEncoder->Open();
        const BYTE byChannel = rkoOptions.m_bFromAnyTrack ? PM_ALL_CHANNELS : rkoOptions.m_abyChannels[byTrack];
        if (roUnmerge.AddOutput(*poEncoder, byChannel))
            roOutputs.m_apoTracks[byTrack] = std::move(poEncoder);
    }
    if (bWithMeta)
    {
        roOutputs.m_poMeta = std::make_unique<CMemEncoder>();
        roOutputs.m_poMeta->Open();
        if (!roUnmerge.SetMetaOutput(*roOutputs.m_poMeta))
            roOutputs.m_poMeta.reset();
    }
}

// StoreTrack -- what the track's encoder received, cleaned, becomes the
// track's pattern; a track left without events is taken out of use (false).
// In a fresh element the pattern follows the element's new time signature;
// with bTakeParams the file's tick-0 parameters become the track's. With
// bFitLength a shorter pattern is padded with silence to the chord
// variation's length.
bool StoreTrack(CMemEncoder& roEncoder, BYTE byTrack, bool bFresh, bool bTakeParams, bool bFitLength,
                const CImportTick0& rkoTick0, CNstStyleElem& roStyleElem, CNstChordVar& roChordVar)
{
    CNstPattern* poPattern = roChordVar.GetPattern(byTrack);
    if (bFresh)
        poPattern->SetTimeSig(roChordVar.GetTimeSig());

    PatternData oSource(QdPatternChunkId(poPattern->GetType()));
    oSource.m_dwTotalTicks = roEncoder.GetEndTick();
    oSource.m_dwTotalEventsDim = roEncoder.GetBytesWritten();
    oSource.m_pbyEvents = roEncoder.GetBufferStart();
    const DWORD dwBufferSize = oSource.m_dwTotalEventsDim + QDI_CLEAN_SPARE;
    std::vector<BYTE> abyCleaned(dwBufferSize);
    CChannelState oChannelState;
    PatternData oDest;
    // A cleaned pattern that does not fit has been reported; the track is
    // then left without events.
    if (CleanPattern(oChannelState, oSource, oDest, abyCleaned.data(), dwBufferSize, true) == MA_CLEAN_FAILED)
    {
        roChordVar.ClearPattern(byTrack);
        return false;
    }
    poPattern->SetData(oDest.m_pbyEvents, oDest.m_dwTotalEventsDim, oDest.m_dwTotalTicks);
    if (poPattern->IsEmpty())
    {
        roChordVar.ClearPattern(byTrack);
        return false;
    }
    if (bTakeParams)
        *roStyleElem.GetTrackParam(byTrack) = rkoTick0.m_aoParams[byTrack];
    if (bFitLength && poPattern->GetNrTicks() < roChordVar.GetLength())
        poPattern->SetLength(roChordVar.GetLength(), true);
    const TTICK tPatternTicksPerMeasure = poPattern->GetTicksPerMeasure();
    if (tPatternTicksPerMeasure > 0)
    {
        const std::uint64_t qwMeasures = CeilDiv(poPattern->GetNrTicks(), tPatternTicksPerMeasure);
        poPattern->SetMeasures(BYTE(std::min<std::uint64_t>(qwMeasures, 0xFF)));
    }
    return true;
}

// CTrackLimit -- what a track-limited import (CNstImportOptions) keeps of a
// chosen track: its pattern as it was, put back when the stream gave
// nothing to store.
class CTrackLimit
{
public:
    CTrackLimit(CNstChordVar& roChordVar, BYTE byTrack)
        : m_roChordVar(roChordVar), m_byTrack(byTrack), m_oBefore(*roChordVar.FindPattern(byTrack))
    {
    }

    // CTrackLimit::PutBack -- the pattern as it was (still untouched when it was).
    void PutBack()
    {
        if (m_oBefore.IsUntouched())
            m_roChordVar.ClearPattern(m_byTrack);
        else
            m_roChordVar.GetPattern(m_byTrack)->CopyFrom(m_oBefore);
    }

private:
    CNstChordVar& m_roChordVar;
    BYTE m_byTrack;
    CNstPattern m_oBefore;
};

// SetupTracks -- the tracks among byTracks (bits) whose channels the stream
// gives setup at tick 0 (CImportTick0::m_bySetup).
BYTE SetupTracks(CDecBase& roDecoder, CNstStyleElem& roStyleElem, BYTE byTracks,
                 const BYTE (&rkabyChannelMap)[PM_NR_CHANNELS])
{
    CImportTick0 oStream = ElementTick0(roStyleElem);
    ReadTick0Lists(roDecoder, rkabyChannelMap, oStream);
    return BYTE(oStream.m_bySetup & byTracks);
}

// SetupStandIn -- what a track whose stream held its setup alone stores in
// its pattern, as the un-merge would have written it on the channel: a pitch
// bend at the centre at tick 0, the end at tEnd (at least 1: a pattern of
// length 0 holds no event, and the chord variation has a measure at
// least, which the pattern is then lengthened to). A pattern may hold neither
// program change nor bank select; an expression away from its rest value
// would get a return to it at the pattern's end, which the next export and
// import would read as an event of its own. The centred pitch bend is the
// state every pattern starts in, so it changes nothing that sounds, and it
// comes back from the export as itself: round trips stay as they are.
std::unique_ptr<CMemEncoder> SetupStandIn(BYTE byChannel, TTICK tEnd)
{
    auto poEncoder = std::make_unique<CMemEncoder>();
    poEncoder->Open();
    CEventList oList;
    if (CLinkedEvent* poEvent = oList.Add())
        poEvent->SetChnMessage(EVSC_PITCH_B_CHANGE, byChannel, BYTE(MA_PITCH_BEND_CENTRE >> 8),
                               BYTE(MA_PITCH_BEND_CENTRE & 0x7F));
    poEncoder->EncodeEventsAt(0, oList.Get());
    CLinkedEvent oEndOfTrack;
    oEndOfTrack.SetMetaEventBegin(META_END_OF_TRACK, 0);
    oEndOfTrack.SetMetaEventEnd();
    poEncoder->EncodeEventsAt(tEnd, &oEndOfTrack);
    poEncoder->Close();
    return poEncoder;
}

// StreamMeasures -- the measures of tLength ticks, rounded up, 1 to 255.
BYTE StreamMeasures(TTICK tLength, TTICK tTicksPerMeasure)
{
    return BYTE(std::clamp<std::uint64_t>(CeilDiv(tLength, tTicksPerMeasure), 1, 0xFF));
}

} // namespace

// NstCountPattern -- a channel message other than a note-off counts as an
// event (IsCountedEvent), a note also as a note.
CNstPatternCounts NstCountPattern(const CNstPattern& rkoPattern)
{
    CNstPatternCounts oCounts;
    if (rkoPattern.GetDataLength() == 0)
        return oCounts;
    CDecProp oDecoder(rkoPattern.GetData(), rkoPattern.GetDataLength());
    CEventList oList;
    TDELTA sdwDelta = oDecoder.Rewind();
    while (sdwDelta != NO_DELTA)
    {
        sdwDelta = oDecoder.ExtractEvents(oList);
        for (const CLinkedEvent* poEvent = oList.Get(); poEvent; poEvent = poEvent->Next())
        {
            if (!IsCountedEvent(*poEvent))
                continue;
            ++oCounts.m_dwEvents;
            if (poEvent->GetCode() == EVSC_NOTE)
                ++oCounts.m_dwNotes;
        }
    }
    return oCounts;
}

// CNstEditIfc::ImportChordVar -- the element counts as fresh when none of
// its chord variations holds events; only then does the file's tick 0 set its
// time signature and track parameters (the tempo is read with them). A
// track-limited import (CNstImportOptions) also gives the stream's
// parameters to the chosen tracks the element does not play yet. The
// setup of tracks that get nothing else stays with a stand-in
// (SetupStandIn) only when no imported track gets an event at all: a file
// with notes or other events imports as it always did.
//
// The un-merge stops at the file's end of track, at 16 measures, or where
// the decoder fails on damaged data; the imported length L is the tick it
// stopped at, so after a decoder error it is the tick the file reached and
// the events read up to there are kept. Every track's encoder is closed
// there with its end of track; a note still sounding at that tick (held
// across the 16-measure limit, or never released by the file) is closed at
// it by the un-merge, without a report per note. The chord variation then
// has at least one measure.
SDWORD CNstEditIfc::ImportChordVar(CDecBase& roDecoder, BYTE bySeNr, BYTE byCvNr,
                                   const CNstImportOptions& rkoOptions)
{
    const BYTE byPNr = rkoOptions.m_byPNr;
    const bool bFromAnyTrack = rkoOptions.m_bFromAnyTrack;
    if (!QD_ASSERT(byPNr < 8 || !bFromAnyTrack) || !QD_ASSERT(byCvNr < NST_NR_CV))
        return -1;
    CNstStyleElem* poStyleElem = m_poStyle->GetStyleElem(bySeNr);
    if (!poStyleElem)
        return -1;
    const bool bFresh = poStyleElem->IsEmpty();

    const bool bAllTracks = byPNr >= NST_NR_TRK;
    const bool bLimited = bAllTracks && rkoOptions.m_byTracks != NST_ALL_TRACKS_MASK;
    const BYTE byChosen = bAllTracks ? rkoOptions.m_byTracks : BYTE(1u << byPNr);
    BYTE abyChannelMap[PM_NR_CHANNELS];
    // One track's import maps every track's channel, as it always did; it
    // reads one channel only anyway.
    MakeChannelMap(rkoOptions, bLimited ? byChosen : NST_ALL_TRACKS_MASK, abyChannelMap);
    CImportTick0 oTick0 = ReadTick0(roDecoder, *poStyleElem, bFresh, abyChannelMap);
    const TTICK tTicksPerMeasure = oTick0.m_oTimeSig.GetTicksPerMeasure();
    if (!QD_ASSERT(tTicksPerMeasure > 0))
        return -1;
    BYTE byTakeParams = bFresh ? NST_ALL_TRACKS_MASK : 0;
    if (bLimited && !bFresh)
    {
        byTakeParams = BYTE(byChosen & (rkoOptions.m_bTakeParams ? NST_ALL_TRACKS_MASK : ~PlayedTracks(*poStyleElem)));
        if (byTakeParams != 0)
            TakeStreamParams(roDecoder, *poStyleElem, byTakeParams, abyChannelMap, oTick0);
    }

    // The counting is for all tracks, or the chosen ones: one track's import
    // leaves the others' channels out by design.
    CNstImportStats* poStats = bAllTracks ? rkoOptions.m_poStats : nullptr;
    if (poStats)
    {
        *poStats = CNstImportStats();
        if (!bFresh)
            poStats->m_byParamsKept = BYTE(ParamsKept(roDecoder, *poStyleElem, abyChannelMap) & ~byTakeParams);
    }

    CImportOutputs oOutputs;
    const TTICK tMaxTick = tTicksPerMeasure * NST_IMPORT_MAX_MEASURES;
    CStyleMsgFilter oFilter(tMaxTick);
    std::unique_ptr<CImportCounter> poCounter;
    if (poStats)
        poCounter = std::make_unique<CImportCounter>(oFilter, tMaxTick, abyChannelMap, *poStats);
    CPropPattUnmerge oUnmerge(roDecoder, poCounter ? static_cast<CFilterOut*>(poCounter.get()) : &oFilter);
    SetUpOutputs(oUnmerge, rkoOptions, byChosen, rkoOptions.m_bWithMeta && !bLimited, oOutputs);
    const DWORD dwRefusedBefore = NoteInfoPool().GetRefusedCount();
    const TTICK tLength = oUnmerge.Unmerge(0, tMaxTick);
    const DWORD dwRefused = NoteInfoPool().GetRefusedCount() - dwRefusedBefore;
    if (poStats && oUnmerge.IsCut())
        CountPastCut(roDecoder, *poStats);

    if (bFresh)
        poStyleElem->SetTimeSig(oTick0.m_oTimeSig);
    CNstChordVar* poChordVar = poStyleElem->GetChordVar(byCvNr);
    // A chord variation that was already there (empty, as the element is
    // fresh) takes the new time signature as a new one would.
    if (bFresh)
        poChordVar->SetTimeSig(oTick0.m_oTimeSig);
    if (oOutputs.m_poMeta)
        poChordVar->SetMetaPattern(oOutputs.m_poMeta->GetBufferStart(), oOutputs.m_poMeta->GetBytesWritten());
    const TTICK tCvTicksPerMeasure = poChordVar->GetTicksPerMeasure();
    if (tCvTicksPerMeasure > 0)
    {
        const BYTE byMeasures = StreamMeasures(tLength, tCvTicksPerMeasure);
        const bool bFollow = bLimited ? byMeasures > poChordVar->GetMeasures() : rkoOptions.m_bFitLength;
        if (poChordVar->IsEmpty() || bFollow)
        {
            poChordVar->SetMeasures(byMeasures);
            poChordVar->SetLength(tCvTicksPerMeasure * byMeasures);
        }
    }

    // Each chosen track's pattern from its stream; a track-limited import
    // keeps what it replaces, to put back where the stream gave nothing.
    const auto fnStore = [&](CMemEncoder& roEncoder, BYTE byTrack) {
        return StoreTrack(roEncoder, byTrack, bFresh, NstHasTrack(byTakeParams, byTrack),
                          rkoOptions.m_bFitLength && !bLimited, oTick0, *poStyleElem, *poChordVar);
    };
    std::optional<CTrackLimit> aoReplaced[NST_NR_TRK];
    BYTE byOutputs = 0;
    BYTE byStored = 0;
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
    {
        CMemEncoder* poEncoder = oOutputs.m_apoTracks[byTrack].get();
        if (!poEncoder)
            continue;
        byOutputs = BYTE(byOutputs | 1u << byTrack);
        if (bLimited)
            aoReplaced[byTrack].emplace(*poChordVar, byTrack);
        if (fnStore(*poEncoder, byTrack))
            byStored = BYTE(byStored | 1u << byTrack);
    }
    // A stream that gave its tracks nothing but their setup at tick 0 (and
    // markers) is a chord variation all the same, as it was exported: the
    // bank keeps no chord variation without events, so the tracks that had
    // setup keep a stand-in for it and stay in use, taking the setup as
    // their parameters where the import gives them any.
    if (byStored == 0 && bAllTracks)
    {
        const BYTE bySetup = SetupTracks(roDecoder, *poStyleElem, byOutputs, abyChannelMap);
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            if (NstHasTrack(bySetup, byTrack) &&
                fnStore(*SetupStandIn(rkoOptions.m_abyChannels[byTrack], std::max<TTICK>(tLength, 1)), byTrack))
                byStored = BYTE(byStored | 1u << byTrack);
    }

    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
    {
        if (!aoReplaced[byTrack])
            continue;
        if (!NstHasTrack(byStored, byTrack))
        {
            aoReplaced[byTrack]->PutBack();
            if (poStats)
                poStats->m_byTracksKept = BYTE(poStats->m_byTracksKept | 1u << byTrack);
            continue;
        }
        // The stream's measures, rounded up to a divisor of the chord
        // variation's, the rest silence.
        CNstPattern* poPattern = poChordVar->GetPattern(byTrack);
        const BYTE byMeasures =
            poPattern->GetMeasures() > 0 ? FitPatternMeasures(bySeNr, byCvNr, byTrack, poPattern->GetMeasures()) : 0;
        const TTICK tTicks = poPattern->GetTicksPerMeasure() * byMeasures;
        if (poPattern->GetNrTicks() < tTicks)
            poPattern->SetLength(tTicks, true);
    }
    if (poStats)
    {
        // What the chord variation holds now; stored from the stream: the
        // chosen tracks that were not kept.
        const BYTE byStored = BYTE(byChosen & ~poStats->m_byTracksKept);
        DWORD dwStored = 0;
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            if (const CNstPattern* pkoPattern = poChordVar->FindPattern(byTrack))
            {
                poStats->m_adwNotes[byTrack] = NstCountPattern(*pkoPattern).m_dwNotes;
                if (byStored >> byTrack & 1u)
                    dwStored += poStats->m_adwNotes[byTrack];
            }
        // A refused note-on ends the encoding of the rest of its list, whose
        // notes never reach the tracer: what the tracks lack counts then.
        const DWORD dwRouted = poCounter->GetNotesRouted();
        if (dwRefused > 0)
            poStats->m_dwNotesNotHeld = std::max(dwRefused, dwRouted > dwStored ? dwRouted - dwStored : 0);
        poStats->m_byMeasures = poChordVar->GetMeasures();
    }
    return oTick0.m_sdwTempo;
}

#undef QD_REPORT_FILE
