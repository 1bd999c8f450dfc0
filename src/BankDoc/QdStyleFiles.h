// QdStyleFiles.h -- a style's chord variations as MIDI files in a folder of
// their own: DIR/NN-<style name>/<standard name>.mid.
//
// The layout the rescue (QdBankRescue.h) and the bank export
// (CQdBankDoc::ExportBank) write, and the one a whole bank is read back
// from: NN is the style's 1-based position as the style list numbers it,
// two digits (more from 100 on), the name made safe as one path element.
#pragma once

#include "BankDoc/QdBankFacts.h"
#include "BankDoc/QdFileIo.h"

#include <string>

class CNstEditIfc;

// QdStyleFolderName -- "NN-<name>" with the name made safe for a file
// system: no '/', no control characters, no leading '.', no blanks around
// it; "NN-unnamed" when nothing is left.
std::string QdStyleFolderName(int iPosition, const std::string& rkstrName);

// QdChordVarFileStem -- the standard name, or for a chord variation beyond
// its element's standard names the way the element tree shows it (such a
// chord variation has no file).
std::string QdChordVarFileStem(BYTE bySe, BYTE byCv);

// QdWriteStyleFiles -- every present chord variation of the style, in
// element order, to rkstrFolder/<standard name>.mid (the folder made with
// the first file), each written atomically through roFileIo. The export is
// the document's (CNstEditIfc::ExportToSmf, all tracks, the edit
// interface's tempo), so the files are what `export` writes. A chord
// variation that does not convert is noted and passed over. False when a
// file could not be written (roFiles.m_strFailedPath; the cause stays with
// roFileIo); the files before it stay.
bool QdWriteStyleFiles(CNstEditIfc& roEditIfc, const std::string& rkstrFolder, CQdFileIo& roFileIo,
                       CQdStyleFiles& roFiles);
