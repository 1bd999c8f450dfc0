// QdChannelRouting.cpp -- drum and melodic channels of a style's MIDI file.
#include "QdChannelRouting.h"

#include "NlzdStyle/NstEditIfc.h"

#include <fluidsynth.h>

namespace
{
constexpr int NR_CHANNELS = 16;
constexpr int STATUS_NOTE_ON = 0x90;
constexpr int STATUS_CONTROL_CHANGE = 0xB0;
constexpr int STATUS_PROGRAM_CHANGE = 0xC0;
constexpr int CTRL_BANK_MSB = 0;
constexpr int RHYTHM_BANK_MSB = 120;
// Tracks 0 and 1, Drum and Percussion, are the style's rhythm tracks.
constexpr BYTE RHYTHM_TRACKS[] = {0, 1};

// Soundfont banks: the drum kits, and the General MIDI instruments.
constexpr int DRUM_KIT_BANK = 128;
constexpr int GENERAL_MIDI_BANK = 0;

bool IsRhythmChannel(int iChannel)
{
    for (BYTE byTrack : RHYTHM_TRACKS)
        if (NST_TRACK_CHANNELS[byTrack] == iChannel)
            return true;
    return false;
}

// SetDrums -- the channel's type and its soundfont bank: in "gm" mode a
// program change keeps the channel's bank, which only the bank select call
// sets (the channel type alone leaves a melodic bank in place).
void SetDrums(fluid_synth_t* poSynth, int iChannel, bool bDrums)
{
    fluid_synth_set_channel_type(poSynth, iChannel, bDrums ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
    fluid_synth_bank_select(poSynth, iChannel, bDrums ? DRUM_KIT_BANK : GENERAL_MIDI_BANK);
}
} // namespace

void QdPrepareRoutingSettings(fluid_settings_t* poSettings)
{
    fluid_settings_setstr(poSettings, "synth.midi-bank-select", "gm");
}

void QdResetChannelTypes(fluid_synth_t* poSynth)
{
    for (int iChannel = 0; iChannel < NR_CHANNELS; ++iChannel)
        SetDrums(poSynth, iChannel, IsRhythmChannel(iChannel));
}

// QdRouteEvent -- the type is set again by every bank select, and for a
// rhythm track's channel by its program change too: a synthesizer reset
// between two files makes every channel but 10 melodic.
int QdRouteEvent(void* pvRouting, fluid_midi_event_t* poEvent)
{
    const CQdRouting* pkoRouting = static_cast<const CQdRouting*>(pvRouting);
    fluid_synth_t* poSynth = pkoRouting->m_poSynth;
    const int iType = fluid_midi_event_get_type(poEvent);
    const int iChannel = fluid_midi_event_get_channel(poEvent);
    // Only notes are held back: the controllers and programs of a muted
    // track still set its channel, so that it sounds right when heard again.
    if (iType == STATUS_NOTE_ON && iChannel >= 0 && iChannel < NR_CHANNELS &&
        (pkoRouting->m_wMuted.load() >> iChannel) & 1)
        return FLUID_OK;
    const bool bBankMsb = iType == STATUS_CONTROL_CHANGE && fluid_midi_event_get_control(poEvent) == CTRL_BANK_MSB;
    if (IsRhythmChannel(iChannel) && (bBankMsb || iType == STATUS_PROGRAM_CHANGE))
        SetDrums(poSynth, iChannel, true);
    else if (bBankMsb)
        SetDrums(poSynth, iChannel, fluid_midi_event_get_value(poEvent) == RHYTHM_BANK_MSB);
    return fluid_synth_handle_midi_event(poSynth, poEvent);
}
