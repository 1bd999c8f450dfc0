// QdChannelRouting.h -- which channels of a style's MIDI file sound as drum
// kits in FluidSynth.
//
// A style's tracks carry bank select MSB 120 for the rhythm tracks (Drum,
// Percussion) and 121 for the melodic ones, as General MIDI 2 does.
// FluidSynth knows no such banks: by default it takes MSB 120 on any channel
// but 10 as a melodic bank that does not exist, and plays the Percussion
// track with a piano. So the synthesizer ignores bank select ("gm" mode) and
// the channel type says drum or melodic instead: the channels of the rhythm
// tracks are drum channels always, any other channel becomes one with MSB
// 120 and melodic again with another MSB (121: the General MIDI bank). A drum
// channel takes its program changes from bank 128, the drum kits.
#pragma once

#include <fluidsynth/types.h>

#include <atomic>
#include <cstdint>

// CQdRouting -- the playback callback's data: the synthesizer, and the
// channels muted (bit n: channel n, 0-based), which the window changes
// while FluidSynth's thread reads them.
struct CQdRouting
{
    fluid_synth_t* m_poSynth = nullptr;
    std::atomic<std::uint16_t> m_wMuted{0};
};

// QdPrepareRoutingSettings -- the settings of a synthesizer that routes
// channels this way (before it is created).
void QdPrepareRoutingSettings(fluid_settings_t* poSettings);

// QdResetChannelTypes -- every channel melodic but the rhythm tracks'.
void QdResetChannelTypes(fluid_synth_t* poSynth);

// QdRouteEvent -- FluidSynth's playback callback (handler data: a
// CQdRouting): a bank select MSB sets the channel's type, a note on of a
// muted channel is dropped, then the event goes to the synthesizer as it
// would without the callback.
int QdRouteEvent(void* pvRouting, fluid_midi_event_t* poEvent);
