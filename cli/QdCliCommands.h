// QdCliCommands.h -- the commands of qdstyle, each on its parsed arguments.
//
// main.cpp parses the command line into these structures and calls the
// command; each returns an exit status (EQdExit). Usage errors never get
// here: the parser has refused them.
#pragma once

#include "QdCliConsole.h"

#include "BankDoc/QdImportOptions.h"

#include <string>
#include <vector>

struct CNstTrackParam;

struct CQdStyleArgs
{
    std::string m_strBank;
    std::string m_strStyle;
    bool m_bJson = false;
    bool m_bTracks = false; // show: the track parameters instead of the tree
};

// The bank-wide commands that print facts (list, check, info).
struct CQdBankArgs
{
    std::string m_strBank;
    bool m_bJson = false;
};

struct CQdExportArgs
{
    std::string m_strBank;
    std::string m_strStyle;
    std::string m_strDir;                     // "-": the one chord variation to stdout
    std::vector<std::string> m_astrChordVars; // empty: every present one
    std::string m_strTrack;                   // empty: all tracks
    int m_iTempo = 120;
};

// What the imports share: --partial and --map (CQdImportOptions, parsed
// from the --map values when the command line is read), and --tracks of
// import and import-cv (empty: as each file's name says). --partial takes
// the part of a file that goes in whole: what comes before its damage, and
// the notes of the channels that a track takes.
struct CQdImportFileArgs
{
    bool m_bPartial = false;
    std::vector<std::string> m_astrMap;
    CQdTrackMap m_oMap;
    std::vector<std::string> m_astrTracks;
};

struct CQdImportArgs
{
    std::string m_strBank;
    std::string m_strStyle;
    std::vector<std::string> m_astrFiles;
    std::string m_strOut;
    bool m_bReplace = false;
    bool m_bInitialize = false;
    bool m_bForce = false;
    bool m_bDryRun = false;
    std::string m_strName; // --name: the replaced style's name
    CQdImportFileArgs m_oFiles;
};

struct CQdImportCvArgs
{
    std::string m_strBank;
    std::string m_strStyle;
    std::string m_strName;
    std::string m_strFile;
    std::string m_strOut;
    bool m_bKeep = false;
    bool m_bForce = false;
    bool m_bDryRun = false;
    CQdImportFileArgs m_oFiles;
};

struct CQdDeleteCvArgs
{
    std::string m_strBank;
    std::string m_strStyle;
    std::string m_strName;
    std::string m_strOut;
    bool m_bForce = false;
    bool m_bDryRun = false;
};

struct CQdRenameArgs
{
    std::string m_strBank;
    std::string m_strStyle;
    std::string m_strNewName;
    std::string m_strOut;
    bool m_bForce = false;
    bool m_bDryRun = false;
};

struct CQdImportBankArgs
{
    std::string m_strBank;
    std::string m_strDir;
    std::string m_strOut;
    bool m_bReplace = false;
    bool m_bInitialize = false;
    bool m_bForce = false;
    bool m_bDryRun = false;
    CQdImportFileArgs m_oFiles;
};

// set-track: ELEMENT and TRACK as given, then parsed (m_iElement: an
// element or CQdBankDoc::ALL_ELEMENTS; m_iTrack 0-7); a value not given is
// -1, and --program is parsed from a number or a General MIDI name.
struct CQdSetTrackArgs
{
    std::string m_strBank;
    std::string m_strStyle;
    std::string m_strElement;
    std::string m_strTrack;
    std::string m_strProgram;
    int m_iProgram = -1;
    int m_iBankMsb = -1;
    int m_iBankLsb = -1;
    int m_iExpression = -1;
    int m_iElement = -1;
    int m_iTrack = -1;
    std::string m_strOut;
    bool m_bForce = false;
    bool m_bDryRun = false;
};

// copy: SRC and DST as given (STYLE[:PART]), split when parsed.
struct CQdCopyArgs
{
    std::string m_strSourceBank;
    std::string m_strSource;
    std::string m_strTargetBank;
    std::string m_strTarget;
    std::vector<std::string> m_astrTracks;
    std::string m_strOut;
    bool m_bForce = false;
    bool m_bDryRun = false;
};

struct CQdRescueArgs
{
    std::string m_strBank;
    std::string m_strDir;
};

struct CQdRenderArgs
{
    std::string m_strBank;
    std::string m_strStyle;
    std::string m_strChordVar;
    std::string m_strTrack; // empty: all tracks
    std::string m_strWave;
    std::string m_strSoundFont; // empty: the installed General MIDI soundfont
    int m_iLoops = 2;
    int m_iTempo = 120;
};

struct CQdRollArgs
{
    std::string m_strBank;
    std::string m_strStyle;
    std::string m_strChordVar;
    std::string m_strTrack; // empty: all tracks
    std::string m_strSvg;   // "-": stdout
    int m_iWidth = 1200;
};

