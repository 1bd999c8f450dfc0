// BenchRng.h -- the benchmarks' deterministic random numbers.
#pragma once

#include "Base/QdTypes.h"

#include <cstdint>

// CBenchRng -- splitmix64: the same numbers on every platform and library,
// so every run measures the same corpus.
class CBenchRng
{
public:
    explicit CBenchRng(std::uint64_t qwSeed) : m_qwState(qwSeed) {}

    DWORD Next(DWORD dwBound)
    {
        m_qwState += 0x9E3779B97F4A7C15ull;
        std::uint64_t qw = m_qwState;
        qw = (qw ^ (qw >> 30)) * 0xBF58476D1CE4E5B9ull;
        qw = (qw ^ (qw >> 27)) * 0x94D049BB133111EBull;
        return DWORD((qw ^ (qw >> 31)) % dwBound);
    }

    bool Chance(DWORD dwPercent) { return Next(100) < dwPercent; }

private:
    std::uint64_t m_qwState;
};
