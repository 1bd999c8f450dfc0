// main.cpp -- qdstyle, the command-line front end of the Qd Style Tool.
//
// The command line is parsed with CLI11 into the arguments of one command
// (QdCliCommands.h), which drives the bank document. CLI11 reports parse
// errors by throwing; they are caught here and become exit status 1 with
// the command's one-line usage and where its help is. The command runs
// between the start and end phases of the global object registry, as the
// desktop application does; running out of memory ends it with exit status
// 2, like any refused command. A command that did its work while anything
// was reported on the way ends with 3 (the core's reports themselves are
// printed with -v only, CQdCliConsole); with -q, what was held back of its
// messages is printed only when it failed.
#include "QdCliCommands.h"
#include "QdCliConsole.h"
#include "QdCliHelp.h"
#include "QdCliSession.h"
#include "QdCliStdio.h"
#include "QdPlayer.h"

#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdRollLayout.h"
#include "Base/QdVersion.h"
#include "Kernel/Core/GlobalObj.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// The command chosen and its arguments.
struct CQdCommandLine
{
    std::string m_strBank;
    std::string m_strOut;
    bool m_bForce = false; // save
    bool m_bQuiet = false;
    bool m_bVerbose = false;
    CQdBankArgs m_oBankArgs;
    CQdStyleArgs m_oStyle;
    CQdExportArgs m_oExport;
    CQdExportBankArgs m_oExportBank;
    CQdImportArgs m_oImport;
    CQdImportCvArgs m_oImportCv;
    CQdDeleteCvArgs m_oDeleteCv;
    CQdRenameArgs m_oRename;
    CQdDumpArgs m_oDump;
    CQdRescueArgs m_oRescue;
    CQdRenderArgs m_oRender;
    CQdRollArgs m_oRoll;
    CQdImportBankArgs m_oImportBank;
    CQdSetTrackArgs m_oSetTrack;
    CQdCopyArgs m_oCopy;
    bool m_bCheck = false;
    std::function<int(CQdCliConsole&)> m_fnRun;
};

// Which shared parts a command's help adds to its details.
enum EQdHelpParts
{
    HELP_PLAIN = 0,
    HELP_STYLE = 1,  // takes STYLE (and maybe NAME)
    HELP_SAVING = 2, // saves the bank to OUT
    HELP_FORCE = 4,  // writes a style back (--force)
    HELP_MIDI = 8,   // imports MIDI files
};

CLI::App* AddCommand(CLI::App& roApp, const char* pszName, const char* pszDescription, const char* pszDetails,
                     int iParts)
{
    CLI::App* poCommand = roApp.add_subcommand(pszName, pszDescription);
    poCommand->group("Commands");
    std::string strFooter = pszDetails;
    if (iParts & HELP_MIDI)
        strFooter += QdCliHelp::MIDI_FILES;
    if (iParts & HELP_STYLE)
        strFooter += QdCliHelp::STYLE_AND_NAME;
    if (iParts & HELP_SAVING)
        strFooter += QdCliHelp::SAVING;
    if (iParts & HELP_FORCE)
        strFooter += QdCliHelp::DAMAGED;
    poCommand->footer(strFooter + QdCliHelp::EXIT_STATUS);
    return poCommand;
}

// Positionals and options that several commands share.
void AddPositional(CLI::App& roCommand, const char* pszName, std::string& rstrValue, const char* pszHelp)
{
    roCommand.add_option(pszName, rstrValue, pszHelp)->required()->type_name("");
}

void AddBank(CLI::App& roCommand, std::string& rstrBank)
{
    AddPositional(roCommand, "BANK", rstrBank, "the style bank file (.sty)");
}

void AddStyle(CLI::App& roCommand, std::string& rstrStyle)
{
    AddPositional(roCommand, "STYLE", rstrStyle, "the style: its position (1, 2, ...) or its exact name");
}

void AddOut(CLI::App& roCommand, std::string& rstrOut)
{
    roCommand.add_option("-o,--out", rstrOut, "the bank file to save to (may be BANK itself)")
        ->required()
        ->type_name("OUT");
}