struct CQdExportBankArgs
{
    std::string m_strBank;
    std::string m_strDir;
};

struct CQdDumpArgs
{
    std::string m_strFile;            // "-": standard input
    std::string m_strFormat = "text"; // text, csv or json
    bool m_bNumberLines = false;
    bool m_bChannelOnly = false;
    bool m_bBars = false;
};

// Names --track accepts: 0-7, or the track's short name.
const std::vector<std::string>& QdCliTrackNames();
// QdCliTrackNumber -- the track of a --track value, 255 (all) for an empty
// one; -1 for a value that names no track.
int QdCliTrackNumber(const std::string& rkstrTrack);
// QdCliTrackMask -- the tracks of a --tracks list as bits (bit n for track
// n); 0 for none.
BYTE QdCliTrackMask(const std::vector<std::string>& rkastrTracks);
// QdCliParseMap -- the values of --map ("SRC=TRACK", SRC a MIDI channel
// 1-16, TRACK drum, perc, bass, acc1-acc5 or a track's channel 9-16, any
// letter case) into roMap; false with the reason in rstrError for a value
// that is none, or a channel given twice.
bool QdCliParseMap(const std::vector<std::string>& rkastrValues, CQdTrackMap& roMap, std::string& rstrError);
// QdCliImportOptions -- the flags of an import as the document takes them;
// bForce (--force) also takes files of another time signature than the
// element's.
CQdImportOptions QdCliImportOptions(const CQdImportFileArgs& rkoArgs, bool bForce);
// QdCliBankText -- a name given on the command line in the bank's 8-bit
// character set (ISO-8859-1, QdCharset.h): converted from UTF-8 when it is
// UTF-8 of that range, else its bytes as they are (as a style is looked up).
std::string QdCliBankText(const std::string& rkstrArgument);
// The largest value of a track parameter (set-track).
inline constexpr int QD_CLI_MAX_PARAM = 127;
// The export's tempo range in beats per minute.
inline constexpr int QD_CLI_MIN_TEMPO = 40;
inline constexpr int QD_CLI_MAX_TEMPO = 300;

// QdCliParseSetTrack -- ELEMENT, TRACK and --program of set-track into
// their numbers; false with the reason in rstrError.
bool QdCliParseSetTrack(CQdSetTrackArgs& roArgs, std::string& rstrError);
// QdCliCheckCopy -- SRC and DST name parts of the same kind, and --tracks
// names tracks; false with the reason in rstrError.
bool QdCliCheckCopy(const CQdCopyArgs& rkoArgs, std::string& rstrError);

int QdCmdList(CQdCliConsole& roConsole, const CQdBankArgs& rkoArgs);
int QdCmdShow(CQdCliConsole& roConsole, const CQdStyleArgs& rkoArgs);
int QdCmdInfo(CQdCliConsole& roConsole, const CQdBankArgs& rkoArgs);
int QdCmdExport(CQdCliConsole& roConsole, const CQdExportArgs& rkoArgs);
int QdCmdExportBank(CQdCliConsole& roConsole, const CQdExportBankArgs& rkoArgs);
int QdCmdImport(CQdCliConsole& roConsole, const CQdImportArgs& rkoArgs);
int QdCmdImportCv(CQdCliConsole& roConsole, const CQdImportCvArgs& rkoArgs);
int QdCmdDeleteCv(CQdCliConsole& roConsole, const CQdDeleteCvArgs& rkoArgs);
int QdCmdRename(CQdCliConsole& roConsole, const CQdRenameArgs& rkoArgs);
int QdCmdSave(CQdCliConsole& roConsole, const std::string& rkstrBank, const std::string& rkstrOut, bool bForce);
int QdCmdCheck(CQdCliConsole& roConsole, const CQdBankArgs& rkoArgs);
int QdCmdRescue(CQdCliConsole& roConsole, const CQdRescueArgs& rkoArgs);
int QdCmdImportBank(CQdCliConsole& roConsole, const CQdImportBankArgs& rkoArgs);
int QdCmdSetTrack(CQdCliConsole& roConsole, const CQdSetTrackArgs& rkoArgs);
int QdCmdCopy(CQdCliConsole& roConsole, const CQdCopyArgs& rkoArgs);
// QdCliTrackLine -- one track's parameters in an element as show --tracks
// and set-track print them: "v1<TAB>Bass<TAB>program 33 (Electric Bass
// (finger))<TAB>bank-msb 0<TAB>bank-lsb 0<TAB>expression 100".
std::string QdCliTrackLine(BYTE bySe, BYTE byTrack, const CNstTrackParam& rkoParam);
int QdCmdDump(CQdCliConsole& roConsole, const CQdDumpArgs& rkoArgs);
int QdCmdRender(CQdCliConsole& roConsole, const CQdRenderArgs& rkoArgs);
int QdCmdRoll(CQdCliConsole& roConsole, const CQdRollArgs& rkoArgs);
