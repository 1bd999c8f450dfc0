// QdBankDoc.h -- the open style bank and every command of the tool on it.
//
// CQdBankDoc holds what the main window holds while a bank is open: the
// 0x300000-byte bank block, the chunk navigator over it, the slot table,
// the style names shown in the style list, the selected style with its edit
// interface, the modified flag and the per-style "written back" marks. Every
// command runs here, start to end; questions, messages and file choices go
// through a CQdDocPrompt, so the desktop window, the command-line tool and
// the tests drive the same code. The windows only show the state this class
// exposes (style list, element tree, info line, tool-button states).
//
// Commands that take a file choice come in two steps: the command itself
// (question, file dialog, then the work) and the work on a given path
// (OpenBankFile, SaveBankTo, ImportStyleFiles, ImportChordVarFile,
// ExportChordVarFile), which the command-line tool calls directly.
//
// Decisions beyond the window's classic behaviour:
// - Files are written atomically (CQdFileIo::WriteAtomic): a failed save or
//   export leaves the old file as it was; a failed save keeps the bank open,
//   its written-back marks and its file name. A bank file that is read-only
//   is not written over (the rename would replace it all the same): the
//   save is refused, and the desktop offers another name.
// - Save Style Bank asks "Confirm changes ?" with a Cancel that saves
//   nothing and keeps the open style's changes; leaving a style asks it
//   with Yes and No only, as the selection always goes ahead.
// - A file larger than the bank block is refused ("File too large for a
//   Qd50 Style Bank!"); a root chunk longer than the file is "File corrupt -
//   Error!". Slots beyond the 64th are reported ("iIndex < 64") and treated
//   as absent: not listed, not decompressed, never written back.
// - A style that cannot be written back (no room left in the bank block,
//   no bank data from the edit interface, a slot that is not one style
//   container) stays open in its edit interface, still modified, with a
//   message; the selection then stays on it and a save is not done.
// - "Replace" in the whole-style import takes effect only when at least one
//   file was imported; otherwise the style stays as it was.
// - An import changes a chord variation only through a file that passed
//   every check (QdSmfImport.h): a file that cannot be read, is damaged
//   (unless its readable part is asked for), or holds no note for the
//   tracks is refused before anything is deleted, and the style stays as it
//   was, unmodified. Messages about a file (an import's, a bank that does
//   not open or is not written) keep their classic caption and text and add
//   "path: cause" (CQdDocPrompt::TellFile). Every import ends with a report
//   per file (CQdDocPrompt::ShowImportReports).
// - The directory list holds at most 100 entries and never more than the
//   directory chunk's data can take; entries beyond are reported and left out.
// - A style whose loading reported problems (its slot's decompression at
//   open, or building its edit interface) is marked damaged with the
//   reports' texts. Opening a bank loads every listed style once aside to
//   know this before a style is selected; those loads record their reports
//   without showing them (ScanStyles). Writing a damaged style back keeps
//   only what could be read, so it is written back only after the user
//   confirms it (QdDocText::DamagedWriteBack); otherwise it stays open,
//   still modified, and a save is not done. A style that is never written
//   back keeps its slot's data as it was read.
// - A command that runs out of memory is not done: "Out of memory - command
//   not done!" under its caption, its failure value, the bank open and as
//   it was, no file written (QdCommandGuard.h). Opening a bank is the
//   exception: the open bank is given up first, so no bank is open after a
//   load that ran out of memory, as after a refused file. Kept changes of
//   the open style that were written back before the rest of a command
//   failed (leaving the style, saving) stay written back.
#pragma once

#include "BankDoc/QdBankFacts.h"
#include "BankDoc/QdDocPrompt.h"
#include "BankDoc/QdFileIo.h"
#include "BankDoc/QdImportOptions.h"
#include "BankDoc/QdLoadedStyles.h"
#include "Base/QdTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CChunkNav;
class CChunkNavComp;
class CNstEditIfc;
struct CNstTrackParam;
struct CQdTrackParamChange;
struct CQdCopyRequest;
struct CQdCopyReport;
struct CQdBankImportStyle;
struct CQdClipPart;
struct CQdRoll;

