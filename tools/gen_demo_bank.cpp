// gen_demo_bank.cpp -- writes the bundled demo bank.
//
//   gen_demo_bank OUT.sty     writes the bank and prints what it holds
//
// The output depends on nothing but this program's code and the tool's
// core, so the same sources always give the same bytes; a test compares a
// fresh bank with the one checked in as examples/demo.sty.
#include "DemoBank.h"
#include "DemoStyles.h"

#include "BankDoc/QdFileIo.h"
#include "Kernel/Core/GlobalObj.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// PrintStyles -- one line per style: slot, name, chord variations and what
// marker making did to its patterns.
bool PrintStyles(const std::vector<CDemoSlot>& rkaoSlots)
{
    for (std::size_t i = 0; i < rkaoSlots.size(); ++i)
    {
        const CDemoSlot& rkoSlot = rkaoSlots[i];
        if (rkoSlot.m_iStyle < 0)
            continue;
        const CDemoStyle oStyle = DemoStyle(rkoSlot.m_iStyle);
        std::vector<BYTE> abyFlat;
        std::vector<BYTE> abyStored;
        if (!DemoBuildStyleChunk(oStyle, rkoSlot.m_strName, false, abyFlat) ||
            !DemoBuildStyleChunk(oStyle, rkoSlot.m_strName, true, abyStored))
            return false;
        const CDemoStyleStats oStats = DemoMarkerStats(abyFlat);
        std::printf("slot %2zu  %-11s %2zu chord variations, %5zu bytes stored (%5zu flat); "
                    "%2u pattern chunks flat, %2u shared, %2u sub-patterns added, %2u stored\n",
                    i + 1, rkoSlot.m_strName.c_str(), oStyle.m_aoChordVars.size(), abyStored.size(), abyFlat.size(),
                    unsigned(oStats.m_dwFlatPatterns), unsigned(oStats.m_dwShared),
                    unsigned(oStats.m_dwSubPatterns), unsigned(oStats.m_dwStoredPatterns));
    }
    return true;
}

int Run(const std::string& rkstrOut)
{
    const std::vector<CDemoSlot> aoSlots = DemoBankSlots();
    std::vector<BYTE> abyBank;
    std::vector<std::string> astrProblems;
    const bool bBuilt = DemoBuildBank(aoSlots, abyBank, astrProblems);
    for (const std::string& rkstrProblem : astrProblems)
        std::fprintf(stderr, "gen_demo_bank: %s\n", rkstrProblem.c_str());
    if (!bBuilt)
        return 1;
    if (!CQdFileIo::Default().WriteAtomic(rkstrOut, abyBank.data(), DWORD(abyBank.size())))
    {
        std::fprintf(stderr, "gen_demo_bank: cannot write %s\n", rkstrOut.c_str());
        return 1;
    }
    std::printf("%s: %zu bytes, %zu slots\n", rkstrOut.c_str(), abyBank.size(), aoSlots.size());
    return PrintStyles(aoSlots) ? 0 : 1;
}

} // namespace

int main(int iArgc, char** ppszArgv)
{
    if (iArgc != 2)
    {
        std::fprintf(stderr, "usage: gen_demo_bank OUT.sty\n");
        return 1;
    }
    QdGlobalObjectsStart();
    const int iResult = Run(ppszArgv[1]);
    const bool bClean = QdGlobalObjectsEnd();
    return bClean ? iResult : 1;
}