// AddForce -- the flag of the commands that write a style back; the imports
// also take files of another time signature with it (AddImportFileOptions).
void AddForce(CLI::App& roCommand, bool& rbForce,
              const char* pszHelp = "write back a style that was damaged when loaded (keeps only what could be read); "
                                    "write over a read-only OUT")
{
    roCommand.add_flag("--force", rbForce, pszHelp);
}

// AddOutOrDryRun -- -o OUT, which --dry-run makes unneeded: the command then
// runs and reports and writes nothing. OUT is checked when the command's
// arguments are parsed (CheckOut).
void AddOutOrDryRun(CLI::App& roCommand, std::string& rstrOut, bool& rbDryRun)
{
    roCommand.add_option("-o,--out", rstrOut, "the bank file to save to (may be BANK itself)")->type_name("OUT");
    roCommand.add_flag("--dry-run", rbDryRun, "run and report, write nothing (OUT not needed)");
}

void CheckOut(const std::string& rkstrOut, bool bDryRun)
{
    if (rkstrOut.empty() && !bDryRun)
        throw CLI::RequiredError("--out");
}

// AddImportFileOptions -- --force, --partial and --map of the imports; the
// map's values are checked when the arguments are parsed (CheckMap).
void AddImportFileOptions(CLI::App& roCommand, CQdImportFileArgs& roArgs, bool& rbForce)
{
    AddForce(roCommand, rbForce,
             "write back a style that was damaged when loaded (keeps only what could be read); import files of "
             "another time signature in the element's; write over a read-only OUT");
    roCommand.add_flag("--partial", roArgs.m_bPartial,
                       "import what comes before the damage of a damaged file, leave out notes that no track "
                       "takes (default: refuse such files)");
    roCommand
        .add_option("--map", roArgs.m_astrMap,
                    "MIDI channel SRC (1-16) to TRACK: drum, perc, bass, acc1-acc5 or 9-16; repeatable")
        ->type_name("SRC=TRACK")
        ->delimiter(',')
        ->allow_extra_args(false);
}

void CheckMap(CQdImportFileArgs& roArgs)
{
    std::string strError;
    if (!QdCliParseMap(roArgs.m_astrMap, roArgs.m_oMap, strError))
        throw CLI::ValidationError("--map", strError);
}

// OnParsed -- the command's run step, set when its arguments were parsed;
// fnCheck, when given, refuses arguments the parser could not (it throws a
// CLI::ParseError: exit status 1 with the usage).
void OnParsed(CLI::App& roCommand, CQdCommandLine& roLine, std::function<int(CQdCliConsole&)> fnRun,
              std::function<void()> fnCheck = nullptr)
{
    roCommand.callback([&roLine, fnRun, fnCheck] {
        if (fnCheck)
            fnCheck();
        roLine.m_fnRun = fnRun;
    });
}

// AddJson -- --json of the commands that print facts.
void AddJson(CLI::App& roCommand, bool& rbJson)
{
    roCommand.add_flag("--json", rbJson, "print one JSON document instead (docs/qdstyle-json.md)");
}

// CheckOneToStdout -- "-o -" writes one MIDI file to stdout: one chord
// variation, and a stdout that is no terminal.
void CheckOneToStdout(const CQdExportArgs& rkoExport)
{
    if (!CQdCliStdio::IsStdio(rkoExport.m_strDir))
        return;
    if (rkoExport.m_astrChordVars.size() != 1)
        throw CLI::ValidationError("--out",
                                   "'-o -' writes one MIDI file to stdout: name one chord variation with --cv");
    if (::isatty(STDOUT_FILENO) == 1)
        throw CLI::ValidationError("--out", "'-o -' writes a MIDI file to stdout, which is a terminal");
}

// TrackValues -- what a track option takes: 0-7 or a track's short name.
std::vector<std::string> TrackValues()
{
    std::vector<std::string> astrTracks = {"0", "1", "2", "3", "4", "5", "6", "7"};
    astrTracks.insert(astrTracks.end(), QdCliTrackNames().begin(), QdCliTrackNames().end());
    return astrTracks;
}

