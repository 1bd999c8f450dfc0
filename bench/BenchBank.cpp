// BenchBank.cpp -- 64 large styles through the edit interface, each in the
// instrument's stored form (BuildBankData with markers), in a bank laid out
// and saved by DemoSaveBank.
//
// A style is made as the style benchmark makes its style: measures of
// notes on a grid, repeated or changed from measure to measure, the Drum
// pattern shared by the chord variations of an element. The density is set
// so that 64 styles fill about 3 MB of the 3 MB bank block, as a bank the
// instrument filled would.
#include "BenchBank.h"

#include "BenchPattern.h"
#include "BenchRng.h"
#include "DemoBank.h"

#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr int NR_SLOTS = 64;
constexpr BYTE BANK_MEASURES = 4;

// Notes per measure and lowest key of each track: Drum, Percussion, Bass,
// Acc. 1 to Acc. 5.
const int s_aiNotesPerMeasure[NST_NR_TRK] = {16, 5, 4, 15, 4, 3, 2, 2};
const BYTE s_abyLowKey[NST_NR_TRK] = {35, 50, 28, 48, 52, 55, 60, 64};

// BuildStyleChunk -- one style, its stored form; empty when it failed.
std::vector<BYTE> BuildStyleChunk(int iSlot, const std::string& rkstrName, CBenchBankFacts& roFacts)
{
    CBenchRng oRng(0xB4A2C0u + std::uint64_t(iSlot) * 7919u);
    CNstEditIfc oEdit(nullptr, 0);
    oEdit.SetName(rkstrName.c_str());
    roFacts.m_iChordVars +=
        BenchFillStyle(oEdit, oRng, s_aiNotesPerMeasure, s_abyLowKey, BANK_MEASURES, roFacts.m_dwEvents);
    DWORD dwSize = 0;
    const std::unique_ptr<BYTE[]> pbyStored = oEdit.BuildBankData(true, dwSize);
    if (!pbyStored || dwSize == 0)
        return {};
    roFacts.m_dwStyleBytes += dwSize;
    return std::vector<BYTE>(pbyStored.get(), pbyStored.get() + dwSize);
}

} // namespace

// BenchBuildFullBank -- the 64 styles, named "Bench 01" ... "Bench 64".
bool BenchBuildFullBank(std::vector<BYTE>& rabyFile, CBenchBankFacts& roFacts,
                        std::vector<std::string>& rastrProblems)
{
    roFacts = CBenchBankFacts();
    std::vector<CDemoSlot> aoSlots(NR_SLOTS);
    std::vector<std::vector<BYTE>> aoChunks(NR_SLOTS);
    for (int i = 0; i < NR_SLOTS; ++i)
    {
        char szName[16];
        std::snprintf(szName, sizeof szName, "Bench %02d", i + 1);
        aoSlots[std::size_t(i)].m_iStyle = i;
        aoSlots[std::size_t(i)].m_strName = szName;
        aoChunks[std::size_t(i)] = BuildStyleChunk(i, szName, roFacts);
        if (aoChunks[std::size_t(i)].empty())
        {
            rastrProblems.push_back(std::string("style '") + szName + "' could not be built");
            return false;
        }
    }
    return DemoSaveBank(aoSlots, aoChunks, rabyFile, rastrProblems);
}

bool BenchBankArgs(int iArgc, char** ppszArgv, const char* pszProgram, int& riRuns, std::string& rstrBank)
{
    for (int i = 1; i < iArgc; ++i)
    {
        if (std::strcmp(ppszArgv[i], "--runs") == 0 && i + 1 < iArgc)
            riRuns = std::max(1, std::atoi(ppszArgv[++i]));
        else if (ppszArgv[i][0] != '-' && rstrBank.empty())
            rstrBank = ppszArgv[i];
        else
        {
            std::fprintf(stderr, "usage: %s [--runs N] [BANK.sty]\n", pszProgram);
            return false;
        }
    }
    return true;
}
