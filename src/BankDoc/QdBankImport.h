// QdBankImport.h -- the import of a whole bank's chord variations from a
// folder: the reverse of exporting every style into DIR/NN-<style
// name>/<standard name>.mid (the layout of the rescue, CQdBankRescue::
// FolderName, and of qdstyle export-bank).
//
// CQdBankDoc::ImportBankFolder takes each folder of DIR whose name starts
// with a position and a dash ("01-Pop 8Beat": NN, the style's position as
// the style list numbers it; the rest of the name is not compared, so a
// renamed style still finds its folder) and imports the folder's MIDI files
// (*.mid, any letter case) into the style at that position, as the
// whole-style import does (ImportStyleFiles: by standard names, merged or
// replacing the style, the same questions). A replaced style keeps the name
// the folder stands for: the one the caller read for it (bank.json, which
// names each style's folder), else the folder's name after "NN-", as a
// rename takes it (at most 11 characters). Other files and folders of DIR
// (bank.json, notes) are left alone; styles without a folder stay as they
// are. Each style's changes are written back into the bank block before the
// next is loaded, so a bank of any size needs room for one open style only.
//
// Each folder gets a report (CQdBankImportStyle): what went in, file by
// file, or why the style did not change: no style at that position, a style
// that does not load, a damaged style not confirmed for writing back, no
// file imported, or a write-back refused (the bank full). Those are told
// through the prompt as they happen; the files' reports are not shown
// (ShowImportReports): the caller has them all at the end.
//
// The command changes the bank as a whole or not at all when memory runs
// out: it works with a copy of the bank's state taken before (CBankBackup).
#pragma once

#include "BankDoc/QdImportReport.h"

#include <map>
#include <string>
#include <vector>

// Why a style folder changed its style or not.
enum EQdBankImportOutcome : BYTE
{
    QD_BANK_IMPORT_DONE = 0,     // files went in, the style is written back
    QD_BANK_IMPORT_NO_STYLE,     // no style at the folder's position
    QD_BANK_IMPORT_NOT_LOADED,   // the style does not load
    QD_BANK_IMPORT_DAMAGED,      // damaged when loaded, writing it back not confirmed
    QD_BANK_IMPORT_NO_FILE,      // no file of the folder went in
    QD_BANK_IMPORT_NOT_WRITTEN,  // the write-back was refused; the style is as it was
};

struct CQdBankImportStyle
{
    int m_iPosition = 0;      // 1-based, from the folder's name
    std::string m_strFolder;  // the folder's path
    std::string m_strName;    // the style's list name afterwards; empty without a style
    EQdBankImportOutcome m_eOutcome = QD_BANK_IMPORT_NO_FILE;
    std::string m_strCause;   // why it did not change (not QD_BANK_IMPORT_DONE)
    std::vector<CQdImportReport> m_aoFiles; // one per MIDI file of the folder, in name order

    // Files that went in.
    int Imported() const;
};

// QdStyleFolderPosition -- the position a folder name starts with ("01-"
// gives 1); 0 for a name that is no style folder's (no digits, no dash
// after them, more than three digits).
int QdStyleFolderPosition(const std::string& rkstrFolderName);
// QdStyleFolderStyleName -- the style name a style folder's name holds,
// after its position and dash ("01-Pop 8Beat" gives "Pop 8Beat"), its bytes
// as they are (the export writes the bank's 8-bit name as it is); "" for a
// name that is no style folder's.
std::string QdStyleFolderStyleName(const std::string& rkstrFolderName);

// CQdStyleFolderNames -- the style names by style folder name (the folder's
// own name, not its path), in the bank's 8-bit character set.
using CQdStyleFolderNames = std::map<std::string, std::string>;