// AddImportTracks -- --tracks of import and import-cv: the tracks each file
// replaces (default: as its name says, else all).
void AddImportTracks(CLI::App& roCommand, CQdImportFileArgs& roArgs)
{
    roCommand
        .add_option("--tracks", roArgs.m_astrTracks,
                    "replace these tracks only: 0-7 or drum, perc, bass, acc1-acc5 (default: a file named "
                    "v1cv1-bass.mid its track, any other file all)")
        ->type_name("T")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->check(CLI::IsMember(TrackValues(), CLI::ignore_case).description(""));
}

void DefineBrowsing(CLI::App& roApp, CQdCommandLine& roLine)
{
    CQdBankArgs& roBankArgs = roLine.m_oBankArgs;
    CLI::App* poList = AddCommand(roApp, "list", "List the styles of a bank", QdCliHelp::LIST, HELP_PLAIN);
    AddBank(*poList, roBankArgs.m_strBank);
    AddJson(*poList, roBankArgs.m_bJson);
    OnParsed(*poList, roLine, [&roLine](CQdCliConsole& roConsole) { return QdCmdList(roConsole, roLine.m_oBankArgs); });

    CLI::App* poShow = AddCommand(roApp, "show", "Show a style's elements, chord variations and tracks",
                                  QdCliHelp::SHOW, HELP_STYLE);
    AddBank(*poShow, roLine.m_oStyle.m_strBank);
    AddStyle(*poShow, roLine.m_oStyle.m_strStyle);
    AddJson(*poShow, roLine.m_oStyle.m_bJson);
    poShow->add_flag("--tracks", roLine.m_oStyle.m_bTracks,
                     "each element's track parameters (program, bank select, expression) instead");
    OnParsed(*poShow, roLine, [&roLine](CQdCliConsole& roConsole) { return QdCmdShow(roConsole, roLine.m_oStyle); });

    CLI::App* poInfo = AddCommand(roApp, "info", "Show a bank's sizes, slot table, directory and name table",
                                  QdCliHelp::INFO, HELP_PLAIN);
    AddBank(*poInfo, roBankArgs.m_strBank);
    AddJson(*poInfo, roBankArgs.m_bJson);
    OnParsed(*poInfo, roLine, [&roLine](CQdCliConsole& roConsole) { return QdCmdInfo(roConsole, roLine.m_oBankArgs); });

    CQdExportArgs& roExport = roLine.m_oExport;
    CLI::App* poExport =
        AddCommand(roApp, "export", "Export chord variations of a style to MIDI files", QdCliHelp::EXPORT, HELP_STYLE);
    AddBank(*poExport, roExport.m_strBank);
    AddStyle(*poExport, roExport.m_strStyle);
    poExport->add_option("-o,--out", roExport.m_strDir, "the folder for the MIDI files; - : stdout (one --cv)")
        ->required()
        ->type_name("DIR");
    poExport->add_option("--cv", roExport.m_astrChordVars, "export this chord variation only; repeatable")
        ->type_name("NAME")
        ->allow_extra_args(false);
    poExport->add_option("--track", roExport.m_strTrack, "export one track only: 0-7 or drum, perc, bass, acc1-acc5")
        ->type_name("T")
        ->check(CLI::IsMember(TrackValues(), CLI::ignore_case).description(""));
    poExport->add_option("--tempo", roExport.m_iTempo, "tempo in beats per minute, clamped to 40-300 (default 120)")
        ->type_name("BPM");
    OnParsed(
        *poExport, roLine, [&roLine](CQdCliConsole& roConsole) { return QdCmdExport(roConsole, roLine.m_oExport); },
        [&roExport] { CheckOneToStdout(roExport); });

    CQdExportBankArgs& roExportBank = roLine.m_oExportBank;
    CLI::App* poExportBank = AddCommand(roApp, "export-bank", "Export every style of a bank to MIDI files",
                                        QdCliHelp::EXPORT_BANK, HELP_PLAIN);
    AddBank(*poExportBank, roExportBank.m_strBank);
    poExportBank->add_option("-o,--out", roExportBank.m_strDir, "the folder for the styles' folders and bank.json")
        ->required()
        ->type_name("DIR");
    OnParsed(*poExportBank, roLine,
             [&roLine](CQdCliConsole& roConsole) { return QdCmdExportBank(roConsole, roLine.m_oExportBank); });
}

