// QdCopyPart.cpp -- the copy of a style, an element or a chord variation
// into the open style (QdCopyPart.h).
//
// Everything is checked first (the kinds of the parts, the source part,
// the destination, the time signatures), so that a refused copy changes
// nothing; the copy itself runs with a copy of the open style taken before
// (CStyleBackup), so that running out of memory halfway leaves it as it was.
#include "BankDoc/QdCopyPart.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"

#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <utility>

namespace {

const char* const COPY_PART = "Copy";

std::string TimeSigText(const CNstTimeSig& rkoTimeSig)
{
    return std::to_string(rkoTimeSig.m_byNumerator) + "/" + std::to_string(rkoTimeSig.GetDenominator());
}

// CCopyPlan -- the steps of a copy, worked out on the styles as they are
// before it; the same walk then does the copy (DoCopy).
class CCopyPlan
{
public:
    CCopyPlan(const CNstStyle& rkoSource, const CNstStyle& rkoTarget, BYTE byTracks)
        : m_rkoSource(rkoSource), m_rkoTarget(rkoTarget), m_bAllTracks(byTracks == NST_ALL_TRACKS_MASK)
    {
    }

    // The chord variations of a source element into those of the same
    // numbers of the target element.
    void Element(BYTE bySeFrom, BYTE bySeTo)
    {
        const CNstStyleElem* pkoFrom = m_rkoSource.FindStyleElem(bySeFrom);
        const CNstStyleElem* pkoTo = m_rkoTarget.FindStyleElem(bySeTo);
        for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
        {
            if (pkoFrom && pkoFrom->HasChordVar(byCv))
                m_aoSteps.push_back({QD_COPY_COPIED, bySeFrom, byCv, bySeTo, byCv});
            else if (pkoTo && pkoTo->HasChordVar(byCv))
                m_aoSteps.push_back({m_bAllTracks ? QD_COPY_DELETED : QD_COPY_CLEARED, bySeFrom, byCv, bySeTo, byCv});
        }
    }

    void ChordVar(const CQdPart& rkoFrom, const CQdPart& rkoTo)
    {
        m_aoSteps.push_back({QD_COPY_COPIED, rkoFrom.m_bySe, rkoFrom.m_byCv, rkoTo.m_bySe, rkoTo.m_byCv});
    }

