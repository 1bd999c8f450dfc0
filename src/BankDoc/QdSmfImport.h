// QdSmfImport.h -- the import of one MIDI file into a chord variation, in the
// order that lets a refused file change nothing.
//
//   read    the whole file (CQdFileIo); a failure keeps the system's cause
//   scan    SmfScanFile: format, tracks and their names, channels with
//           notes and with events, tempo and time signature at tick 0, the
//           first damage
//   decide  a file the reader cannot take (not a MIDI file, format 2, time
//           code, no tracks) is refused; a damaged one is refused, imported
//           in part or asked about (CQdImportOptions::m_eDamaged)
//   map     tracks named like the style's tracks go there from channels
//           1-8; the user's map, or the prompt's choice, moves the other
//           channels; a file left with nothing on channels 9-16 is refused,
//           and so is one with notes that no track takes unless the user
//           said to leave them out
//   open    the reader over the file with that map (CMidiIn)
//   tracks  a file that replaces some tracks only (QdTracksOfFile) must
//           hold events for one of them (CheckTracks)
//   target  the chord variation it goes into: a time signature other than
//           the one the element keeps is refused, taken or asked about
//           (CQdImportOptions::m_eOtherTimeSig)
//   import  only now is the style touched: the chord variation is deleted
//           first when it is initialized (a track-limited import deletes
//           nothing), then imported, counted (CNstImportStats)
//   report  what went in and what was left out (CQdImportReport)
//
// Check runs the steps up to open, CheckTracks and CheckTarget the next two,
// Import the rest.
// A refusal is told under the command's caption (CQdDocPrompt::TellFile)
// and kept in the report. Running out of memory throws as everywhere
// (QdCommandGuard.h); the caller holds a copy of the style around Import.
#pragma once

#include "BankDoc/QdDocPrompt.h"
#include "BankDoc/QdFileIo.h"
#include "BankDoc/QdImportOptions.h"
#include "BankDoc/QdImportReport.h"

#include "MidiInOut/MidiInOut.h"
#include "MidiInOut/SmfScan.h"

#include <memory>
#include <string>
#include <vector>

class CNstEditIfc;

class CQdSmfImport
{
public:
    CQdSmfImport(CQdDocPrompt& roPrompt, CQdFileIo& roFileIo, const CQdImportOptions& rkoOptions,
                 const char* pszCaption);
    ~CQdSmfImport();
    CQdSmfImport(const CQdSmfImport&) = delete;
    CQdSmfImport& operator=(const CQdSmfImport&) = delete;

    // CQdSmfImport::Check -- reads and checks the file; true when it is to
    // be imported. False after the refusal was told (roReport holds the
    // cause), or when the user declined a damaged file (not told again).
    bool Check(const std::string& rkstrPath, CQdImportReport& roReport);
    // CQdSmfImport::CheckTracks -- after Check, for an import that replaces
    // the tracks byTracks (bits) only: true when the file holds events for
    // one of them (notes, or their setup at tick 0); false after the refusal
    // was told. Always true for all eight.
    bool CheckTracks(BYTE byTracks, CQdImportReport& roReport);
    // CQdSmfImport::CheckTarget -- whether the checked file may go into the
    // tracks byTracks of the chord variation of rkoTarget, deleted first when
    // bInitialize is set and byTracks holds all eight: false after a time
    // signature other than the one the element keeps was refused (told;
    // roReport holds the cause) or declined at the prompt (not told again).
    bool CheckTarget(const CNstEditIfc& rkoTarget, BYTE bySe, BYTE byCv, bool bInitialize, BYTE byTracks,
                     CQdImportReport& roReport);
    // CQdSmfImport::Import -- the checked file into the tracks byTracks
    // (bits; all eight: the whole chord variation) of the chord variation of
    // roTarget; a tempo at tick 0 becomes the style's tempo (as
    // CNstEditIfc::ImportFromSmf). bInitialize: the whole chord variation is
    // deleted first; some tracks take the file's tick-0 parameters instead
    // (CNstImportOptions::m_bTakeParams), and nothing is deleted. Fills the
    // rest of roReport.
    void Import(CNstEditIfc& roTarget, BYTE bySe, BYTE byCv, bool bInitialize, BYTE byTracks,
                CQdImportReport& roReport);

private:
    // Refuse -- tells the refusal and keeps its cause; false.
    bool Refuse(const char* pszText, const std::string& rkstrCause, CQdImportReport& roReport);
    // Decline -- keeps the cause of a file the user declined (not told
    // again); false.
    bool Decline(const std::string& rkstrCause, CQdImportReport& roReport);
    // AskToImport -- the file's message (pszText, the path and the cause)
    // and the question; true when the user says "Import".
    bool AskToImport(const char* pszText, const std::string& rkstrCause, const char* pszQuestion);
    // TakeDamagedFile -- whether a damaged file goes on in part (asking when
    // told to); false (not told) when it does not.
    bool TakeDamagedFile(CQdImportReport& roReport);
    // MapChannels -- the channel map of the reader; false when the file is
    // left with nothing for the tracks, or with notes that no track takes
    // and the user did not say to leave out (refused).
    bool MapChannels(CQdImportReport& roReport);
    // MappedChannels -- the channels whose bits the file's tracks hold in
    // *pwChannels (m_wNoteChannels, m_wEventChannels), once the map has
    // moved them.
    WORD MappedChannels(WORD CSmfTrackInfo::*pwChannels) const;
    // BuildMap -- named tracks to their tracks, rkoMap for the others.
    void BuildMap(const CQdTrackMap& rkoMap);

    CQdDocPrompt& m_roPrompt;
    CQdFileIo& m_roFileIo;
    const CQdImportOptions& m_rkoOptions;
    const char* m_pszCaption;

    std::string m_strPath;
    std::vector<BYTE> m_abyFile;
    CSmfFileInfo m_oInfo;
    CSmfChannelMap m_oMap;
    std::unique_ptr<CMidiIn> m_poMidiIn;
    bool m_bPartial = false;
};
