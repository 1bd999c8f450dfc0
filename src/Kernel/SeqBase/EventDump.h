// EventDump.h -- text descriptions of events, as the decoders' event dump
// (CDecBase::PrintAllEvents) writes them.
//
// One line per event:
//   "\n" [ "%04d | " line number ] "T=%06d (%03d:%1d:%03d) " description
// with the tick, then measure, beat and tick in the beat counted in 4/4 (384
// ticks per quarter). The description names the class and the fields of the
// event; meta and system exclusive events add their data, in hex and as raw
// characters. Lines are cut to EVENT_DUMP_LINE_SIZE bytes.
#pragma once

#include "Base/QdTypes.h"

#include <cstddef>

class CEvent;

// Size of the text buffer of one line.
inline constexpr std::size_t EVENT_DUMP_LINE_SIZE = 1024;

// DescribeEvent -- writes the description of poEvent into pszText (nSize
// bytes, zero-terminated when nSize > 0) and returns its length. The text may
// hold raw data bytes other than zero.
std::size_t DescribeEvent(const CEvent* poEvent, char* pszText, std::size_t nSize);

// FormatEventLine -- the whole line of an event at tTick; iLineNr > 0 puts the
// line number in front. Returns the length of the line.
std::size_t FormatEventLine(const CEvent* poEvent, TTICK tTick, int iLineNr, char* pszLine, std::size_t nSize);
