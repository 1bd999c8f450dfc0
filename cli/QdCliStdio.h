// QdCliStdio.h -- "-" as a file name: standard input where a single file is
// read (dump -, import-cv ... -), standard output where one is written
// (export ... --cv NAME -o -).
//
// qdstyle's file access: the default one for every other path. Standard
// input is read once, whole, as far as the largest file the tool reads (a
// MIDI file of CQdBankDoc::MAX_SMF_FILE_SIZE bytes) and one byte more, so
// that a larger input is refused as too large like a file; later reads of
// "-" get the same bytes. A write to "-" goes to standard output in one
// piece after what the console printed there; it cannot be atomic, and a
// failed write (a closed pipe, a full disk) keeps its cause like a file's.
#pragma once

#include "BankDoc/QdFileIo.h"

#include <string>
#include <vector>

class CQdCliStdio : public CQdFileIo
{
public:
    // The path that stands for standard input and output.
    static constexpr const char* STDIO_PATH = "-";
    static bool IsStdio(const std::string& rkstrPath) { return rkstrPath == STDIO_PATH; }

    bool ReadPrefix(const std::string& rkstrPath, DWORD dwCount, std::vector<BYTE>& rabyData) override;
    bool FileSize(const std::string& rkstrPath, std::uint64_t& rqwSize) override;
    bool ReadAll(const std::string& rkstrPath, DWORD dwLimit, std::vector<BYTE>& rabyData) override;
    bool WriteAtomic(const std::string& rkstrPath, const BYTE* pbyData, DWORD dwLength) override;

    // The one instance of a qdstyle run.
    static CQdCliStdio& Instance();

private:
    // ReadInput -- standard input into m_abyInput, once; false on a read error.
    bool ReadInput();

    bool m_bInputRead = false;
    std::vector<BYTE> m_abyInput;
};
