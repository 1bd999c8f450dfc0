// QdGmPrograms.cpp -- the General MIDI program names.
#include "BankDoc/QdGmPrograms.h"

#include "BankDoc/QdDocText.h"

namespace {

// The General MIDI Level 1 sound set, in program order, as the MIDI
// Manufacturers Association names it.
const char* const s_apszGmPrograms[QD_GM_PROGRAMS] = {
    // Piano
    "Acoustic Grand Piano", "Bright Acoustic Piano", "Electric Grand Piano", "Honky-tonk Piano", "Electric Piano 1",
    "Electric Piano 2", "Harpsichord", "Clavi",
    // Chromatic percussion
    "Celesta", "Glockenspiel", "Music Box", "Vibraphone", "Marimba", "Xylophone", "Tubular Bells", "Dulcimer",
    // Organ
    "Drawbar Organ", "Percussive Organ", "Rock Organ", "Church Organ", "Reed Organ", "Accordion", "Harmonica",
    "Tango Accordion",
    // Guitar
    "Acoustic Guitar (nylon)", "Acoustic Guitar (steel)", "Electric Guitar (jazz)", "Electric Guitar (clean)",
    "Electric Guitar (muted)", "Overdriven Guitar", "Distortion Guitar", "Guitar harmonics",
    // Bass
    "Acoustic Bass", "Electric Bass (finger)", "Electric Bass (pick)", "Fretless Bass", "Slap Bass 1", "Slap Bass 2",
    "Synth Bass 1", "Synth Bass 2",
    // Strings
    "Violin", "Viola", "Cello", "Contrabass", "Tremolo Strings", "Pizzicato Strings", "Orchestral Harp", "Timpani",
    // Ensemble
    "String Ensemble 1", "String Ensemble 2", "SynthStrings 1", "SynthStrings 2", "Choir Aahs", "Voice Oohs",
    "Synth Voice", "Orchestra Hit",
    // Brass
    "Trumpet", "Trombone", "Tuba", "Muted Trumpet", "French Horn", "Brass Section", "SynthBrass 1", "SynthBrass 2",
    // Reed
    "Soprano Sax", "Alto Sax", "Tenor Sax", "Baritone Sax", "Oboe", "English Horn", "Bassoon", "Clarinet",
    // Pipe
    "Piccolo", "Flute", "Recorder", "Pan Flute", "Blown Bottle", "Shakuhachi", "Whistle", "Ocarina",
    // Synth lead
    "Lead 1 (square)", "Lead 2 (sawtooth)", "Lead 3 (calliope)", "Lead 4 (chiff)", "Lead 5 (charang)",
    "Lead 6 (voice)", "Lead 7 (fifths)", "Lead 8 (bass + lead)",
    // Synth pad
    "Pad 1 (new age)", "Pad 2 (warm)", "Pad 3 (polysynth)", "Pad 4 (choir)", "Pad 5 (bowed)", "Pad 6 (metallic)",
    "Pad 7 (halo)", "Pad 8 (sweep)",
    // Synth effects
    "FX 1 (rain)", "FX 2 (soundtrack)", "FX 3 (crystal)", "FX 4 (atmosphere)", "FX 5 (brightness)",
    "FX 6 (goblins)", "FX 7 (echoes)", "FX 8 (sci-fi)",
    // Ethnic
    "Sitar", "Banjo", "Shamisen", "Koto", "Kalimba", "Bag pipe", "Fiddle", "Shanai",
    // Percussive
    "Tinkle Bell", "Agogo", "Steel Drums", "Woodblock", "Taiko Drum", "Melodic Tom", "Synth Drum", "Reverse Cymbal",
    // Sound effects
    "Guitar Fret Noise", "Breath Noise", "Seashore", "Bird Tweet", "Telephone Ring", "Helicopter", "Applause",
    "Gunshot",
};

// The General MIDI Level 1 percussion key map, keys 35 to 81, as the MIDI
// Manufacturers Association names them.
const char* const s_apszGmDrums[QD_GM_LAST_DRUM - QD_GM_FIRST_DRUM + 1] = {
    "Acoustic Bass Drum", "Bass Drum 1", "Side Stick", "Acoustic Snare", "Hand Clap", "Electric Snare",
    "Low Floor Tom", "Closed Hi Hat", "High Floor Tom", "Pedal Hi-Hat", "Low Tom", "Open Hi-Hat", "Low-Mid Tom",
    "Hi-Mid Tom", "Crash Cymbal 1", "High Tom", "Ride Cymbal 1", "Chinese Cymbal", "Ride Bell", "Tambourine",
    "Splash Cymbal", "Cowbell", "Crash Cymbal 2", "Vibraslap", "Ride Cymbal 2", "Hi Bongo", "Low Bongo",
    "Mute Hi Conga", "Open Hi Conga", "Low Conga", "High Timbale", "Low Timbale", "High Agogo", "Low Agogo",
    "Cabasa", "Maracas", "Short Whistle", "Long Whistle", "Short Guiro", "Long Guiro", "Claves", "Hi Wood Block",
    "Low Wood Block", "Mute Cuica", "Open Cuica", "Mute Triangle", "Open Triangle",
};

// The tracks whose program selects a drum kit.
constexpr BYTE DRUM_TRACK = 0;
constexpr BYTE PERCUSSION_TRACK = 1;

} // namespace

const char* QdGmProgramName(BYTE byProgram)
{
    return byProgram < QD_GM_PROGRAMS ? s_apszGmPrograms[byProgram] : "";
}

const char* QdGmDrumName(BYTE byKey)
{
    return byKey >= QD_GM_FIRST_DRUM && byKey <= QD_GM_LAST_DRUM ? s_apszGmDrums[byKey - QD_GM_FIRST_DRUM] : "";
}

bool QdIsDrumTrack(BYTE byTrack)
{
    return byTrack == DRUM_TRACK || byTrack == PERCUSSION_TRACK;
}

std::string QdVoiceName(BYTE byTrack, BYTE byProgram)
{
    return QdIsDrumTrack(byTrack) ? std::string("drum kit") : std::string(QdGmProgramName(byProgram));
}

// QdFindGmProgram -- compared lower-cased; a whole name first, then the
// names the text begins.
int QdFindGmProgram(const std::string& rkstrName, std::vector<std::string>& rastrCandidates)
{
    rastrCandidates.clear();
    const std::size_t uFirst = rkstrName.find_first_not_of(' ');
    if (uFirst == std::string::npos)
        return -1;
    const std::size_t uLast = rkstrName.find_last_not_of(' ');
    const std::string strName = QdDocText::LowerCase(rkstrName.substr(uFirst, uLast - uFirst + 1));
    int iFound = -1;
    for (int i = 0; i < QD_GM_PROGRAMS; ++i)
    {
        const std::string strProgram = QdDocText::LowerCase(s_apszGmPrograms[i]);
        if (strProgram == strName)
        {
            rastrCandidates.clear();
            return i;
        }
        if (strProgram.compare(0, strName.size(), strName) == 0)
        {
            iFound = i;
            rastrCandidates.emplace_back(s_apszGmPrograms[i]);
        }
    }
    // None, or a start that several names share: the candidates stay.
    if (rastrCandidates.size() != 1)
        return -1;
    rastrCandidates.clear();
    return iFound;
}
