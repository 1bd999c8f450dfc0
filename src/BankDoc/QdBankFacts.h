// QdBankFacts.h -- what the bank document knows about a bank and its styles,
// as plain data for the front ends: the bank's facts (file, sizes, slot
// table, directory and name table), a style's tree with what each part
// holds, and a check's findings.
//
// The same data feed the text of `qdstyle info`, `show` and `check` and
// their JSON (json/QdJson.h), so both forms say the same. The document fills
// them (CQdBankDoc::GetBankFacts, GetStyleFacts, ExportBank); nothing here
// refers back to the document. Text (style names, damage reports) stays in
// the bank's 8-bit bytes; QdCharset.h says how they become Unicode.
#pragma once

#include "Base/QdTypes.h"
#include "NlzdStyle/NlzdStyle.h"

#include <cstdint>
#include <string>
#include <vector>

// One depth-1 slot chunk of the bank, in file order (at most 64).
struct CQdSlotFacts
{
    int m_iSlot = 0; // 1-based among the slots
    BYTE m_byId = 0; // the chunk id: 6 a style, others hold none
    bool m_bStyle = false;
    int m_iPosition = 0;        // 1-based among the styles, as `list` numbers them; 0 without a style
    std::string m_strName;      // the style's name as the list shows it; empty without a style
    DWORD m_dwStoredSize = 0;   // the chunk's bytes in the file as opened or last saved, its header included
    bool m_bCompressed = false; // its data were stored compressed
    DWORD m_dwSize = 0;         // its data's bytes in the bank block, decompressed
};

// The chunk-offset directory (chunk 0xFE) as the file holds it.
struct CQdDirectoryFacts
{
    bool m_bPresent = false;
    int m_iCapacity = 0; // entries its data can take (at most 100)
    int m_iEntries = 0;  // entries a save writes: the listed chunks, at most the capacity
    // The file's first m_iEntries entries are the offsets of the chunks a
    // save lists (as CQdBankDoc::SaveBankTo writes them).
    bool m_bCurrent = false;
};

// The style-name table (chunk 5): 24-byte records, one per slot.
struct CQdNameTableFacts
{
    bool m_bPresent = false;
    DWORD m_dwSize = 0;       // its data's bytes
    int m_iRecords = 0;       // whole records it holds
    int m_iStylesWithout = 0; // style slots whose record lies beyond its data (they list unnamed)
};

struct CQdBankFacts
{
    std::string m_strFile;          // the path it was opened from
    std::uint64_t m_qwFileSize = 0; // bytes of the file as opened or last saved
    DWORD m_dwUsedSize = 0;         // bytes of the chunk tree in the bank block, slots decompressed
    DWORD m_dwBlockSize = 0;        // the bank block: 0x300000
    DWORD m_dwFreeRoom = 0;         // block size - used size: the room a style may grow into
    int m_iStyles = 0;
    std::vector<CQdSlotFacts> m_aoSlots;
    CQdDirectoryFacts m_oDirectory;
    CQdNameTableFacts m_oNameTable;
};

// A track of a chord variation that holds events.
struct CQdTrackFacts
{
    BYTE m_byTrack = 0;       // 0-7
    std::string m_strName;    // "Drum" ... "Acc. 5"
    BYTE m_byChannel = 0;     // 1-16, as an export writes it
    BYTE m_byMeasures = 0;    // the pattern's own measures (repeated to the chord variation's)
    DWORD m_dwNotes = 0;      // in one pass of the pattern (NstCountPattern)
    DWORD m_dwEvents = 0;     // channel messages other than note-offs, a note once
    CNstTrackParam m_oParams; // the element's parameters of the track
};

struct CQdChordVarFacts
{
    BYTE m_byCv = 0;               // 0-5 within the element
    std::string m_strStandardName; // "v1cv1" ...; empty beyond the element's standard names
    BYTE m_byMeasures = 0;
    std::vector<CQdTrackFacts> m_aoTracks; // those that hold events, in track order
};

struct CQdElementFacts
{
    BYTE m_bySe = 0;        // 0-9
    std::string m_strName;  // "Variation 1" ... "Ending 2"
    BYTE m_byNumerator = 4; // the time signature as the element tree shows it
    DWORD m_dwDenominator = 4;
    BYTE m_byMeasures = 0;                       // the measures the element gives a new chord variation
    std::vector<CQdChordVarFacts> m_aoChordVars; // present ones, in order
};

struct CQdStyleFacts
{
    int m_iPosition = 0;    // 1-based, as `list` numbers the styles
    int m_iSlot = 0;        // 1-based slot
    std::string m_strName;  // as the style list shows it
    DWORD m_dwSize = 0;     // the slot's data decompressed ("Uncompressed Size")
    bool m_bLoaded = false; // an edit interface was built (false: the slot holds no style container)
    bool m_bDamaged = false;
    std::vector<std::string> m_astrDamage;     // the reports that made it damaged
    std::vector<CQdElementFacts> m_aoElements; // present ones, in order
};

// What `check` found for one style: whether it loaded, how many chord
// variations converted (all or none: the first that does not convert ends
// the count) and its damage.
struct CQdCheckedStyle
{
    int m_iPosition = 0;
    std::string m_strName;
    bool m_bLoaded = false;
    bool m_bConverted = false;
    int m_iChordVars = 0;
    bool m_bDamaged = false;
    std::vector<std::string> m_astrDamage;
};

struct CQdCheckFacts
{
    std::string m_strFile;
    std::vector<CQdCheckedStyle> m_aoStyles;
    int m_iDamaged = 0;
    int m_iProblems = 0; // reports and messages on the way
    bool IsClean() const { return m_iDamaged == 0 && m_iProblems == 0; }
};

// The MIDI files of one style's folder (QdStyleFiles.h).
struct CQdStyleFiles
{
    std::string m_strFolder;                    // the folder, once a file was written there; else empty
    std::vector<std::string> m_astrExported;    // standard names written, in element order
    std::vector<std::string> m_astrNotExported; // present chord variations that did not convert
    std::string m_strFailedPath;                // the file that could not be written, if one
};

// One style of a bank export: its facts and its files.
struct CQdExportedStyle
{
    CQdStyleFacts m_oFacts;
    CQdStyleFiles m_oFiles;
};