// One node of the element tree (the style open in the edit interface).
struct CQdTreeNode
{
    enum EKind : BYTE
    {
        KIND_STYLE = 0,
        KIND_ELEMENT = 1,
        KIND_CHORD_VAR = 2,
        KIND_TRACK = 3,
    };
    BYTE m_byKind = KIND_STYLE;
    BYTE m_bySe = 0;
    BYTE m_byCv = 0;
    BYTE m_byTrack = 0;
    int m_iLevel = 0;        // 0 root, 1 element, 2 chord variation, 3 track
    int m_iImage = 0;        // image index of the tree's image list
    std::string m_strText;
};

// Which tool buttons are enabled.
struct CQdToolState
{
    bool m_bOpen = true;
    bool m_bSave = false;
    bool m_bImportAll = false;
    bool m_bImportSingle = false;
    bool m_bExportSingle = false;
    bool m_bDeleteCV = false;
    bool m_bUndo = false;
    bool m_bPlay = false;
    // The desktop's menu commands beyond the tool bar.
    bool m_bRename = false;       // a style is selected
    bool m_bCopy = false;         // an element or a chord variation node
    bool m_bPasteTarget = false;  // the same: a paste goes there when the clipboard's kind fits
    bool m_bTrackParams = false;  // an element, chord variation or track node
    bool m_bExportAudio = false;  // a chord variation or track node
    bool m_bExportBank = false;   // a bank is open
};

// Outcome of writing the open style back into the bank block.
enum EQdWriteBack
{
    QD_WRITEBACK_DONE = 0,
    QD_WRITEBACK_NO_STYLE, // no bank, no edit interface or no style selected: nothing to do
    QD_WRITEBACK_NO_SLOT,  // the slot or its single style container was not found
    QD_WRITEBACK_NO_DATA,  // the edit interface gave no bank data
    QD_WRITEBACK_NO_ROOM,  // the grown style does not fit the bank block's reserve
    QD_WRITEBACK_NO_MEMORY, // memory ran out on the way; the block and the style are as they were
    QD_WRITEBACK_DAMAGED,   // the style was damaged when loaded and the write-back was not confirmed
};

class CQdBankDoc
{
public:
    static constexpr DWORD BANK_BLOCK_SIZE = 0x300000;
    static constexpr int MAX_SLOTS = 64;
    static constexpr int MAX_DIRECTORY_ENTRIES = 100;
    static constexpr int NAME_RECORD_SIZE = 24;
    static constexpr int MAX_LIST_NAME = 11;
    static constexpr int NR_STANDARD_NAMES = 36;
    // A MIDI file read for an import may hold at most this many bytes.
    static constexpr DWORD MAX_SMF_FILE_SIZE = 0x1000000;

    CQdBankDoc(CQdDocPrompt& roPrompt, CQdFileIo& roFileIo = CQdFileIo::Default());
    ~CQdBankDoc();
    CQdBankDoc(const CQdBankDoc&) = delete;
    CQdBankDoc& operator=(const CQdBankDoc&) = delete;

    // --- What the windows show -------------------------------------------
    bool IsBankOpen() const;
    const std::string& GetBankFileName() const { return m_strBankFileName; }
    // Texts of the style list's style nodes, one per present style in slot
    // order; empty for a bank without a style-name table.
    const std::vector<std::string>& GetStyleNames() const { return m_astrStyleNames; }
    int GetStyleCount() const { return int(m_astrStyleNames.size()); }
    // True for a style whose changes were written back into the bank block
    // and not yet saved to a file (the list shows it with image 6).
    bool IsWrittenBack(int iStyle) const;
    // True for a style whose loading reported problems: its slot's
    // decompression when the bank was opened, or its latest load from the
    // bank block (each listed style is loaded once when the bank opens,
    // again each time it is selected). Cleared when the style is written
    // back. GetStyleDamage gives the reports' texts (the slot's first),
    // GetStyleDamageText the same on one line for an info line.
    bool IsStyleDamaged(int iStyle) const;
    const std::vector<std::string>& GetStyleDamage(int iStyle) const;
    std::string GetStyleDamageText(int iStyle) const;
    // The selected style (0-based among present styles), -1 for the root or none.
    int GetSelectedStyle() const { return m_iSelectedStyle; }
    CNstEditIfc* GetEditIfc() { return m_poEditIfc.get(); }
    bool IsStyleModified() const { return m_bStyleModified; }
    // True when opening another bank or closing must ask "Ignore changes ?".
    bool HasUnsavedChanges() const;
    DWORD GetUsedSize() const;
    // The bank block as it is now (null while no bank is open); the first
    // GetUsedSize() bytes hold the chunk tree.
    const BYTE* GetBankBlock() const { return m_pbyBlock.get(); }
    // The info text of the selected style-list node: what the last selection
    // showed, or " Uncompressed Size: ???" while the open style is modified.
    std::string GetListInfoText() const;
    // The element tree of the open style, in display order (parents first).
    std::vector<CQdTreeNode> BuildElementTree() const;
    // The info line for an element-tree node; empty when the line stays hidden.
    std::string GetTreeInfoText(const CQdTreeNode& rkoNode) const;
    // Tool buttons for the selected element-tree node (nullptr: none selected).
    CQdToolState GetToolState(const CQdTreeNode* pkoSelected) const;

