// DocFixtures.h -- what the bank document's tests drive it with: a scripted
// prompt, a file access whose writes fail on request, a temporary folder,
// and small styles and MIDI files.
#pragma once

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdDocPrompt.h"
#include "BankDoc/QdFileIo.h"
#include "BankDoc/QdImportReport.h"
#include "StyleBuilder.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace DocFixtures {

typedef std::vector<BYTE> Bytes;

// CScriptedPrompt -- answers questions and file choices from queues and
// records everything it was shown. An unexpected question or file choice
// fails the test and is answered with Cancel.
class CScriptedPrompt : public CQdDocPrompt
{
public:
    int Ask(const CQdQuestion& rkoQuestion) override;
    void Tell(const std::string& rkstrCaption, const std::string& rkstrText) override;
    bool ChooseOpenFile(const CQdFileRequest& rkoRequest, std::string& rstrPath) override;
    bool ChooseOpenFiles(const CQdFileRequest& rkoRequest, std::vector<std::string>& rastrPaths) override;
    bool ChooseSaveFile(const CQdFileRequest& rkoRequest, std::string& rstrPath) override;
    void BeginWait() override { ++m_iWaitDepth; }
    void EndWait() override { --m_iWaitDepth; }
    // A map from the queue; an empty map there declines (keeps the file).
    bool ChooseChannelMap(const CQdChannelQuestion& rkoQuestion, CQdTrackMap& roMap) override;
    void ShowImportReports(const std::vector<CQdImportReport>& rkaoReports) override;

    // Texts of the questions asked and of the messages told, in order.
    std::vector<std::string> AskedTexts() const;
    std::vector<std::string> ToldTexts() const;
    void ClearRecords();

    std::deque<int> m_aiAnswers;
    // File choices; an empty entry stands for a cancelled dialog.
    std::deque<std::string> m_astrOpenFiles;
    std::deque<std::vector<std::string>> m_aastrOpenFileSets;
    std::deque<std::string> m_astrSaveFiles;
    std::deque<CQdTrackMap> m_aoMaps;

    std::vector<CQdQuestion> m_aoQuestions;
    std::vector<CQdChannelQuestion> m_aoChannelQuestions;
    // The reports of each import command, in order.
    std::vector<std::vector<CQdImportReport>> m_aaoReports;
    std::vector<std::pair<std::string, std::string>> m_aoTold;
    std::vector<CQdFileRequest> m_aoRequests;
    int m_iWaitDepth = 0;
};

// CFailingFileIo -- the default file access, except that writes fail with
// "no space left" once m_lFailAfter bytes of a file have been written (-1:
// never). The failure strikes inside the atomic write, as a full disk would.
class CFailingFileIo : public CQdFileIo
{
public:
    long m_lFailAfter = -1;

protected:
    long WritePart(int iFd, const BYTE* pbyData, std::size_t uLength) override;

private:
    int m_iFd = -1;
    long m_lWritten = 0;
};

// CTempDir -- a fresh folder, removed with everything in it at the end.
class CTempDir
{
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    std::string Path(const std::string& rkstrName) const { return m_strDir + "/" + rkstrName; }
    const std::string& Dir() const { return m_strDir; }
    // The names of the files in the folder, sorted.
    std::vector<std::string> Files() const;

private:
    std::string m_strDir;
};

// FileMessage -- a message about a file as CQdDocPrompt::TellFile's default
// tells it: the classic text, then "path: cause" on a second line.
inline std::string FileMessage(const std::string& rkstrText, const std::string& rkstrPath,
                               const std::string& rkstrCause)
{
    return rkstrText + "\n" + rkstrPath + ": " + rkstrCause;
}

Bytes ReadFile(const std::string& rkstrPath);
void WriteFile(const std::string& rkstrPath, const Bytes& rkabyData);

// One depth-1 chunk of a bank image as a test sees it.
struct CTopChunk
{
    DWORD m_dwOffset;
    BYTE m_byId;
    BYTE m_byFlags;
    DWORD m_dwLength;
};
// TopChunks -- the root's children of a bank image, in file order.
std::vector<CTopChunk> TopChunks(const Bytes& rkabyImage);
// DecompressedSlot -- the data of the slot at the offset, decompressed when
// it is compressed (empty when it does not decompress).
Bytes DecompressedSlot(const Bytes& rkabyImage, DWORD dwOffset);

// A style with events in two chord variations of "Variation 1" (Drum, then
// Bass) and in the first of "Intro 1", 4/4 unless said otherwise.
StyleBuilder::CTestStyle SmallStyle(const std::string& rkstrName, BYTE bySignature = 0x22);
// A style with one chord variation in "Variation 1" only.
StyleBuilder::CTestStyle SingleCvStyle(const std::string& rkstrName);

// SmfNotes -- a format-0 MIDI file, 384 ticks per quarter, with one note
// per quarter on the channel (0-based) for iBeats beats, and a program
// change at tick 0 when byProgram is below 128.
Bytes SmfNotes(BYTE byChannel, int iBeats, BYTE byKey, BYTE byProgram = 0xFF);

// ThreeStyleBank -- slots: "Alpha" (uncompressed), an empty slot, "Beta"
// (compressed, version 3 method 2), "Gamma" (compressed, version 2 method
// 1, one chord variation only); then a further bank chunk (id 3) and the
// directory.
StyleBuilder::CTestBank ThreeStyleBank();

// CBankDocTest -- a document over the scripted prompt and the failing file
// access, a folder for its files, and the reports captured.
class CBankDocTest : public ::testing::Test
{
protected:
    // WriteBank -- the bank's image as a file of the folder; its path.
    std::string WriteBank(const StyleBuilder::CTestBank& rkoBank, const std::string& rkstrName = "bank.sty");
    // OpenBank -- writes the bank and opens it; the file's path.
    std::string OpenBank(const StyleBuilder::CTestBank& rkoBank, const std::string& rkstrName = "bank.sty");
    // Block -- the used part of the bank block.
    Bytes Block() const;
    // WriteSmf -- a MIDI file of the folder; its path.
    std::string WriteSmf(const std::string& rkstrName, const Bytes& rkabyFile);
    // StyleState -- the chord variation's state in the open style (-1: none open).
    int CvState(BYTE bySe, BYTE byCv);

    CReportCapture m_oReports;
    CTempDir m_oDir;
    CScriptedPrompt m_oPrompt;
    CFailingFileIo m_oFileIo;
    CQdBankDoc m_oDoc{m_oPrompt, m_oFileIo};
};

} // namespace DocFixtures
