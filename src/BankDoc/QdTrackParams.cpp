// QdTrackParams.cpp -- reading and setting the track parameters of the
// open style's elements.
//
// Running out of memory (QdCommandGuard.h): the values are written into
// the style with a copy of it taken before (CStyleBackup), as every edit
// of the open style is.
#include "BankDoc/QdTrackParams.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"

#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

namespace {

const char* const SET_TRACK = "Set Track Parameters";

bool InRange(const std::optional<int>& rkoiValue)
{
    return !rkoiValue || (*rkoiValue >= 0 && *rkoiValue <= QD_TRACK_PARAM_MAX);
}

// Set -- the value into the byte when one is given; true when it changed.
bool Set(const std::optional<int>& rkoiValue, BYTE& rbyTarget)
{
    if (!rkoiValue || rbyTarget == BYTE(*rkoiValue))
        return false;
    rbyTarget = BYTE(*rkoiValue);
    return true;
}

} // namespace

bool CQdTrackParamChange::IsEmpty() const
{
    return !m_oiProgram && !m_oiBankMsb && !m_oiBankLsb && !m_oiExpression;
}

bool CQdTrackParamChange::IsValid() const
{
    return InRange(m_oiProgram) && InRange(m_oiBankMsb) && InRange(m_oiBankLsb) && InRange(m_oiExpression);
}

// CQdTrackParamChange::ApplyTo -- every value is set, whichever changed.
bool CQdTrackParamChange::ApplyTo(CNstTrackParam& roParam) const
{
    const bool bProgram = Set(m_oiProgram, roParam.m_byProgram);
    const bool bMsb = Set(m_oiBankMsb, roParam.m_byBankMsb);
    const bool bLsb = Set(m_oiBankLsb, roParam.m_byBankLsb);
    const bool bExpression = Set(m_oiExpression, roParam.m_byExpression);
    return bProgram || bMsb || bLsb || bExpression;
}

// CQdBankDoc::GetTrackParams -- read through the style's finder, which
// creates nothing.
bool CQdBankDoc::GetTrackParams(BYTE bySe, BYTE byTrack, CNstTrackParam& roParam) const
{
    if (!m_poEditIfc || bySe >= NST_NR_STE || byTrack >= NST_NR_TRK)
        return false;
    const CNstStyleElem* pkoElement = m_poEditIfc->GetStyle().FindStyleElem(bySe);
    if (!pkoElement)
        return false;
    roParam = *pkoElement->GetTrackParam(byTrack);
    return true;
}

// CQdBankDoc::SetTrackParams -- everything is checked before the style is
// touched; an element named that the style lacks refuses the whole change.
bool CQdBankDoc::SetTrackParams(BYTE bySe, BYTE byTrack, const CQdTrackParamChange& rkoChange)
{
    return QdGuardCommand(m_roPrompt, SET_TRACK, false, [&] {
        m_roPrompt.StopPlayback();
        if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
            return false;
        if (byTrack >= NST_NR_TRK || (bySe >= NST_NR_STE && bySe != ALL_ELEMENTS))
            return false;
        if (rkoChange.IsEmpty())
        {
            m_roPrompt.Tell(SET_TRACK, "No track parameter given - nothing changed!");
            return false;
        }
        if (!rkoChange.IsValid())
        {
            m_roPrompt.Tell(SET_TRACK, "Track parameters take values 0-127 - nothing changed!");
            return false;
        }
        CNstQdIfc& roStyle = m_poEditIfc->GetStyle();
        if (bySe != ALL_ELEMENTS && !roStyle.HasStyleElem(bySe))
        {
            m_roPrompt.Tell(SET_TRACK, std::string("Style Element '") + ElementName(bySe) + "' not found in Style '" +
                                           m_astrStyleNames[std::size_t(m_iSelectedStyle)] + "'!");
            return false;
        }
        CStyleBackup oBackup(*this);
        bool bChanged = false;
        for (BYTE by = 0; by < NST_NR_STE; ++by)
            if ((bySe == ALL_ELEMENTS || by == bySe) && roStyle.HasStyleElem(by))
                bChanged = rkoChange.ApplyTo(*roStyle.GetStyleElem(by)->GetTrackParam(byTrack)) || bChanged;
        oBackup.Keep();
        if (bChanged)
            m_bStyleModified = true;
        return true;
    });
}

CQdTrackParamChange CQdTrackParamChange::Between(const CNstTrackParam& rkoBefore, const CNstTrackParam& rkoAfter)
{
    CQdTrackParamChange oChange;
    if (rkoAfter.m_byProgram != rkoBefore.m_byProgram)
        oChange.m_oiProgram = rkoAfter.m_byProgram;
    if (rkoAfter.m_byBankMsb != rkoBefore.m_byBankMsb)
        oChange.m_oiBankMsb = rkoAfter.m_byBankMsb;
    if (rkoAfter.m_byBankLsb != rkoBefore.m_byBankLsb)
        oChange.m_oiBankLsb = rkoAfter.m_byBankLsb;
    if (rkoAfter.m_byExpression != rkoBefore.m_byExpression)
        oChange.m_oiExpression = rkoAfter.m_byExpression;
    return oChange;
}