    // --- Opening and closing ---------------------------------------------
    // OpenBank -- the Open Style Bank command (question, file choice, open,
    // and for a bank refused as corrupt OfferRescue).
    bool OpenBank();
    // OpenBankAsking -- Open Style Bank with the file given (dropped on the
    // window, chosen from the recent files): the question about unsaved
    // changes as OpenBank asks it, the open, the rescue offer for a bank
    // refused as corrupt. An empty path: the file dialog chooses (OpenBank).
    bool OpenBankAsking(const std::string& rkstrPath);
    // GetBankPath -- the open bank's path as opened or last saved; "" without a bank.
    std::string GetBankPath() const;
    // OpenBankFile -- gives up the open bank and opens the given file without
    // asking (start-up argument, command line).
    bool OpenBankFile(const std::string& rkstrPath);
    // WasRefusedAsCorrupt -- the last open refused the file as corrupt ("File
    // corrupt - Error!"): it starts like a bank, but its chunk tree or a slot
    // is broken. The rescue (QdBankRescue.h) may still get styles out of it.
    bool WasRefusedAsCorrupt() const { return m_bRefusedAsCorrupt; }
    // OfferRescue -- after an open that refused its file as corrupt, the
    // desktop's offer to rescue its styles (QdRescueCommand.cpp): the
    // question, the folder, the rescue, its report. Nothing after any other
    // open. OpenBank offers it itself; true when the rescue ran.
    bool OfferRescue();
    // IsBankFileStart -- the file check of opening on a file's first bytes
    // (root header, first child's header, the "VLMF" mark); false for fewer
    // than the 32 bytes it reads.
    static bool IsBankFileStart(const BYTE* pkbyData, std::size_t uLength);
    // NoBankCause -- why a file whose first uLength bytes (at most the 32
    // of the check) fail the file check is no bank, as the cause of a
    // message about it.
    static std::string NoBankCause(std::size_t uLength);
    // CanClose -- asks "Ignore changes ?" when needed; true when the window may close.
    bool CanClose();

    // --- Style selection and renaming --------------------------------------
    // SelectStyle -- selects the style at iStyle (0-based among present
    // styles) or the root (-1): asks about a modified style, writes it back
    // when kept, opens the new one. Returns the info line text. When the old
    // style cannot be written back it stays selected and open (see
    // GetSelectedStyle).
    std::string SelectStyle(int iStyle);
    // RenameStyle -- the list's rules: empty keeps the name, longer than 11
    // characters is cut. Returns the name applied; empty when no style is
    // open (nothing renamed).
    std::string RenameStyle(const std::string& rkstrNewName);

