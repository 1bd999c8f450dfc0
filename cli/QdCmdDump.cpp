// QdCmdDump.cpp -- dump: the event list of a MIDI file, as the decoders'
// event dump writes it: a format-0 file's track, or a format-1 file's tracks
// merged into one as the import reads them (CMidiIn); the damage the scan
// finds (SmfScanFile) is told with the file's path.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdDocText.h"
#include "BankDoc/QdFileIo.h"
#include "MidiInOut/MidiInOut.h"
#include "MidiInOut/SmfScan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// CQdTempFile -- a new empty file in the temporary folder, removed at the end.
class CQdTempFile
{
public:
    CQdTempFile()
    {
        const char* pszDir = std::getenv("TMPDIR");
        std::string strTemplate = std::string(pszDir && *pszDir ? pszDir : "/tmp") + "/qdstyle-dump-XXXXXX";
        const int iFd = ::mkstemp(strTemplate.data());
        if (iFd >= 0)
        {
            ::close(iFd);
            m_strPath = strTemplate;
        }
    }
    ~CQdTempFile()
    {
        if (!m_strPath.empty())
            ::unlink(m_strPath.c_str());
    }
    CQdTempFile(const CQdTempFile&) = delete;
    CQdTempFile& operator=(const CQdTempFile&) = delete;

    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

} // namespace

// QdCmdDump -- the dump goes to a temporary file (the decoder writes files),
// then to stdout, one event per line. A file the reader cannot take is
// refused with its cause; a damaged one is dumped as far as the reader
// gets, and its damage told after the dump.
int QdCmdDump(CQdCliConsole& roConsole, const CQdDumpArgs& rkoArgs)
{
    const std::string& rkstrPath = rkoArgs.m_strFile;
    CQdFileIo& roFileIo = CQdFileIo::Default();
    std::vector<BYTE> abyFile;
    roFileIo.ClearLastError();
    if (!roFileIo.ReadAll(rkstrPath, CQdBankDoc::MAX_SMF_FILE_SIZE, abyFile))
    {
        const std::string strCause = CQdFileIo::ErrorText(roFileIo.GetLastError());
        roConsole.Message("", rkstrPath + ": " + (strCause.empty() ? "the file cannot be read" : strCause));
        return QD_EXIT_REFUSED;
    }
    CSmfFileInfo oInfo;
    SmfScanFile(abyFile.data(), DWORD(abyFile.size()), oInfo);
    const std::string strProblem = SmfProblemText(oInfo);
    CMidiIn oMidiIn(abyFile.data(), DWORD(abyFile.size()));
    if (!oMidiIn.Open() || !oMidiIn.GetDecoder())
    {
        roConsole.Message("", rkstrPath + ": " + (strProblem.empty() ? "the file cannot be read" : strProblem));
        return QD_EXIT_REFUSED;
    }
    CQdTempFile oDump;
    if (oDump.Path().empty())
    {
        roConsole.Message("", "No temporary file for the dump!");
        return QD_EXIT_REFUSED;
    }
    // The dump reports where it saves and that it did; that temporary file
    // is none of the user's business. Every other report passes.
    const QdReportSink fnConsole = QdSetReportSink(nullptr);
    QdSetReportSink([&fnConsole](const char* pszText) {
        static const char s_szOwn[] = "CDecBase::PrintAllEvents() - Save ";
        if (std::strncmp(pszText, s_szOwn, sizeof s_szOwn - 1) != 0)
            fnConsole(pszText);
    });
    const bool bComplete =
        oMidiIn.GetDecoder()->PrintAllEvents(oDump.Path().c_str(), rkoArgs.m_bChannelOnly, rkoArgs.m_bNumberLines);
    QdSetReportSink(fnConsole);

    // Every line of the dump starts with its line break; stdout gets them
    // ended instead.
    std::vector<BYTE> abyText;
    roFileIo.ReadAll(oDump.Path(), CQdBankDoc::MAX_SMF_FILE_SIZE * 4, abyText);
    std::string strText(abyText.begin(), abyText.end());
    if (!strText.empty() && strText.front() == '\n')
        strText.erase(0, 1);
    if (!strText.empty())
    {
        strText += '\n';
        std::fwrite(strText.data(), 1, strText.size(), stdout);
    }
    // What was dumped stays on stdout; the damage makes the exit status 3.
    if (!strProblem.empty() || !bComplete)
        roConsole.Message("", rkstrPath + ": " +
                                  (strProblem.empty() ? "the file cannot be read to its end" : strProblem));
    return QD_EXIT_OK;
}
