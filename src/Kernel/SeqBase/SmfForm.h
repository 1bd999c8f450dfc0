// SmfForm.h -- bytes of the Standard MIDI File track format that the
// format-0 encoder, the track decoder and the file scan share.
#pragma once

#include "Base/QdTypes.h"
#include "Kernel/SeqBase/PropForm.h"

namespace SmfForm {

inline constexpr BYTE META_INTRODUCER = 0xFF;
inline constexpr BYTE SYSEX_INTRODUCER = 0xF0;
inline constexpr BYTE SYSEX_ESCAPE = 0xF7;
// The instrument's marker meta event (PROP_META_MARKER) travels in the file
// as a sequencer-specific event (type 0x7F) whose data start with 42 60.
inline constexpr BYTE MARKER_FILE_TYPE = 0x7F;
inline constexpr BYTE MARKER_ID_1 = 0x42;
inline constexpr BYTE MARKER_ID_2 = 0x60;
// Meta types the scan of a file reads.
inline constexpr BYTE META_TRACK_NAME = 0x03;
inline constexpr BYTE META_SET_TEMPO = 0x51;
inline constexpr BYTE META_TIME_SIGNATURE = 0x58;
// Longest variable-length number.
inline constexpr int VARLEN_MAX_BYTES = 4;

} // namespace SmfForm
