// QdClipPart.h -- a style element or a chord variation on the clipboard.
//
// Copy and paste go through the system clipboard, so that they work within
// a style, between the styles of a bank and between two running windows.
// The private data hold the part as the bank stores it: the whole source
// style as its style container's chunk data (CNstEditIfc::BuildBankData,
// flat form), with the element and chord variation taken. A paste loads
// that style aside and copies the part with CQdBankDoc::CopyPart, whose
// rules (kinds, time signatures, lengths) then hold for a paste too. The
// whole style rather than the part alone: the copy machinery works between
// styles, and the element's settings (time signature, chord table, track
// parameters) come along as they would within a bank.
//
// Layout, all numbers little-endian:
//   8 bytes  "QdPart1" and a zero byte
//   1 byte   kind: 1 style element, 2 chord variation
//   1 byte   element (0 .. NST_NR_STE - 1), 1 byte chord variation
//            (0 .. NST_NR_CV - 1; for an element NST_NR_CV)
//   1 byte   tracks (bit n: track n; 0xFF all)
//   4 bytes  length of the source style's name (at most 255), the name
//   4 bytes  length of the style data (1 .. 0x300000), the data
// and nothing after. Anything else is refused as a whole.
#pragma once

#include "BankDoc/QdCopyPart.h"
#include "Base/QdTypes.h"

#include <cstddef>
#include <string>
#include <vector>

// The clipboard's private MIME type of the payload.
inline constexpr const char* QD_CLIP_MIME_TYPE = "application/x-qdstyletool-part";

struct CQdClipPart
{
    CQdPart m_oPart;
    BYTE m_byTracks = NST_ALL_TRACKS_MASK;
    std::string m_strStyleName;
    std::vector<BYTE> m_abyStyle;
};

// QdWriteClipPart -- the payload's bytes.
std::vector<BYTE> QdWriteClipPart(const CQdClipPart& rkoPart);
// QdReadClipPart -- the payload back, every length checked against the
// bytes there are; false (roPart untouched) for anything that is not a
// payload as written above.
bool QdReadClipPart(const BYTE* pkbyData, std::size_t uLength, CQdClipPart& roPart);
