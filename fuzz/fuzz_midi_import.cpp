// fuzz_midi_import.cpp -- a MIDI file imported into a chord variation.
//
// Input: one selector byte, then the MIDI file. The selector's low six bits
// choose the element and chord variation (index % 60, six chord variations
// per element); bit 6 starts from a small style made here (a drum and bass
// pattern imported into "Variation 1" and "Intro 1") instead of the empty
// new style; bit 7 imports the file a second time, into one track from any
// channel. Every chord variation the import touched is exported, all
// tracks and each track in use, and every exported file must be one the
// import accepts. Then the style is built as bank data in stored form and
// loaded again from it.
//
// When the first import and everything after it ran without a single
// report, and the chord variation holds events, two more promises hold:
// its exported file, imported into a new style, exports as the same file
// (unless it holds a note of 8192 ticks or more: the compact format keeps
// such a duration to a multiple of 16 ticks, and where notes of one key
// overlap, the import pairs a note-off with another note than the export
// wrote it for, so the rounding falls elsewhere; or unless a pattern holds
// a program change, bank select or expression at tick 0 -- an event a
// file of a finer resolution had a tick or two later: the export writes it
// among the track's setup at tick 0, where an import takes it as the
// setup's value, so the same sound comes back with one event fewer); and
// when the bank can hold it (a Variation, or the first two chord variations
// of another element), the style loaded from the bank data exports it as
// the same file too.
#include "FuzzSupport.h"
#include "SmfBytes.h"

#include "Kernel/RTEvents/LinkedEv.h"
#include "Kernel/SeqBase/CDecProp.h"
#include "Kernel/SeqBase/PropForm.h"
#include "MidiInOut/MidiInOut.h"
#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// HasLongNote -- a pattern of the chord variation holds a note whose
// duration the compact format rounds.
bool HasLongNote(const CNstEditIfc& rkoEdit, BYTE bySe, BYTE byCv)
{
    const CNstStyleElem* pkoElem = rkoEdit.GetStyle().FindStyleElem(bySe);
    const CNstChordVar* pkoChordVar = pkoElem ? pkoElem->FindChordVar(byCv) : nullptr;
    if (!pkoChordVar)
        return false;
    bool bLong = false;
    for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
    {
        const CNstPattern* pkoPattern = pkoChordVar->FindPattern(byPNr);
        if (!pkoPattern || !pkoChordVar->IsPatternInUse(byPNr))
            continue;
        CDecProp oDecoder(pkoPattern->GetData(), pkoPattern->GetDataLength());
        oDecoder.Rewind();
        for (DWORD dw = 0; dw <= pkoPattern->GetDataLength() && !oDecoder.IsEndOfStream(); ++dw)
        {
            CLinkedEvent* poList = nullptr;
            const TDELTA sdwDelta = oDecoder.ExtractEvents(poList);
            for (const CLinkedEvent* poEvent = poList; poEvent; poEvent = poEvent->Next())
                if (poEvent->GetClass() == EC_CHMSG && poEvent->GetCode() == EVSC_NOTE &&
                    poEvent->GetDuration() >= DUR_LONG_FLAG)
                    bLong = true;
            if (poList)
                FreeEventsList(poList);
            if (sdwDelta == NO_DELTA)
                break;
        }
    }
    return bLong;
}

// HasSetupEventAtTick0 -- a pattern of the chord variation holds, at tick
// 0, an event of a kind an import reads as the track's setup there.
bool HasSetupEventAtTick0(const CNstEditIfc& rkoEdit, BYTE bySe, BYTE byCv)
{
    constexpr BYTE CTRL_BANK_MSB = 0, CTRL_BANK_LSB = 32, CTRL_EXPRESSION = 11;
    const CNstStyleElem* pkoElem = rkoEdit.GetStyle().FindStyleElem(bySe);
    const CNstChordVar* pkoChordVar = pkoElem ? pkoElem->FindChordVar(byCv) : nullptr;
    if (!pkoChordVar)
        return false;
    bool bFound = false;
    for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
    {
        const CNstPattern* pkoPattern = pkoChordVar->FindPattern(byPNr);
        if (!pkoPattern || !pkoChordVar->IsPatternInUse(byPNr))
            continue;
        CDecProp oDecoder(pkoPattern->GetData(), pkoPattern->GetDataLength());
        TDELTA sdwDelta = oDecoder.Rewind();
        for (DWORD dw = 0; dw <= pkoPattern->GetDataLength() && sdwDelta == 0 && !oDecoder.IsEndOfStream(); ++dw)
        {
            CLinkedEvent* poList = nullptr;
            sdwDelta = oDecoder.ExtractEvents(poList);
            for (const CLinkedEvent* poEvent = poList; poEvent; poEvent = poEvent->Next())
            {
                const BYTE byController = poEvent->GetData1();
                const bool bSetupController = byController == CTRL_BANK_MSB || byController == CTRL_BANK_LSB ||
                                              byController == CTRL_EXPRESSION;
                if (poEvent->GetClass() == EC_CHMSG &&
                    (poEvent->GetCode() == EVSC_PRG_CHANGE ||
                     (poEvent->GetCode() == EVSC_CTRL_CHANGE && bSetupController)))
                    bFound = true;
            }
            if (poList)
                FreeEventsList(poList);
        }
    }
    return bFound;
}

