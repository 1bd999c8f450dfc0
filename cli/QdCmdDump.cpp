// QdCmdDump.cpp -- dump: the event list of a MIDI file, as the decoders'
// event dump writes it: a format-0 file's track, or a format-1 file's tracks
// merged into one as the import reads them (CMidiIn).
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdDocText.h"
#include "BankDoc/QdFileIo.h"
#include "MidiInOut/MidiInOut.h"

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
// then to stdout, one event per line.
int QdCmdDump(CQdCliConsole& roConsole, const CQdDumpArgs& rkoArgs)
{
    std::vector<BYTE> abyFile;
    if (!CQdFileIo::Default().ReadAll(rkoArgs.m_strFile, CQdBankDoc::MAX_SMF_FILE_SIZE, abyFile))
    {
        roConsole.Message("", QdDocText::SMF_READ_ERROR);
        return QD_EXIT_REFUSED;
    }
    CMidiIn oMidiIn(abyFile.data(), DWORD(abyFile.size()));
    if (!oMidiIn.Open() || !oMidiIn.GetDecoder())
    {
        roConsole.Message("", QdDocText::SMF_READ_ERROR);
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
    CQdFileIo::Default().ReadAll(oDump.Path(), CQdBankDoc::MAX_SMF_FILE_SIZE * 4, abyText);
    std::string strText(abyText.begin(), abyText.end());
    if (!strText.empty() && strText.front() == '\n')
        strText.erase(0, 1);
    if (!strText.empty())
    {
        strText += '\n';
        std::fwrite(strText.data(), 1, strText.size(), stdout);
    }
    if (!bComplete)
    {
        roConsole.Message("", QdDocText::SMF_READ_ERROR);
        return QD_EXIT_REFUSED;
    }
    return QD_EXIT_OK;
}