    // --- Chord-variation commands ------------------------------------------
    // ImportAllSmf -- Import Style from SMFs with Standard Names. Damaged
    // files, files with notes outside channels 9-16 and files of another
    // time signature than the element's are asked about (QD_DAMAGED_ASK,
    // ChooseChannelMap, QD_TIME_SIG_ASK).
    bool ImportAllSmf();
    // ImportStyleFiles -- the import of the chosen files (Replace or Merge)
    // as rkoOptions say. Refused files change nothing, the others go in.
    // Returns the number of files imported; with none the style stays as it
    // was, unmodified. A replaced style is named rkstrNewName as a rename
    // names it, "New Style" when it is empty.
    int ImportStyleFiles(const std::vector<std::string>& rkastrPaths, bool bReplace,
                         const CQdImportOptions& rkoOptions = CQdImportOptions(),
                         const std::string& rkstrNewName = std::string());
    // ImportSingleSmf -- Import Chord Variation from SMF into a present chord
    // variation, asking as ImportAllSmf does.
    bool ImportSingleSmf(BYTE bySe, BYTE byCv);
    // ImportChordVarFile -- the import of one chosen file into a present
    // chord variation as rkoOptions say; false, with the style as it was,
    // for a refused file.
    bool ImportChordVarFile(BYTE bySe, BYTE byCv, bool bInitialize, const std::string& rkstrPath,
                            const CQdImportOptions& rkoOptions = CQdImportOptions());
    // ImportAllSmfFiles, ImportSingleSmfFile -- the two commands with the
    // files given (dropped on a style, on a chord variation or on one of its
    // tracks, byTrack 0-7: that track only): the same question, no file
    // dialog; no files or an empty path: the dialog chooses, as in
    // ImportAllSmf and ImportSingleSmf.
    bool ImportAllSmfFiles(const std::vector<std::string>& rkastrPaths);
    bool ImportSingleSmfFile(BYTE bySe, BYTE byCv, const std::string& rkstrPath, BYTE byTrack = 0xFF);
    // ExportSingleSmf -- Export Chord Variation to SMF.
    bool ExportSingleSmf(BYTE bySe, BYTE byCv);
    // ExportChordVarFile -- writes the chord variation (byTrack 255) or one
    // track (0..7) of the open style to the file, atomically; no message
    // but the out-of-memory one that every command gives. A failed write
    // leaves its cause with the file access (CQdFileIo::GetLastError).
    bool ExportChordVarFile(BYTE bySe, BYTE byCv, BYTE byTrack, const std::string& rkstrPath);
    bool DeleteCV(BYTE bySe, BYTE byCv);
    bool UndoStyle();

    // --- The piano roll (QdRoll.h) -----------------------------------------
    // BuildRoll -- the chord variation (byTrack NST_ALL_TRACKS) or one track
    // (0..7) of the open style as a roll, read from its export as
    // ExportChordVarFile writes it (the export fits the patterns' measures
    // in place, so the style may change as by an export). False when the
    // open style has no such chord variation (roRoll empty) or its export
    // does not read back clean (QdBuildRoll); no message but the
    // out-of-memory one.
    bool BuildRoll(BYTE bySe, BYTE byCv, BYTE byTrack, CQdRoll& roRoll);
    // BuildNodeRoll -- the roll the window shows for a tree node: a chord
    // variation with all its tracks; for a track the same roll with that
    // track highlighted (the others faint). False, roRoll empty, for the
    // other nodes and as BuildRoll.
    bool BuildNodeRoll(const CQdTreeNode& rkoNode, CQdRoll& roRoll);

    // --- Track parameters (QdTrackParams.h) --------------------------------
    // Stands for every present element of the open style.
    static constexpr BYTE ALL_ELEMENTS = 0xFF;
    // GetTrackParams -- the open style's parameters of the track in a
    // present element; false, roParam untouched, when there are none.
    bool GetTrackParams(BYTE bySe, BYTE byTrack, CNstTrackParam& roParam) const;
    // SetTrackParams -- the values rkoChange gives, into the track of the
    // element bySe or of every present element (ALL_ELEMENTS). Refused with
    // a message, nothing changed: no value, a value above 127, an absent
    // element. The style is modified when a value changed; UndoStyle takes
    // the change back like any other.
    bool SetTrackParams(BYTE bySe, BYTE byTrack, const CQdTrackParamChange& rkoChange);

    // --- Copying between styles and banks (QdCopyPart.h) -------------------
    // CopyOfStyle -- a copy of the style at iStyle as the document holds it
    // now (the open style with its changes), to copy from; false when it
    // does not load.
    bool CopyOfStyle(int iStyle, std::unique_ptr<CNstEditIfc>& rpoCopy);
    // CopyPart -- copies the request's source part of rkoSource (another
    // document's open style, a CopyOfStyle, or the open style itself) over
    // its destination part in the open style. Refused with a message,
    // nothing changed: parts of different kinds, an absent source part,
    // differing time signatures, chosen tracks that a destination chord
    // variation's length would cut. roReport says what each destination
    // chord variation became, and which of them the write-back leaves out
    // (beyond what their element holds: CQdCopyReport::m_astrLeftOut).
    bool CopyPart(const CNstEditIfc& rkoSource, const CQdCopyRequest& rkoRequest, CQdCopyReport& roReport);