void DefineEditing(CLI::App& roApp, CQdCommandLine& roLine)
{
    CQdImportArgs& roImport = roLine.m_oImport;
    CLI::App* poImport = AddCommand(roApp, "import", "Import a style from MIDI files named by standard names",
                                    QdCliHelp::IMPORT, HELP_STYLE | HELP_SAVING | HELP_FORCE | HELP_MIDI);
    AddBank(*poImport, roImport.m_strBank);
    AddStyle(*poImport, roImport.m_strStyle);
    poImport->add_option("FILE", roImport.m_astrFiles, "MIDI files whose names hold standard names")
        ->required()
        ->type_name("");
    AddOutOrDryRun(*poImport, roImport.m_strOut, roImport.m_bDryRun);
    CLI::Option* poReplace =
        poImport->add_flag("--replace", roImport.m_bReplace, "replace the style (default: merge the files into it)");
    poImport->add_option("--name", roImport.m_strName, "with --replace: the new style's name (default: New Style)")
        ->type_name("NAME")
        ->needs(poReplace);
    poImport->add_flag("--initialize", roImport.m_bInitialize,
                       "chord variations that hold data take the files' track parameters (default: keep)");
    AddImportFileOptions(*poImport, roImport.m_oFiles, roImport.m_bForce);
    AddImportTracks(*poImport, roImport.m_oFiles);
    OnParsed(
        *poImport, roLine, [&roLine](CQdCliConsole& roConsole) { return QdCmdImport(roConsole, roLine.m_oImport); },
        [&roImport] {
            CheckMap(roImport.m_oFiles);
            CheckOut(roImport.m_strOut, roImport.m_bDryRun);
        });

    CQdImportCvArgs& roImportCv = roLine.m_oImportCv;
    CLI::App* poImportCv = AddCommand(roApp, "import-cv", "Import one MIDI file into a chord variation",
                                      QdCliHelp::IMPORT_CV, HELP_STYLE | HELP_SAVING | HELP_FORCE | HELP_MIDI);
    AddBank(*poImportCv, roImportCv.m_strBank);
    AddStyle(*poImportCv, roImportCv.m_strStyle);
    AddPositional(*poImportCv, "NAME", roImportCv.m_strName, "the chord variation (standard name)");
    AddPositional(*poImportCv, "FILE", roImportCv.m_strFile, "the MIDI file (any file name); - : stdin");
    AddOutOrDryRun(*poImportCv, roImportCv.m_strOut, roImportCv.m_bDryRun);
    poImportCv->add_flag("--keep", roImportCv.m_bKeep, "keep the element's track parameters (default: initialize)");
    AddImportFileOptions(*poImportCv, roImportCv.m_oFiles, roImportCv.m_bForce);
    AddImportTracks(*poImportCv, roImportCv.m_oFiles);
    OnParsed(
        *poImportCv, roLine,
        [&roLine](CQdCliConsole& roConsole) { return QdCmdImportCv(roConsole, roLine.m_oImportCv); },
        [&roImportCv] {
            CheckMap(roImportCv.m_oFiles);
            CheckOut(roImportCv.m_strOut, roImportCv.m_bDryRun);
        });

    CQdDeleteCvArgs& roDeleteCv = roLine.m_oDeleteCv;
    CLI::App* poDeleteCv = AddCommand(roApp, "delete-cv", "Delete a chord variation of a style", QdCliHelp::DELETE_CV,
                                      HELP_STYLE | HELP_SAVING | HELP_FORCE);
    AddBank(*poDeleteCv, roDeleteCv.m_strBank);
    AddStyle(*poDeleteCv, roDeleteCv.m_strStyle);
    AddPositional(*poDeleteCv, "NAME", roDeleteCv.m_strName, "the chord variation (standard name)");
    AddForce(*poDeleteCv, roDeleteCv.m_bForce);
    AddOutOrDryRun(*poDeleteCv, roDeleteCv.m_strOut, roDeleteCv.m_bDryRun);
    OnParsed(
        *poDeleteCv, roLine,
        [&roLine](CQdCliConsole& roConsole) { return QdCmdDeleteCv(roConsole, roLine.m_oDeleteCv); },
        [&roDeleteCv] { CheckOut(roDeleteCv.m_strOut, roDeleteCv.m_bDryRun); });

    CQdRenameArgs& roRename = roLine.m_oRename;
    CLI::App* poRename =
        AddCommand(roApp, "rename", "Rename a style", QdCliHelp::RENAME, HELP_STYLE | HELP_SAVING | HELP_FORCE);
    AddBank(*poRename, roRename.m_strBank);
    AddStyle(*poRename, roRename.m_strStyle);
    AddPositional(*poRename, "NEWNAME", roRename.m_strNewName, "the new name");
    AddForce(*poRename, roRename.m_bForce);
    AddOutOrDryRun(*poRename, roRename.m_strOut, roRename.m_bDryRun);
    OnParsed(
        *poRename, roLine, [&roLine](CQdCliConsole& roConsole) { return QdCmdRename(roConsole, roLine.m_oRename); },
        [&roRename] { CheckOut(roRename.m_strOut, roRename.m_bDryRun); });

    CLI::App* poSave = AddCommand(roApp, "save", "Save a bank without change", QdCliHelp::SAVE, HELP_SAVING);
    AddBank(*poSave, roLine.m_strBank);
    AddOut(*poSave, roLine.m_strOut);
    poSave->add_flag("--force", roLine.m_bForce, "write over OUT even when it is read-only");
    OnParsed(*poSave, roLine, [&roLine](CQdCliConsole& roConsole) {
        return QdCmdSave(roConsole, roLine.m_strBank, roLine.m_strOut, roLine.m_bForce);
    });
}

