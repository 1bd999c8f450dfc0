// BenchBank.h -- the full bank of the benchmarks: 64 large generated styles,
// about 3 MB in the bank block, saved by the demo bank's machinery.
#pragma once

#include "Base/QdTypes.h"

#include <string>
#include <vector>

// What the full bank holds, for the benchmarks' headlines.
struct CBenchBankFacts
{
    DWORD m_dwStyleBytes = 0; // the style containers, uncompressed
    DWORD m_dwEvents = 0;
    int m_iChordVars = 0;
};

// BenchBuildFullBank -- the bank file's bytes. Every style has all ten
// elements with every chord variation the bank keeps, all eight tracks of
// four measures; the notes differ from style to style (a seed per slot).
// False when a style could not be built or the bank was refused;
// rastrProblems then says why.
bool BenchBuildFullBank(std::vector<BYTE>& rabyFile, CBenchBankFacts& roFacts,
                        std::vector<std::string>& rastrProblems);

// BenchBankArgs -- the arguments "[--runs N] [BANK.sty]" of a benchmark on
// a bank: riRuns and rstrBank set as given (left as they are when absent);
// false, with the usage told on stderr, for anything else.
bool BenchBankArgs(int iArgc, char** ppszArgv, const char* pszProgram, int& riRuns, std::string& rstrBank);