    // --- The desktop's clipboard (QdClipPart.h, QdDesktopCommands.cpp) -----
    // CopyToClip -- the element or chord variation of the node as the
    // clipboard's payload (rabyPayload), and for other programs the chord
    // variation (of an element its first) as a MIDI file (rabyMidi). The
    // open style's changes are in it; the style does not change. False for
    // other nodes.
    bool CopyToClip(const CQdTreeNode& rkoNode, std::vector<BYTE>& rabyPayload, std::vector<BYTE>& rabyMidi);
    // PasteFromClip -- the payload's part over the node's part of the open
    // style, after the question (the node holds data). Refused with a
    // message, nothing changed: no payload, a part of another kind, source
    // data that load damaged, and whatever CopyPart refuses (another time
    // signature). The style is modified; UndoStyle takes it back. Chord
    // variations the write-back will leave out are told after the paste.
    bool PasteFromClip(const CQdTreeNode& rkoNode, const BYTE* pkbyPayload, std::size_t uLength);
    // CanPasteOn -- the payload's part is of the node's kind.
    static bool CanPasteOn(const CQdTreeNode& rkoNode, const CQdClipPart& rkoPart);
    // GetTrackVoiceText -- a track node's voice in words: "Electric Bass
    // (finger) - program 33, bank 0/0, expression 100" ("drum kit" on the
    // rhythm tracks); "" for other nodes or an element without parameters.
    std::string GetTrackVoiceText(const CQdTreeNode& rkoNode) const;

    // --- The desktop's bank commands (QdDesktopCommands.cpp) ---------------
    // ExportWholeBank -- Export Whole Bank: a folder, ExportBank into it, a
    // message with the count.
    bool ExportWholeBank();
    // RescueBank -- Rescue Styles: a bank file (any, mostly one that does
    // not open), a folder, the rescue, its report. The open bank stays.
    bool RescueBank();

    // --- Importing a whole bank (QdBankImport.h) ---------------------------
    // ImportBankFolder -- each style folder of rkstrDir (NN-<name>) into the
    // style at position NN, as ImportStyleFiles does, each style written
    // back before the next. raoStyles gets one report per folder, in
    // position order. Returns the number of styles changed; 0 also when the
    // folder cannot be read, holds no style folder or two for one style
    // (told; nothing changed).
    // With bReplace a style takes the name rkoNames gives for its folder,
    // else the one the folder's name holds (QdStyleFolderStyleName).
    int ImportBankFolder(const std::string& rkstrDir, bool bReplace, const CQdImportOptions& rkoOptions,
                         std::vector<CQdBankImportStyle>& raoStyles,
                         const std::map<std::string, std::string>& rkoNames = {});

    // --- Saving ------------------------------------------------------------
    // WriteBackStyle -- replaces the selected style's container in the bank
    // block with the edit interface's bank data. Done: the style is marked
    // written back and no longer modified. A style that was damaged when
    // loaded is asked about first (QD_WRITEBACK_DAMAGED unless confirmed).
    // No message; running out of memory is a result too
    // (QD_WRITEBACK_NO_MEMORY), which the commands that leave or save the
    // style tell like any refused write-back.
    EQdWriteBack WriteBackStyle();
    // SaveBank -- the Save Style Bank command (leaving the style, file
    // choice, then SaveBankTo).
    bool SaveBank();
    // SaveBankAsking -- Save Style Bank into the file given (the desktop's
    // Save: the open bank's own file), without the file dialog; an empty
    // path: the dialog chooses, as in SaveBank. A modified open style is
    // asked about with "Confirm changes ?" Yes, No or Cancel: Cancel (and
    // Escape) ends the command with nothing saved and the changes still in
    // the open style. A read-only file (CQdFileIo::IsReadOnlyFile), given
    // or chosen, is refused before anything changes, with the offer to save
    // under another name (the file dialog, again and again until a file
    // that may be written or Cancel).
    bool SaveBankAsking(const std::string& rkstrPath);
    // SaveBankTo -- compression, directory and name table, atomic write,
    // decompression, fresh style list. False when the file was not written
    // (the bank stays open with its changes). A read-only file is refused
    // first, nothing changed, unless bOverwriteReadOnly (qdstyle --force).
    bool SaveBankTo(const std::string& rkstrPath, bool bOverwriteReadOnly = false);