// DefineScripting -- the commands over a whole bank and between styles.
void DefineScripting(CLI::App& roApp, CQdCommandLine& roLine)
{
    CQdImportBankArgs& roImportBank = roLine.m_oImportBank;
    CLI::App* poImportBank =
        AddCommand(roApp, "import-bank", "Import every style's MIDI files from a folder per style",
                   QdCliHelp::IMPORT_BANK, HELP_SAVING | HELP_FORCE | HELP_MIDI);
    AddBank(*poImportBank, roImportBank.m_strBank);
    AddPositional(*poImportBank, "DIR", roImportBank.m_strDir, "the folder holding the style folders NN-<name>");
    AddOutOrDryRun(*poImportBank, roImportBank.m_strOut, roImportBank.m_bDryRun);
    poImportBank->add_flag("--replace", roImportBank.m_bReplace,
                           "replace each style (default: merge the files into it)");
    poImportBank->add_flag("--initialize", roImportBank.m_bInitialize,
                           "chord variations that hold data take the files' track parameters (default: keep)");
    AddImportFileOptions(*poImportBank, roImportBank.m_oFiles, roImportBank.m_bForce);
    OnParsed(
        *poImportBank, roLine,
        [&roLine](CQdCliConsole& roConsole) { return QdCmdImportBank(roConsole, roLine.m_oImportBank); },
        [&roImportBank] {
            CheckMap(roImportBank.m_oFiles);
            CheckOut(roImportBank.m_strOut, roImportBank.m_bDryRun);
        });

    CQdSetTrackArgs& roSetTrack = roLine.m_oSetTrack;
    CLI::App* poSetTrack = AddCommand(roApp, "set-track", "Set a track's program, bank select or expression",
                                      QdCliHelp::SET_TRACK, HELP_STYLE | HELP_SAVING | HELP_FORCE);
    AddBank(*poSetTrack, roSetTrack.m_strBank);
    AddStyle(*poSetTrack, roSetTrack.m_strStyle);
    AddPositional(*poSetTrack, "ELEMENT", roSetTrack.m_strElement, "v1 ... v4, i1, i2, f1, f2, e1, e2 or all");
    AddPositional(*poSetTrack, "TRACK", roSetTrack.m_strTrack, "0-7 or drum, perc, bass, acc1-acc5");
    poSetTrack->add_option("--program", roSetTrack.m_strProgram, "program 0-127 or a General MIDI name")
        ->type_name("N|NAME");
    const CLI::Validator oByte = CLI::Range(0, QD_CLI_MAX_PARAM).description("");
    poSetTrack->add_option("--bank-msb", roSetTrack.m_iBankMsb, "bank select MSB (controller 0), 0-127")
        ->type_name("N")
        ->check(oByte);
    poSetTrack->add_option("--bank-lsb", roSetTrack.m_iBankLsb, "bank select LSB (controller 32), 0-127")
        ->type_name("N")
        ->check(oByte);
    poSetTrack->add_option("--expression", roSetTrack.m_iExpression, "expression (controller 11), 0-127")
        ->type_name("N")
        ->check(oByte);
    AddOutOrDryRun(*poSetTrack, roSetTrack.m_strOut, roSetTrack.m_bDryRun);
    AddForce(*poSetTrack, roSetTrack.m_bForce);
    OnParsed(
        *poSetTrack, roLine,
        [&roLine](CQdCliConsole& roConsole) { return QdCmdSetTrack(roConsole, roLine.m_oSetTrack); },
        [&roSetTrack] {
            std::string strError;
            if (!QdCliParseSetTrack(roSetTrack, strError))
                throw CLI::ValidationError("set-track", strError);
            CheckOut(roSetTrack.m_strOut, roSetTrack.m_bDryRun);
        });

    CQdCopyArgs& roCopy = roLine.m_oCopy;
    CLI::App* poCopy = AddCommand(roApp, "copy", "Copy a style, an element or a chord variation over another",
                                  QdCliHelp::COPY, HELP_STYLE | HELP_SAVING | HELP_FORCE);
    AddPositional(*poCopy, "SRC_BANK", roCopy.m_strSourceBank, "the bank to copy from (only read)");
    AddPositional(*poCopy, "SRC", roCopy.m_strSource, "STYLE[:PART] to copy");
    AddPositional(*poCopy, "DST_BANK", roCopy.m_strTargetBank, "the bank to copy into (may be SRC_BANK)");
    AddPositional(*poCopy, "DST", roCopy.m_strTarget, "STYLE[:PART] to copy over");
    AddOutOrDryRun(*poCopy, roCopy.m_strOut, roCopy.m_bDryRun);
    poCopy->add_option("--tracks", roCopy.m_astrTracks, "copy these tracks only: 0-7 or drum, perc, bass, acc1-acc5")
        ->type_name("T")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->check(CLI::IsMember(TrackValues(), CLI::ignore_case).description(""));
    AddForce(*poCopy, roCopy.m_bForce);
    OnParsed(
        *poCopy, roLine, [&roLine](CQdCliConsole& roConsole) { return QdCmdCopy(roConsole, roLine.m_oCopy); },
        [&roCopy] {
            std::string strError;
            if (!QdCliCheckCopy(roCopy, strError))
                throw CLI::ValidationError("copy", strError);
            CheckOut(roCopy.m_strOut, roCopy.m_bDryRun);
        });
}

