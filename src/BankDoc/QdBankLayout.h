// QdBankLayout.h -- the chunks at depth 1 of a style bank as the document
// opens, saves, describes and rescues them. A style slot holds one style
// container (QDI_ID_STYLE, NlzdStyle/QdRecords.h).
#pragma once

#include "Base/QdTypes.h"

// A style slot, compressed or not.
inline constexpr BYTE STYLE_SLOT_ID = 6;
// The style-name table: one record per listed style.
inline constexpr BYTE NAME_TABLE_ID = 5;
// The chunk-offset directory.
inline constexpr BYTE DIRECTORY_ID = 0xFE;
// Depth-1 chunks with ids up to this one are not listed in the directory.
inline constexpr BYTE LAST_UNLISTED_ID = 2;
// The directory's list of big-endian offsets starts behind four bytes that
// stay as they are; an entry is four bytes.
inline constexpr DWORD DIRECTORY_LIST_OFFSET = 4;
inline constexpr DWORD DIRECTORY_ENTRY_SIZE = 4;