    // --- Facts for scripts and info views (QdBankFacts.cpp) ----------------
    // GetBankFacts -- the open bank: file, sizes, the slot table, directory
    // and name table. Stored sizes and the directory are the file's as it
    // was opened or last saved; the rest is the bank block as it is now.
    // False without a bank, or when memory ran out (told).
    bool GetBankFacts(CQdBankFacts& roFacts);
    // GetStyleFacts -- the open style's tree as BuildElementTree and
    // GetTreeInfoText show it, with what each track holds and the
    // element's track parameters. False without an open style, or when
    // memory ran out (told).
    bool GetStyleFacts(CQdStyleFacts& roFacts);
    // ExportBank -- every style as the bank block holds it (changes of the
    // open style not yet written back are not in it), each loaded aside and
    // its chord variations written to rkstrDir/NN-<name>/<standard
    // name>.mid (QdStyleFiles.h), one entry per style in raoStyles with its
    // facts; Progress per style. The selection stays as it was. A style
    // that loads damaged gives what could be read (its loading reports
    // reach the report sink as a selection's do). False when a file could
    // not be written (told with its cause; the styles before it are in
    // raoStyles) or memory ran out.
    bool ExportBank(const std::string& rkstrDir, std::vector<CQdExportedStyle>& raoStyles);

    // --- Standard names ----------------------------------------------------
    // StandardName -- "v1cv1" ... "e2cv2"; null for an index outside 0..35.
    static const char* StandardName(int iIndex);
    // StandardNameIndex -- the index of an element's chord variation; -1
    // when the element has no standard name for it.
    static int StandardNameIndex(BYTE bySe, BYTE byCv);
    // StandardNameElement -- element and chord variation of an index; false
    // for an index outside 0..35.
    static bool StandardNameElement(int iIndex, BYTE& rbySe, BYTE& rbyCv);
    // FindStandardName -- index of the first standard name, in table order,
    // found anywhere in the lower-cased file name; -1 when none.
    static int FindStandardName(const std::string& rkstrFileName);
    // Names shown to the user; "" for a number outside the table.
    static const char* ElementName(BYTE bySe);
    static const char* TrackName(BYTE byTrack);
    // TrackNameList -- the names of the tracks (bit n for track n), "Drum, Bass".
    static std::string TrackNameList(BYTE byTracks);
    // TrackShortName -- "drum", "perc", "bass", "acc1" ... "acc5": what the
    // command line's track options take, and the suffix of a track's file
    // name; "" outside the table.
    static const char* TrackShortName(BYTE byTrack);
    // FindTrackShortName -- the track of a short name, any letter case; -1
    // when it is none.
    static int FindTrackShortName(const std::string& rkstrName);
    // StandardFileStem -- the file name (without ".mid") of a chord
    // variation, its standard name, or of one of its tracks (byTrack 0-7):
    // the standard name, "-" and the track's short name ("v1cv2-bass").
    // "" when the chord variation has no standard name.
    static std::string StandardFileStem(BYTE bySe, BYTE byCv, BYTE byTrack);
    // FindTrackSuffix -- the reverse for the track: the track whose short
    // name follows the file name's standard name (FindStandardName's) after
    // a "-", ending there (a letter or digit may not follow); -1 when none.
    static int FindTrackSuffix(const std::string& rkstrFileName);
    // ElementShortName -- "v1" ... "v4", "i1", "i2", "f1", "f2", "e1", "e2":
    // the element part of the standard names; "" outside the table.
    static const char* ElementShortName(BYTE bySe);
    // FindElementShortName -- the element of a short name, any letter case;
    // -1 when it is none.
    static int FindElementShortName(const std::string& rkstrName);
    // WriteBackMessage -- the message text of a refused write-back.
    static const char* WriteBackMessage(EQdWriteBack eResult);

private:
    // What loading a style reported: the texts of its slot's decompression
    // at open (the first m_uOpenTexts), then those of its latest load. The
    // flags stay set when a text could not be kept for want of memory.
    struct CQdStyleDamage
    {
        bool m_bAtOpen = false;
        bool m_bOnLoad = false;
        std::size_t m_uOpenTexts = 0;
        std::vector<std::string> m_astrTexts;
    };