void DefineChecking(CLI::App& roApp, CQdCommandLine& roLine)
{
    CLI::App* poCheck = AddCommand(roApp, "check", "Load every style and chord variation; report any problem",
                                   QdCliHelp::CHECK, HELP_PLAIN);
    AddBank(*poCheck, roLine.m_oBankArgs.m_strBank);
    AddJson(*poCheck, roLine.m_oBankArgs.m_bJson);
    OnParsed(*poCheck, roLine, [&roLine](CQdCliConsole& roConsole) {
        roLine.m_bCheck = true;
        return QdCmdCheck(roConsole, roLine.m_oBankArgs);
    });

    CQdRescueArgs& roRescue = roLine.m_oRescue;
    CLI::App* poRescue = AddCommand(roApp, "rescue", "Export what can still be read of a damaged bank",
                                    QdCliHelp::RESCUE, HELP_PLAIN);
    AddBank(*poRescue, roRescue.m_strBank);
    poRescue->add_option("-o,--out", roRescue.m_strDir, "the folder for the styles' folders")
        ->required()
        ->type_name("DIR");
    OnParsed(*poRescue, roLine,
             [&roLine](CQdCliConsole& roConsole) { return QdCmdRescue(roConsole, roLine.m_oRescue); });

    CQdRenderArgs& roRender = roLine.m_oRender;
    CLI::App* poRender = AddCommand(roApp, "render", "Render a chord variation to a WAV file through FluidSynth",
                                    QdCliHelp::RENDER, HELP_STYLE);
    AddBank(*poRender, roRender.m_strBank);
    AddStyle(*poRender, roRender.m_strStyle);
    poRender->add_option("--cv", roRender.m_strChordVar, "the chord variation (standard name)")
        ->required()
        ->type_name("NAME");
    poRender->add_option("--track", roRender.m_strTrack, "render one track only: 0-7 or drum, perc, bass, acc1-acc5")
        ->type_name("TRACK");
    poRender->add_option("--loops", roRender.m_iLoops, "play the chord variation this many times in a row (default 2)")
        ->check(CLI::Range(1, CQdRenderOptions::MAX_LOOPS))
        ->type_name("N");
    poRender->add_option("--tempo", roRender.m_iTempo, "tempo in beats per minute, clamped to 40-300 (default 120)")
        ->type_name("BPM");
    poRender->add_option("--soundfont", roRender.m_strSoundFont, "the soundfont (default: the installed GM one)")
        ->type_name("PATH");
    poRender->add_option("-o,--out", roRender.m_strWave, "the WAV file to write")->required()->type_name("FILE.wav");
    OnParsed(*poRender, roLine,
             [&roLine](CQdCliConsole& roConsole) { return QdCmdRender(roConsole, roLine.m_oRender); });

    CQdRollArgs& roRoll = roLine.m_oRoll;
    CLI::App* poRoll = AddCommand(roApp, "roll", "Draw a chord variation as a piano roll in an SVG file",
                                  QdCliHelp::ROLL, HELP_STYLE);
    AddBank(*poRoll, roRoll.m_strBank);
    AddStyle(*poRoll, roRoll.m_strStyle);
    poRoll->add_option("--cv", roRoll.m_strChordVar, "the chord variation (standard name)")
        ->required()
        ->type_name("NAME");
    poRoll->add_option("--track", roRoll.m_strTrack, "draw one track only: 0-7 or drum, perc, bass, acc1-acc5")
        ->type_name("T")
        ->check(CLI::IsMember(TrackValues(), CLI::ignore_case).description(""));
    poRoll->add_option("--width", roRoll.m_iWidth, "the picture's width in pixels, 320-16384 (default 1200)")
        ->type_name("PX")
        ->check(CLI::Range(CQdRollLayoutOptions::MIN_WIDTH, CQdRollLayoutOptions::MAX_WIDTH).description(""));
    poRoll->add_option("-o,--out", roRoll.m_strSvg, "the SVG file to write; - : stdout")
        ->required()
        ->type_name("FILE.svg");
    OnParsed(*poRoll, roLine, [&roLine](CQdCliConsole& roConsole) { return QdCmdRoll(roConsole, roLine.m_oRoll); });

    CQdDumpArgs& roDump = roLine.m_oDump;
    CLI::App* poDump = AddCommand(roApp, "dump", "Print the events of a MIDI file", QdCliHelp::DUMP, HELP_PLAIN);
    AddPositional(*poDump, "FILE", roDump.m_strFile, "the MIDI file (.mid); - : stdin");
    poDump->add_option("--format", roDump.m_strFormat, "text (the default), csv or json")
        ->type_name("F")
        ->check(CLI::IsMember({"text", "csv", "json"}).description(""));
    poDump->add_flag("--bars", roDump.m_bBars, "bar:beat:tick by the file's time signatures (default: 4/4)");
    poDump->add_flag("-n,--line-numbers", roDump.m_bNumberLines, "number the lines (text)");
    poDump->add_flag("--channel-only", roDump.m_bChannelOnly, "channel messages only, no meta events (text)");
    OnParsed(*poDump, roLine, [&roLine](CQdCliConsole& roConsole) { return QdCmdDump(roConsole, roLine.m_oDump); });
}