    std::vector<CQdCopyStep>& Steps() { return m_aoSteps; }

private:
    const CNstStyle& m_rkoSource;
    const CNstStyle& m_rkoTarget;
    bool m_bAllTracks;
    std::vector<CQdCopyStep> m_aoSteps;
};

// CopyTrackParams -- the chosen tracks' parameters of the source element:
// the voice belongs to the track's patterns of the whole element.
void CopyTrackParams(CNstStyleElem& roTarget, const CNstStyleElem& rkoSource, BYTE byTracks)
{
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        if (NstHasTrack(byTracks, byTrack))
            *roTarget.GetTrackParam(byTrack) = *rkoSource.GetTrackParam(byTrack);
}

// ClearElementTracks -- the chosen tracks of every chord variation of the
// element cleared (a whole-style copy whose source lacks the element).
void ClearElementTracks(CNstStyleElem& roTarget, BYTE byTracks)
{
    for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
        for (BYTE byTrack = 0; roTarget.HasChordVar(byCv) && byTrack < NST_NR_TRK; ++byTrack)
            if (NstHasTrack(byTracks, byTrack))
                roTarget.GetChordVar(byCv)->ClearPattern(byTrack);
}

// CopyTrackStyles -- the track modes and flags of the tracks of the set.
void CopyTrackStyles(CNstStyle& roTarget, const CNstStyle& rkoSource, BYTE byTracks)
{
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        if (NstHasTrack(byTracks, byTrack))
            *roTarget.GetTrackStyle(byTrack) = *rkoSource.GetTrackStyle(byTrack);
}

// DoCopy -- the copy of the request's parts from rkoSource into roTarget,
// whose name stays its own. Each element and chord variation is copied
// with one call of the model, which judges whether it is empty before any
// of its tracks changes. A target that held no events takes every track's
// mode and flag, as the model's copy of a style into an empty one does.
void DoCopy(CNstStyle& roTarget, const CNstStyle& rkoSource, const CQdCopyRequest& rkoRequest)
{
    const CQdPart& rkoFrom = rkoRequest.m_oFrom;
    const CQdPart& rkoTo = rkoRequest.m_oTo;
    const BYTE byTracks = rkoRequest.m_byTracks;
    const bool bAllTracks = byTracks == NST_ALL_TRACKS_MASK;
    const bool bTargetEmpty = roTarget.IsEmpty();
    if (rkoFrom.IsStyle() && bAllTracks)
    {
        char szName[NST_NAME_SIZE] = {};
        roTarget.GetName(szName, NST_NAME_SIZE - 1);
        roTarget.CopyFrom(rkoSource, NST_NR_STE, NST_NR_CV, NST_NR_TRK, 0, 0, 0);
        roTarget.SetName(szName);
    }
    else if (rkoFrom.IsStyle())
    {
        for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
        {
            if (const CNstStyleElem* pkoElement = rkoSource.FindStyleElem(bySe))
            {
                CNstStyleElem& roElement = *roTarget.GetStyleElem(bySe);
                roElement.CopyTracksFrom(*pkoElement, NST_NR_CV, 0, byTracks);
                CopyTrackParams(roElement, *pkoElement, byTracks);
            }
            else if (roTarget.HasStyleElem(bySe))
                ClearElementTracks(*roTarget.GetStyleElem(bySe), byTracks);
        }
        CopyTrackStyles(roTarget, rkoSource, byTracks);
    }
    else
    {
        const CNstStyleElem& rkoElement = *rkoSource.FindStyleElem(rkoFrom.m_bySe);
        CNstStyleElem& roElement = *roTarget.GetStyleElem(rkoTo.m_bySe);
        roElement.CopyTracksFrom(rkoElement, rkoFrom.m_byCv, rkoTo.m_byCv, byTracks);
        if (rkoFrom.IsElement())
            CopyTrackParams(roElement, rkoElement, byTracks);
    }
    if (bTargetEmpty)
        CopyTrackStyles(roTarget, rkoSource, NST_ALL_TRACKS_MASK);
}

// LeftOutLines -- the copied chord variations that hold events beyond
// what their element keeps in the bank, one line per element (the steps of
// an element are neighbours).
std::vector<std::string> LeftOutLines(const std::vector<CQdCopyStep>& rkaoSteps, const CNstStyle& rkoTarget)
{
    std::vector<std::pair<BYTE, std::string>> aoNamesByElement;
    for (const CQdCopyStep& rkoStep : rkaoSteps)
    {
        const CNstStyleElem* pkoElement = rkoTarget.FindStyleElem(rkoStep.m_bySeTo);
        const CNstChordVar* pkoChordVar = pkoElement ? pkoElement->FindChordVar(rkoStep.m_byCvTo) : nullptr;
        if (rkoStep.m_eStep != QD_COPY_COPIED || rkoStep.m_byCvTo < CNstQdIfc::ChordVarLimit(rkoStep.m_bySeTo) ||
            !pkoChordVar || pkoChordVar->IsEmpty())
            continue;
        const std::string strName = QdChordVarName(rkoStep.m_bySeFrom, rkoStep.m_byCvFrom);
        if (aoNamesByElement.empty() || aoNamesByElement.back().first != rkoStep.m_bySeTo)
            aoNamesByElement.emplace_back(rkoStep.m_bySeTo, strName);
        else
            aoNamesByElement.back().second += ", " + strName;
    }
    std::vector<std::string> astrLines;
    for (const auto& [bySe, rkstrNames] : aoNamesByElement)
        astrLines.push_back("left out: " + rkstrNames + " (" + CQdBankDoc::ElementName(bySe) + " holds " +
                            std::to_string(CNstQdIfc::ChordVarLimit(bySe)) + ")");
    return astrLines;
}

// FindChordVar -- the chord variation, null when it or its element is absent.
const CNstChordVar* FindChordVar(const CNstStyle& rkoStyle, BYTE bySe, BYTE byCv)
{
    return rkoStyle.HasChordVar(bySe, byCv) ? rkoStyle.FindStyleElem(bySe)->FindChordVar(byCv) : nullptr;
}

// TimeSigConflict -- each destination element that holds events keeps its
// time signature, so the source element must have the same; the first
// that differs in words, else empty.
std::string TimeSigConflict(const CNstStyle& rkoFrom, const CNstStyle& rkoTo, const CQdCopyRequest& rkoRequest,
                            const std::string& rkstrTargetName)
{
    for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
    {
        if (!rkoRequest.m_oTo.IsStyle() && bySe != rkoRequest.m_oTo.m_bySe)
            continue;
        const BYTE bySeFrom = rkoRequest.m_oFrom.IsStyle() ? bySe : rkoRequest.m_oFrom.m_bySe;
        const CNstStyleElem* pkoFrom = rkoFrom.FindStyleElem(bySeFrom);
        const CNstStyleElem* pkoTo = rkoTo.FindStyleElem(bySe);
        if (!pkoFrom || !pkoTo || pkoTo->IsEmpty() || pkoFrom->GetTimeSig() == pkoTo->GetTimeSig())
            continue;
        return std::string("Time signatures differ: ") + CQdBankDoc::ElementName(bySeFrom) + " of '" +
               rkoRequest.m_strSourceName + "' is " + TimeSigText(pkoFrom->GetTimeSig()) + ", " +
               CQdBankDoc::ElementName(bySe) + " of '" + rkstrTargetName + "' is " + TimeSigText(pkoTo->GetTimeSig());
    }
    return std::string();
}

// LengthConflict -- chosen tracks go into a destination chord variation
// that holds events without changing its length, so the source chord
// variation's length must divide it (the tracks repeat), or they would be
// cut; the first that does not fit in words, else empty.
std::string LengthConflict(const CNstStyle& rkoFrom, const CNstStyle& rkoTo, const CQdCopyRequest& rkoRequest,
                           const std::string& rkstrTargetName)
{
    if (rkoRequest.m_byTracks == NST_ALL_TRACKS_MASK)
        return std::string();
    const CQdPart& rkoFromPart = rkoRequest.m_oFrom;
    const CQdPart& rkoToPart = rkoRequest.m_oTo;
    for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
        for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
        {
            if ((!rkoToPart.IsStyle() && bySe != rkoToPart.m_bySe) ||
                (rkoToPart.IsChordVar() && byCv != rkoToPart.m_byCv))
                continue;
            const BYTE bySeFrom = rkoFromPart.IsStyle() ? bySe : rkoFromPart.m_bySe;
            const BYTE byCvFrom = rkoFromPart.IsChordVar() ? rkoFromPart.m_byCv : byCv;
            const CNstChordVar* pkoFrom = FindChordVar(rkoFrom, bySeFrom, byCvFrom);
            const CNstChordVar* pkoTo = FindChordVar(rkoTo, bySe, byCv);
            if (!pkoFrom || !pkoTo || pkoTo->IsEmpty() ||
                (pkoFrom->GetLength() != 0 && pkoTo->GetLength() % pkoFrom->GetLength() == 0))
                continue;
            return "Lengths do not fit: " + QdChordVarName(bySeFrom, byCvFrom) + " of '" + rkoRequest.m_strSourceName +
                   "' has " + std::to_string(pkoFrom->GetMeasures()) + " measures, " + QdChordVarName(bySe, byCv) +
                   " of '" + rkstrTargetName + "' " + std::to_string(pkoTo->GetMeasures()) +
                   "; tracks go only into a chord variation they repeat evenly in";
        }
    return std::string();
}

} // namespace

