// QdTrackParams.h -- changing the voice of a track: the parameters each
// style element holds per track (expression, bank select MSB and LSB,
// program; CNstTrackParam), set on the open style.
//
// Until now a track's voice changed only through a MIDI file imported into
// an element that held no events yet, which takes the file's tick-0
// events. CQdBankDoc::SetTrackParams sets them directly: on one element or
// on every present one, only the values given, each 0-127. The change is
// the open style's like any other edit: it marks the style modified,
// reaches the bank through the write-back and is taken back by Undo.
// CQdBankDoc::GetTrackParams reads them for the views (qdstyle show
// --tracks; the names of the voices are in QdGmPrograms.h).
#pragma once

#include "Base/QdTypes.h"

#include <optional>

struct CNstTrackParam;

// Largest value of a track parameter (a MIDI data byte).
inline constexpr int QD_TRACK_PARAM_MAX = 127;

// CQdTrackParamChange -- the values to set; an empty one stays as it is.
// Values are ints so that a value out of range reaches the check instead of
// being cut to a byte on the way.
struct CQdTrackParamChange
{
    std::optional<int> m_oiProgram;
    std::optional<int> m_oiBankMsb;
    std::optional<int> m_oiBankLsb;
    std::optional<int> m_oiExpression;

    // CQdTrackParamChange::IsEmpty -- no value given.
    bool IsEmpty() const;
    // CQdTrackParamChange::IsValid -- every value given lies in 0-127.
    bool IsValid() const;
    // CQdTrackParamChange::ApplyTo -- the values given into the record;
    // true when one of them differed from what the record held.
    bool ApplyTo(CNstTrackParam& roParam) const;
    // CQdTrackParamChange::Between -- the values in which rkoAfter differs
    // from rkoBefore (a dialog's edit); empty when none does.
    static CQdTrackParamChange Between(const CNstTrackParam& rkoBefore, const CNstTrackParam& rkoAfter);
};
