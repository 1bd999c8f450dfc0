// BenchPrompt.h -- what the benchmarks share around the bank document: a
// prompt that asks nothing, and the shape of the dense chord variation the
// piano-roll benchmarks draw.
#pragma once

#include "BankDoc/QdDocPrompt.h"
#include "NlzdStyle/NstEditIfc.h"

#include <cstdio>
#include <string>
#include <vector>

// CBenchPrompt -- nothing is asked, no file chosen; a message goes to
// stderr under the benchmark's name and is counted: a benchmark's setup or
// run that gets one has failed.
class CBenchPrompt : public CQdDocPrompt
{
public:
    explicit CBenchPrompt(const char* pszProgram) : m_pszProgram(pszProgram) {}

    int Ask(const CQdQuestion&) override { return QD_ANSWER_CANCEL; }
    void Tell(const std::string& rkstrCaption, const std::string& rkstrText) override
    {
        std::fprintf(stderr, "%s: %s: %s\n", m_pszProgram, rkstrCaption.c_str(), rkstrText.c_str());
        ++m_iMessages;
    }
    bool ChooseOpenFile(const CQdFileRequest&, std::string&) override { return false; }
    bool ChooseOpenFiles(const CQdFileRequest&, std::vector<std::string>&) override { return false; }
    bool ChooseSaveFile(const CQdFileRequest&, std::string&) override { return false; }

    int m_iMessages = 0;

private:
    const char* m_pszProgram;
};

// The dense chord variation of the piano-roll benchmarks: eight tracks of
// 16 measures, notes a measure per track (192 a measure, 3072 in all), each
// within two octaves of the track's lowest key.
inline constexpr int BENCH_DENSE_MEASURES = 16;
inline constexpr int BENCH_DENSE_NOTES[NST_NR_TRK] = {48, 24, 16, 32, 24, 16, 16, 16};
inline constexpr BYTE BENCH_DENSE_LOW_KEY[NST_NR_TRK] = {35, 60, 28, 48, 52, 55, 60, 64};