std::string QdChordVarName(BYTE bySe, BYTE byCv)
{
    if (const char* pszName = CQdBankDoc::StandardName(CQdBankDoc::StandardNameIndex(bySe, byCv)))
        return pszName;
    return std::string(CQdBankDoc::ElementName(bySe)) + " chord variation " + std::to_string(byCv + 1);
}

// CQdBankDoc::CopyOfStyle -- the open style is copied with its changes;
// any other is loaded from the bank block as a selection would load it (its
// damage is not recorded: the copy is only read).
bool CQdBankDoc::CopyOfStyle(int iStyle, std::unique_ptr<CNstEditIfc>& rpoCopy)
{
    return QdGuardCommand(m_roPrompt, COPY_PART, false, [&] {
        rpoCopy.reset();
        if (!IsBankOpen() || iStyle < 0 || iStyle >= GetStyleCount())
            return false;
        if (iStyle == m_iSelectedStyle && m_poEditIfc)
            rpoCopy = m_poEditIfc->Clone();
        else
            rpoCopy = std::move(LoadSelection(iStyle).m_poEditIfc);
        return rpoCopy != nullptr;
    });
}

// CQdBankDoc::CopyPart -- the source may be the open style itself: it is
// then copied first, so that the copy never reads what it is overwriting.
bool CQdBankDoc::CopyPart(const CNstEditIfc& rkoSource, const CQdCopyRequest& rkoRequest, CQdCopyReport& roReport)
{
    return QdGuardCommand(m_roPrompt, COPY_PART, false, [&] {
        roReport = CQdCopyReport();
        m_roPrompt.StopPlayback();
        if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
            return false;
        const CQdPart& rkoFrom = rkoRequest.m_oFrom;
        const CQdPart& rkoTo = rkoRequest.m_oTo;
        const std::string& rkstrTargetName = m_astrStyleNames[std::size_t(m_iSelectedStyle)];
        if (rkoFrom.IsStyle() != rkoTo.IsStyle() || rkoFrom.IsElement() != rkoTo.IsElement())
        {
            m_roPrompt.Tell(COPY_PART, "A style goes over a style, an element over an element, a chord variation "
                                       "over a chord variation - nothing copied!");
            return false;
        }
        if (rkoRequest.m_byTracks == 0)
        {
            m_roPrompt.Tell(COPY_PART, "No track chosen - nothing copied!");
            return false;
        }
        if (rkoTo.IsChordVar() && StandardNameIndex(rkoTo.m_bySe, rkoTo.m_byCv) < 0)
        {
            m_roPrompt.Tell(COPY_PART, QdChordVarName(rkoTo.m_bySe, rkoTo.m_byCv) +
                                           " has no standard name and is not kept in a bank - nothing copied!");
            return false;
        }
        std::unique_ptr<CNstEditIfc> poOwnCopy;
        if (&rkoSource == m_poEditIfc.get())
            poOwnCopy = m_poEditIfc->Clone();
        const CNstStyle& rkoFromStyle = poOwnCopy ? poOwnCopy->GetStyle() : rkoSource.GetStyle();
        CNstQdIfc& roToStyle = m_poEditIfc->GetStyle();

        // The source part must be there.
        if (!rkoFrom.IsStyle() && !rkoFromStyle.HasStyleElem(rkoFrom.m_bySe))
        {
            m_roPrompt.Tell(COPY_PART, std::string("Style Element '") + ElementName(rkoFrom.m_bySe) +
                                           "' not found in Style '" + rkoRequest.m_strSourceName + "'!");
            return false;
        }
        if (rkoFrom.IsChordVar() && !rkoFromStyle.HasChordVar(rkoFrom.m_bySe, rkoFrom.m_byCv))
        {
            m_roPrompt.Tell(COPY_PART, "Chord Variation '" + QdChordVarName(rkoFrom.m_bySe, rkoFrom.m_byCv) +
                                           "' not found in Style '" + rkoRequest.m_strSourceName + "'!");
            return false;
        }

        std::string strConflict = TimeSigConflict(rkoFromStyle, roToStyle, rkoRequest, rkstrTargetName);
        if (strConflict.empty())
            strConflict = LengthConflict(rkoFromStyle, roToStyle, rkoRequest, rkstrTargetName);
        if (!strConflict.empty())
        {
            m_roPrompt.Tell(COPY_PART, strConflict + " - nothing copied!");
            return false;
        }

        const CQdWaitScope oWait(m_roPrompt);
        CCopyPlan oPlan(rkoFromStyle, roToStyle, rkoRequest.m_byTracks);
        if (rkoFrom.IsStyle())
            for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
                oPlan.Element(bySe, bySe);
        else if (rkoFrom.IsElement())
            oPlan.Element(rkoFrom.m_bySe, rkoTo.m_bySe);
        else
            oPlan.ChordVar(rkoFrom, rkoTo);

        CStyleBackup oBackup(*this);
        DoCopy(roToStyle, rkoFromStyle, rkoRequest);
        EnsureFirstElement(*m_poEditIfc, COPY_PART);
        std::vector<std::string> astrLeftOut = LeftOutLines(oPlan.Steps(), roToStyle);
        oBackup.Keep();
        // From here on nothing can fail.
        roReport.m_aoSteps.swap(oPlan.Steps());
        roReport.m_astrLeftOut.swap(astrLeftOut);
        roReport.m_byTracks = rkoRequest.m_byTracks;
        m_bStyleModified = true;
        return true;
    });
}
