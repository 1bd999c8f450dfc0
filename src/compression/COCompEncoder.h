// COCompEncoder.h -- the slot encoder's token stream: a greedy parse with
// one position of lookahead, and the tokens it writes.
#pragma once

#include "Base/QdTypes.h"

// COCompEncodeTokens -- writes the method-2 token stream of dwLength source
// bytes and its end marker from pbyOut on, never past pbyOutEnd. Returns
// the end of what was written, nullptr when the room ran out.
BYTE* COCompEncodeTokens(const BYTE* pbySource, DWORD dwLength, BYTE* pbyOut, BYTE* pbyOutEnd);
