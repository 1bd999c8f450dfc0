// QdBankRescue.h -- getting the styles out of a bank file that does not
// open: cut short on an old disk, partly overwritten, a slot broken.
//
// The bank document refuses such a file as a whole. The rescue reads it
// leniently and never writes it: the chunk tree is walked as far as its
// bytes go, every style slot that decompresses is loaded, and every chord
// variation of every style that loads is written as a MIDI file into
// DIR/NN-<style name>/<standard name>.mid (QdStyleFiles.h; NN: the style's
// position as the style list numbers it, two digits). The report says per
// style what came out: complete, damaged (what was reported, which chord
// variations could not be exported) or unreadable (why), and what the bank
// lost beyond the styles. The desktop window offers it when a bank is refused as corrupt;
// qdstyle runs it as `rescue`.
#pragma once

#include "BankDoc/QdDocPrompt.h"
#include "BankDoc/QdFileIo.h"
#include "Base/QdTypes.h"

#include <cstdint>
#include <string>
#include <vector>

// What became of one style.
enum EQdRescueState
{
    QD_RESCUE_COMPLETE = 0, // loaded without a report, every chord variation written
    QD_RESCUE_DAMAGED,      // loaded, but with reports or chord variations not exported
    QD_RESCUE_UNREADABLE,   // the slot is cut off, does not decompress or holds no style
};

struct CQdRescuedStyle
{
    int m_iPosition = 0;  // 1-based among the style slots, as the style list numbers them
    int m_iSlot = 0;      // 0-based slot index
    std::string m_strName;   // from the name table, else the style's own; may be empty
    std::string m_strFolder; // the folder the files went to; empty when none was written
    EQdRescueState m_eState = QD_RESCUE_UNREADABLE;
    std::string m_strUnreadable;                 // why an unreadable style could not be read
    std::vector<std::string> m_astrReports;      // reported while it was read and converted
    std::vector<std::string> m_astrExported;     // standard names written, in table order
    std::vector<std::string> m_astrNotExported;  // present chord variations that did not convert
};

// The outcome of a rescue.
enum EQdRescueResult
{
    QD_RESCUE_ALL = 0,   // every style came out complete and nothing of the bank was lost
    QD_RESCUE_SOME_LOST, // something came out, something was lost
    QD_RESCUE_NOTHING,   // nothing could be read (not a bank, or no chord variation came out)
    QD_RESCUE_FAILED,    // a file could not be written, or memory ran out; the files written stay
};

struct CQdRescueReport
{
    EQdRescueResult m_eResult = QD_RESCUE_NOTHING;
    bool m_bBank = false;         // the file starts as a style bank
    DWORD m_dwFileSize = 0;       // bytes read (at most the bank block)
    std::uint64_t m_qwTreeSize = 0; // bytes the root chunk claims, its header included
    DWORD m_dwWalkEnd = 0;        // where the walk of the bank's chunks ended
    int m_iSlots = 0;             // slots walked, at most 64
    bool m_bSlotsLost = false;    // the walk ended early, before the 64th slot
    std::vector<CQdRescuedStyle> m_aoStyles;
};

class CQdBankRescue
{
public:
    CQdBankRescue(CQdDocPrompt& roPrompt, CQdFileIo& roFileIo = CQdFileIo::Default());
    CQdBankRescue(const CQdBankRescue&) = delete;
    CQdBankRescue& operator=(const CQdBankRescue&) = delete;

    // Run -- the rescue of the bank file into the folder rkstrDir (made when
    // missing; files there of the same names are replaced). The report is
    // filled afresh; a file that is no bank or a failed write is also told
    // through the prompt. Returns roReport.m_eResult.
    EQdRescueResult Run(const std::string& rkstrBank, const std::string& rkstrDir, CQdRescueReport& roReport);

    // FolderName -- "NN-<name>", the name made safe for a file system; the
    // layout's own QdStyleFolderName (QdStyleFiles.h), kept under this name
    // for the rescue's callers.
    static std::string FolderName(int iPosition, const std::string& rkstrName);
    // DescribeStyle -- one line: "complete: 9 chord variations in DIR/...",
    // "damaged: ...; not exported: ...; reports: ..." or "unreadable: why".
    static std::string DescribeStyle(const CQdRescuedStyle& rkoStyle);
    // DescribeBank -- what the bank lost beyond its styles' slots (its bytes
    // end early, the slots after the last walked are lost); empty when the
    // chunk tree was read to its end.
    static std::string DescribeBank(const CQdRescueReport& rkoReport);
    // DescribeCounts -- "5 styles: 4 complete, 0 damaged, 1 unreadable".
    static std::string DescribeCounts(const CQdRescueReport& rkoReport);

private:
    class CWalk;

    CQdDocPrompt& m_roPrompt;
    CQdFileIo& m_roFileIo;
};
