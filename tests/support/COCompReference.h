// COCompReference.h -- the slot encoder as it was before its match finder
// was rewritten: the reference that COComp::Encode must meet byte for byte.
#pragma once

#include "Base/QdTypes.h"

// COCompReferenceEncode -- what COComp::Encode wrote: the same arguments,
// the same results (the bytes written, 0 for an invalid version or method or
// when the output room would not suffice).
DWORD COCompReferenceEncode(const BYTE* pbySource, DWORD dwLength, BYTE* pbyOutput, DWORD dwCapacity,
                            BYTE byVersion, BYTE byMethod);