std::vector<BYTE> ExportFile(CNstEditIfc& roEdit, BYTE bySe, BYTE byCv, BYTE byPNr)
{
    DWORD dwSize = 0;
    const std::unique_ptr<BYTE[]> pbyFile = roEdit.ExportToSmf(bySe, byCv, byPNr, dwSize);
    QdFuzz::Require((pbyFile != nullptr) == (dwSize != 0), "ExportToSmf: block and size disagree");
    return pbyFile ? std::vector<BYTE>(pbyFile.get(), pbyFile.get() + dwSize) : std::vector<BYTE>();
}

// ExportChordVar -- all tracks and each track in use; every file must open
// for an import. Gives back the file of all tracks.
std::vector<BYTE> ExportChordVar(CNstEditIfc& roEdit, BYTE bySe, BYTE byCv)
{
    std::vector<BYTE> abyAll;
    for (BYTE byTrack = 0; byTrack <= NST_NR_TRK; ++byTrack)
    {
        const BYTE byPNr = byTrack == NST_NR_TRK ? NST_ALL_TRACKS : byTrack;
        if (byPNr != NST_ALL_TRACKS && roEdit.GetPatternState(bySe, byCv, byPNr) == 0)
            continue;
        std::vector<BYTE> abyFile = ExportFile(roEdit, bySe, byCv, byPNr);
        if (abyFile.empty())
            continue;
        CMidiIn oCheck(abyFile.data(), DWORD(abyFile.size()));
        QdFuzz::Require(oCheck.Open(), "an exported MIDI file is not accepted by the import");
        if (byPNr == NST_ALL_TRACKS)
            abyAll = std::move(abyFile);
    }
    return abyAll;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QdFuzz::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbyInput, std::size_t uSize)
{
    if (uSize < 1 || uSize > (16u << 20))
        return 0;
    QdFuzz::CPoolBalance oBalance;
    const BYTE bySelector = pbyInput[0];
    const BYTE byIndex = BYTE((bySelector & 0x3F) % (NST_NR_STE * NST_NR_CV));
    const BYTE bySe = BYTE(byIndex / NST_NR_CV);
    const BYTE byCv = BYTE(byIndex % NST_NR_CV);
    // An exact-size copy: the sanitizer sees any read past the file.
    const DWORD dwFile = DWORD(uSize - 1);
    std::unique_ptr<BYTE[]> pbyFile(new BYTE[dwFile + (dwFile == 0)]);
    std::copy(pbyInput + 1, pbyInput + uSize, pbyFile.get());

    CNstEditIfc oEdit(nullptr, 0);
    if (bySelector & 0x40)
    {
        const std::vector<BYTE> abyBase = QdFuzz::SmfFile(384, QdFuzz::DrumAndBassTrack());
        oEdit.ImportFromSmf(abyBase.data(), DWORD(abyBase.size()), 0, 0, NST_ALL_TRACKS, false);
        oEdit.ImportFromSmf(abyBase.data(), DWORD(abyBase.size()), 4, 0, NST_ALL_TRACKS, false);
    }

    const long lReports = QdFuzz::s_lReports;
    std::vector<BYTE> abyExported;
    if (oEdit.ImportFromSmf(pbyFile.get(), dwFile, bySe, byCv, NST_ALL_TRACKS, false))
        abyExported = ExportChordVar(oEdit, bySe, byCv);
    const bool bCleanImport = QdFuzz::s_lReports == lReports && !abyExported.empty() &&
                              oEdit.GetChordVarState(bySe, byCv) == NST_STATE_EVENTS;
    if (bCleanImport && !HasLongNote(oEdit, bySe, byCv) && !HasSetupEventAtTick0(oEdit, bySe, byCv))
    {
        CNstEditIfc oAgain(nullptr, 0);
        // A tempo below the export's lowest is not written; it stays as it was.
        oAgain.SetTempo(oEdit.GetTempo());
        oAgain.ImportFromSmf(abyExported.data(), DWORD(abyExported.size()), bySe, byCv, NST_ALL_TRACKS, false);
        const std::vector<BYTE> abyAgain = ExportFile(oAgain, bySe, byCv, NST_ALL_TRACKS);
        if (QdFuzz::s_lReports == lReports)
            QdFuzz::Require(abyAgain == abyExported, "an exported file imports as another chord variation");
    }
    if (bySelector & 0x80)
    {
        const BYTE byOtherCv = BYTE((byCv + 1) % NST_NR_CV);
        if (oEdit.ImportFromSmf(pbyFile.get(), dwFile, bySe, byOtherCv, BYTE(byIndex % NST_NR_TRK), true))
            ExportChordVar(oEdit, bySe, byOtherCv);
    }

    DWORD dwBank = 0;
    const std::unique_ptr<BYTE[]> pbyBank = oEdit.BuildBankData(true, dwBank);
    QdFuzz::Require((pbyBank != nullptr) == (dwBank != 0), "BuildBankData: block and size disagree");
    if (pbyBank)
    {
        CNstEditIfc oReloaded(pbyBank.get(), dwBank);
        oReloaded.SetTempo(oEdit.GetTempo());
        for (BYTE bySeNr = 0; bySeNr < NST_NR_STE; ++bySeNr)
            for (BYTE byCvNr = 0; byCvNr < NST_NR_CV; ++byCvNr)
                if (oReloaded.GetChordVarState(bySeNr, byCvNr) != NST_STATE_ABSENT)
                    ExportChordVar(oReloaded, bySeNr, byCvNr);
        if (bCleanImport && (bySe < 4 || byCv < 2) && QdFuzz::s_lReports == lReports)
            QdFuzz::Require(ExportFile(oReloaded, bySe, byCv, NST_ALL_TRACKS) == abyExported,
                            "the chord variation exports otherwise from the bank data");
    }
    return 0;
}