    // A selection loaded aside (LoadSelection), for TakeSelection.
    struct CQdSelection
    {
        int m_iStyle = -1;
        std::string m_strName;
        std::string m_strInfo;
        std::unique_ptr<CNstEditIfc> m_poEditIfc;
        CQdStyleDamage m_oDamage;
    };

    // CStyleBackup -- a copy of the open style, taken when the object is
    // made, for an edit of the style in place: unless Keep is called, the
    // copy takes the open style's place again when the object goes (the
    // edit did not complete: memory ran out halfway).
    class CStyleBackup
    {
    public:
        explicit CStyleBackup(CQdBankDoc& roDoc);
        ~CStyleBackup();
        CStyleBackup(const CStyleBackup&) = delete;
        CStyleBackup& operator=(const CStyleBackup&) = delete;
        void Keep();

    private:
        CQdBankDoc& m_roDoc;
        std::unique_ptr<CNstEditIfc> m_poCopy;
    };

    // CBankBackup -- the bank's state when the object is made, for a
    // command that changes many styles: a copy of the bank block with a
    // navigator on it, the style list with its marks and damage, and the
    // selection with a copy of the open style. Unless Keep is called, all of
    // it takes the document's place again when the object goes (the
    // command did not complete: memory ran out halfway), by swaps only.
    class CBankBackup
    {
    public:
        explicit CBankBackup(CQdBankDoc& roDoc);
        ~CBankBackup();
        CBankBackup(const CBankBackup&) = delete;
        CBankBackup& operator=(const CBankBackup&) = delete;
        void Keep() { m_bKept = true; }

    private:
        void SwapWithDoc() noexcept;

        CQdBankDoc& m_roDoc;
        bool m_bKept = false;
        // The block first: the navigator on it goes before it.
        std::unique_ptr<BYTE[]> m_pbyBlock;
        std::unique_ptr<CChunkNavComp> m_poNav;
        std::vector<std::string> m_astrStyleNames;
        std::vector<bool> m_abWrittenBack;
        std::vector<CQdStyleDamage> m_aoStyleDamage;
        int m_iSelectedStyle;
        std::string m_strSelectedStyleName;
        std::string m_strListInfo;
        std::string m_strSmfDir;
        std::unique_ptr<CNstEditIfc> m_poEditIfc;
        bool m_bStyleModified;
        bool m_bOpenStyleDamaged;
    };

    // Opening (QdBankOpen.cpp).
    void ReleaseBank() noexcept;
    bool LoadBank(const std::string& rkstrPath);
    bool WalkSlots(DWORD& rdwBrokenAt);
    bool SlotOutgrowsBlock() const;
    void ScanStyles();
    std::unique_ptr<CNstEditIfc> LoadStyleContainer(bool bForward, CQdStyleDamage& roDamage);
    void RebuildStyleList();
    std::vector<std::string> ReadStyleNames(CChunkNav& roNav) const;
    void TakeStyleList(std::vector<std::string>& rastrNames, std::vector<bool>& rabWrittenBack) noexcept;
    // Slot walk of the bank navigator: the next depth-1 container chunk.
    bool FindNextSlot();
    // The navigator on the slot of present style iStyle; false when missing.
    bool GotoStyleSlot(int iStyle);

    // Selection and the commands on the open style (QdStyleCommands.cpp).
    bool IsOpenStyleModified() const;
    std::string SelectStyleAnswered(int iStyle, bool bDropChanges);
    CQdSelection LoadSelection(int iStyle, const std::string* pkstrName = nullptr);
    void TakeSelection(CQdSelection& roSelection) noexcept;
    bool IsChordVarNode(BYTE bySe, BYTE byCv) const;
    // The imports (QdImportCommands.cpp).
    // bOwnCommand: the import is the command (its progress and the files'
    // reports are shown), not a part of a bank import.
    // rkstrNewName: the replaced style's name (ListNameOf, "New Style").
    int ImportStyleFilesInto(const std::vector<std::string>& rkastrPaths, bool bReplace,
                             const CQdImportOptions& rkoOptions, std::vector<CQdImportReport>& raoReports,
                             bool bOwnCommand = true, const std::string& rkstrNewName = std::string());
    // ListNameOf -- a name as the style list takes it (a rename): empty
    // gives rkstrEmpty, a longer one is cut to MAX_LIST_NAME characters.
    static std::string ListNameOf(const std::string& rkstrName, const std::string& rkstrEmpty);
    // The bank import (QdBankImport.cpp): the style folders of a folder, and
    // one style folder's import and write-back.
    bool ListStyleFolders(const std::string& rkstrDir, std::vector<CQdBankImportStyle>& raoStyles);
    bool ImportStyleFolder(CQdBankImportStyle& roStyle, bool bReplace, const CQdImportOptions& rkoOptions,
                           const std::map<std::string, std::string>& rkoNames);
    void EnsureFirstElement(CNstEditIfc& roEditIfc, const std::string& rkstrCaption);

