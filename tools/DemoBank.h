// DemoBank.h -- demo style banks, built by the tool's own code.
//
// A style is built the way a user builds one: its chord-variation files are
// imported into a new style edit interface (CNstEditIfc::ImportFromSmf),
// which then writes the style in the instrument's stored form
// (BuildBankData with markers: shared patterns, sub-patterns). The bank is
// laid out as the instrument lays it out -- root, bank info chunk with the
// "VLMF" mark, style-name table, 64 style slots, chunk-offset directory --
// and saved by the bank document (CQdBankDoc::SaveBankTo), which compresses
// every style slot and fills in the directory.
//
// The bank info chunk's other bytes and the contents of empty slots are our
// own choice: the instrument's meaning for them is not known.
#pragma once

#include "Base/QdTypes.h"

#include <string>
#include <vector>

struct CDemoStyle;

// One of the 64 slots: a demo style under a name, or empty (m_iStyle -1).
struct CDemoSlot
{
    int m_iStyle = -1;
    std::string m_strName;
};

// What marker making did to one style: pattern chunks of the flat form (one
// per chord-variation track), chunks removed as duplicates, chunks added as
// sub-patterns, and the pattern chunks stored in the end.
struct CDemoStyleStats
{
    DWORD m_dwFlatPatterns = 0;
    DWORD m_dwShared = 0;
    DWORD m_dwSubPatterns = 0;
    DWORD m_dwStoredPatterns = 0;
};

// DemoBankSlots -- the bundled demo bank: the demo styles in some of the
// 64 slots, the others empty.
std::vector<CDemoSlot> DemoBankSlots();
// DemoFullBankSlots -- 64 styles: the demo styles in turn, numbered.
std::vector<CDemoSlot> DemoFullBankSlots();

// DemoBuildStyleChunk -- the style container chunk of the style, named
// rkstrName, in stored form (markers made) or flat form. False when an
// import or the writer failed.
bool DemoBuildStyleChunk(const CDemoStyle& rkoStyle, const std::string& rkstrName, bool bStoredForm,
                         std::vector<BYTE>& rabyChunk);

// DemoMarkerStats -- marker making's figures for a style container chunk in
// flat form (BuildBankData without markers).
CDemoStyleStats DemoMarkerStats(const std::vector<BYTE>& rkabyFlatChunk);

// DemoBuildBank -- the bank file's bytes for the slots. False when a style
// could not be built or the bank document refused the bank; rastrProblems
// then says why.
bool DemoBuildBank(const std::vector<CDemoSlot>& rkaoSlots, std::vector<BYTE>& rabyFile,
                   std::vector<std::string>& rastrProblems);

// DemoSaveBank -- the bank file's bytes for style container chunks made
// elsewhere: one chunk per slot (empty: an empty slot), named as the slots
// are (m_iStyle is not read), laid out and saved as DemoBuildBank does.
bool DemoSaveBank(const std::vector<CDemoSlot>& rkaoSlots, const std::vector<std::vector<BYTE>>& rkaoChunks,
                  std::vector<BYTE>& rabyFile, std::vector<std::string>& rastrProblems);