// UsageOf -- the one-line usage of the command the parse had reached, else
// the tool's, and where the whole help is.
std::string UsageOf(const CLI::App& rkoApp)
{
    const auto poFormatter = std::dynamic_pointer_cast<CLI::Formatter>(rkoApp.get_formatter());
    for (const CLI::App* pkoCommand : rkoApp.get_subcommands({}))
    {
        if (!pkoCommand->parsed())
            continue;
        const std::string strName = rkoApp.get_name() + " " + pkoCommand->get_name();
        const std::string strUsage = poFormatter ? poFormatter->make_usage(pkoCommand, strName) : "";
        return strUsage + "See '" + strName + " --help'.\n";
    }
    const std::string strUsage = poFormatter ? poFormatter->make_usage(&rkoApp, rkoApp.get_name()) : "";
    return strUsage + "See '" + rkoApp.get_name() + " --help'.\n";
}

} // namespace

int main(int iArgc, char** ppszArgv)
{
    CLI::App oApp(QdCliHelp::TOOL, "qdstyle");
    oApp.footer(std::string(QdCliHelp::STYLE_AND_NAME) + QdCliHelp::SAVING + QdCliHelp::EXIT_STATUS +
                QdCliHelp::TOOL_TAIL);
    oApp.require_subcommand(1);
    // -q and -v may also follow the command's own arguments.
    oApp.fallthrough();
    CQdCommandLine oLine;
    oApp.add_flag("-q,--quiet", oLine.m_bQuiet, "only errors on stderr, no progress (see below)");
    oApp.add_flag("-v,--verbose", oLine.m_bVerbose, "more detail on stderr: a progress line per file");
    oApp.set_version_flag("--version", std::string("qdstyle ") + QD_VERSION, "Print the version and exit");
    oApp.get_formatter()->column_width(22);
    oApp.get_formatter()->label("SUBCOMMAND", "COMMAND");
    DefineBrowsing(oApp, oLine);
    DefineEditing(oApp, oLine);
    DefineScripting(oApp, oLine);
    DefineChecking(oApp, oLine);

    try
    {
        oApp.parse(iArgc, ppszArgv);
        if (oLine.m_bQuiet && oLine.m_bVerbose)
            throw CLI::ValidationError("-q and -v", "they exclude each other");
    }
    catch (const CLI::CallForHelp&)
    {
        std::cout << oApp.help();
        return QD_EXIT_OK;
    }
    catch (const CLI::CallForVersion& rkoVersion)
    {
        std::cout << rkoVersion.what() << "\n";
        return QD_EXIT_OK;
    }
    catch (const CLI::ParseError& rkoError)
    {
        std::cerr << "qdstyle: " << rkoError.what() << "\n" << UsageOf(oApp);
        return QD_EXIT_USAGE;
    }
    if (!oLine.m_fnRun)
    {
        std::cerr << UsageOf(oApp);
        return QD_EXIT_USAGE;
    }

    QdGlobalObjectsStart();
    int iExit = QD_EXIT_OK;
    {
        CQdCliConsole oConsole(oLine.m_bQuiet ? QD_QUIET : oLine.m_bVerbose ? QD_VERBOSE : QD_NORMAL);
        // The document's commands fail by themselves when memory runs out
        // (BankDoc/QdCommandGuard.h); this is the last line for what runs
        // around them (the check's own exports, the lists the commands
        // build). The message needs no memory of its own.
        if (QdRanOutOfMemory([&] { iExit = oLine.m_fnRun(oConsole); }))
        {
            std::fputs("qdstyle: ", stderr);
            std::fputs(QdDocText::OUT_OF_MEMORY, stderr);
            std::fputc('\n', stderr);
            iExit = QD_EXIT_REFUSED;
        }
        // The pools check at the end that everything they handed out came
        // back; for check, a report there fails the bank like any other.
        QdGlobalObjectsEnd();
        if (oLine.m_bCheck && iExit == QD_EXIT_OK && oConsole.GetReportCount() > 0)
            iExit = QD_EXIT_REFUSED;
        // Any other command that did its work while something was reported,
        // told or warned about (an import that left something out) says so.
        if (!oLine.m_bCheck && iExit == QD_EXIT_OK && oConsole.HasWarned())
            iExit = QD_EXIT_WARNINGS;
        oConsole.TellUnshownReports();
        // What -q held back tells why a command failed.
        if (iExit == QD_EXIT_REFUSED || iExit == QD_EXIT_USAGE)
            oConsole.ReleaseHeld();
    }
    std::fflush(stdout);
    return iExit;
}