    // What the file held as it was opened or last saved: the slots' stored
    // chunks and the directory, which decompressing the slots changes.
    struct CQdFileFacts
    {
        std::string m_strPath;
        std::uint64_t m_qwFileSize = 0;
        std::vector<DWORD> m_adwSlotSizes;    // per slot, its chunk's bytes
        std::vector<bool> m_abSlotCompressed; // per slot
        CQdDirectoryFacts m_oDirectory;
    };

    // Facts (QdBankFacts.cpp).
    // ReadFileFacts -- of the navigator's bank as it lies (slots compressed, as in the file).
    static CQdFileFacts ReadFileFacts(CChunkNav& roNav, const std::string& rkstrPath, std::uint64_t qwFileSize);
    // SlotOfStyle -- the 0-based slot of present style iStyle; -1 when none.
    int SlotOfStyle(int iStyle) const;
    // StyleFactsOf -- the facts of style iStyle loaded into pkoEditIfc
    // (null: it did not load) with its damage.
    void StyleFactsOf(int iStyle, const CNstEditIfc* pkoEditIfc, const CQdStyleDamage& rkoDamage,
                      CQdStyleFacts& roFacts);

    // Saving (QdBankSave.cpp).
    // ConfirmDamagedWriteBack -- true unless the open style was damaged when
    // loaded and the user does not confirm writing it back. The commands ask
    // before their wait starts and hand the answer to WriteBack.
    bool ConfirmDamagedWriteBack();
    EQdWriteBack WriteBack(bool bDamageConfirmed);
    // SaveElsewhere -- the read-only file told and another name offered;
    // true when the user takes the offer.
    bool SaveElsewhere(const std::string& rkstrPath);
    EQdWriteBack ReplaceStyleContainer();
    void CompressSlots(CChunkNavComp& roNav);
    std::vector<BYTE> DirectoryList(CChunkNav& roNav) const;
    static void WriteDirectory(CChunkNav& roNav, const std::vector<BYTE>& rkabyList);
    void RefreshNameTable(CChunkNav& roNav) const;

    CQdDocPrompt& m_roPrompt;
    CQdFileIo& m_roFileIo;

    std::unique_ptr<BYTE[]> m_pbyBlock;
    std::unique_ptr<CChunkNavComp> m_poNav;
    std::string m_strBankFileName;
    // Initial directories of the bank's open and save dialogs and of the
    // MIDI file dialogs (one for all of them).
    std::string m_strOpenDir;
    std::string m_strSaveDir;
    std::string m_strSmfDir;
    // Of the desktop's bank export and rescue.
    std::string m_strExportDir;
    std::array<bool, MAX_SLOTS> m_abSlotHoldsStyle{};
    int m_iSlotStyleCount = 0;
    std::vector<std::string> m_astrStyleNames;
    std::vector<bool> m_abWrittenBack;
    int m_iSelectedStyle = -1;
    std::string m_strSelectedStyleName;
    std::string m_strListInfo;
    std::unique_ptr<CNstEditIfc> m_poEditIfc;
    bool m_bStyleModified = false;
    // Per present style in slot order (the style list's order).
    std::vector<CQdStyleDamage> m_aoStyleDamage;
    // The loads of the open's damage scan, for each style's first selection.
    CQdLoadedStyles m_oLoadedStyles;
    // The open style was loaded damaged (a replacing import clears it: the
    // new style holds nothing of the damaged one).
    bool m_bOpenStyleDamaged = false;
    bool m_bRefusedAsCorrupt = false;
    CQdFileFacts m_oFileFacts;
    // The file of the last open, while it stands refused as corrupt.
    std::string m_strRefusedBank;
};
