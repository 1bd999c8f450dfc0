// StandaloneReplay.cpp -- a main for a fuzz target built without libFuzzer:
// runs the target once on each input it is given, so that any compiler
// builds it and the test suite replays seeds and saved findings.
//
//   <target>_replay PATH...      a file is one input; a folder gives every
//                                file below it, in name order
//
// Each input is handed over in a heap block of exactly its size, as
// libFuzzer does, so that a sanitized build catches a read past its end. A
// broken promise of the target aborts the process; the input being run is
// printed before it starts. Exits non-zero when a path cannot be read or
// no input was found at all.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbyInput, std::size_t uSize);
// Weak: a target need not define it.
extern "C" int LLVMFuzzerInitialize(int* piArgc, char*** pppszArgv) __attribute__((weak));

namespace {

// InputFiles -- the files a path names: itself, or every regular file below
// a folder, sorted. False when the path cannot be listed.
bool InputFiles(const std::filesystem::path& rkoPath, std::vector<std::filesystem::path>& raoFiles)
{
    std::error_code oError;
    if (!std::filesystem::is_directory(rkoPath, oError))
    {
        raoFiles.push_back(rkoPath);
        return true;
    }
    std::vector<std::filesystem::path> aoFound;
    for (std::filesystem::recursive_directory_iterator oIt(rkoPath, oError), oEnd; !oError && oIt != oEnd;
         oIt.increment(oError))
        if (oIt->is_regular_file(oError))
            aoFound.push_back(oIt->path());
    if (oError)
        return false;
    std::sort(aoFound.begin(), aoFound.end());
    raoFiles.insert(raoFiles.end(), aoFound.begin(), aoFound.end());
    return true;
}

// ReadInput -- the whole file in a block of exactly its size.
bool ReadInput(const std::filesystem::path& rkoFile, std::unique_ptr<std::uint8_t[]>& rpbyData, std::size_t& ruSize)
{
    std::ifstream oIn(rkoFile, std::ios::binary);
    if (!oIn)
        return false;
    const std::vector<char> acData((std::istreambuf_iterator<char>(oIn)), std::istreambuf_iterator<char>());
    if (oIn.bad())
        return false;
    ruSize = acData.size();
    rpbyData.reset(new std::uint8_t[ruSize]);
    std::copy(acData.begin(), acData.end(), rpbyData.get());
    return true;
}

} // namespace

int main(int iArgc, char** ppszArgv)
{
    if (iArgc < 2)
    {
        std::fprintf(stderr, "usage: %s FILE-OR-FOLDER...\n", ppszArgv[0]);
        return 2;
    }
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&iArgc, &ppszArgv);

    bool bFailed = false;
    std::vector<std::filesystem::path> aoFiles;
    for (int i = 1; i < iArgc; ++i)
    {
        if (!InputFiles(ppszArgv[i], aoFiles))
        {
            std::fprintf(stderr, "replay: cannot list %s\n", ppszArgv[i]);
            bFailed = true;
        }
    }

    int iReplayed = 0;
    for (const std::filesystem::path& rkoFile : aoFiles)
    {
        std::unique_ptr<std::uint8_t[]> pbyData;
        std::size_t uSize = 0;
        if (!ReadInput(rkoFile, pbyData, uSize))
        {
            std::fprintf(stderr, "replay: cannot read %s\n", rkoFile.c_str());
            bFailed = true;
            continue;
        }
        // Printed and flushed first: when the target aborts, the last line
        // names the input.
        std::printf("replay: %s (%zu bytes)\n", rkoFile.c_str(), uSize);
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(pbyData.get(), uSize);
        ++iReplayed;
    }
    if (iReplayed == 0)
    {
        std::fprintf(stderr, "replay: no input found\n");
        return 1;
    }
    std::printf("replay: %d inputs replayed%s\n", iReplayed, bFailed ? ", some paths unreadable" : "");
    return bFailed ? 1 : 0;
}
