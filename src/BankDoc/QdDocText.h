// QdDocText.h -- texts and small helpers shared by the bank document's
// sources: the captions and messages the user sees, and file-name handling.
#pragma once

#include "BankDoc/QdDocPrompt.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace QdDocText {

// Captions: the commands' names.
inline constexpr const char* OPEN_BANK = "Open Style Bank";
inline constexpr const char* SAVE_BANK = "Save Style Bank";
inline constexpr const char* SOME_STYLE_MODIFIED = "Some Style modified";
inline constexpr const char* STYLE_MODIFIED = "Style modified";
inline constexpr const char* IMPORT_STYLE = "Import Style from SMF";
inline constexpr const char* IMPORT_CV = "Import Chord Variation from SMF";
inline constexpr const char* EXPORT_CV = "Export Chord Variation to SMF";
inline constexpr const char* EXPORT_BANK = "Export Style Bank to SMFs";
inline constexpr const char* BANK_FACTS = "Style Bank Info";
inline constexpr const char* DELETE_CV = "Delete Chord Variation";
inline constexpr const char* SELECT_STYLE = "Select Style";
inline constexpr const char* RENAME_STYLE = "Rename Style";
inline constexpr const char* UNDO_STYLE = "Undo Style Modifications";
inline constexpr const char* DAMAGED_STYLE = "Damaged Style";
inline constexpr const char* RESCUE_STYLES = "Rescue Styles";
inline constexpr const char* PIANO_ROLL = "Piano Roll";

// Messages and questions.
inline constexpr const char* READ_ERROR = "File read error - File in use - or not a Velmar Qd50 Style File!";
inline constexpr const char* TOO_LARGE = "File too large for a Qd50 Style Bank!";
inline constexpr const char* CORRUPT = "File corrupt - Error!";
// The cause of a failed read when the file access gives none.
inline constexpr const char* CANNOT_BE_READ = "the file cannot be read";
inline constexpr const char* IGNORE_CHANGES = "Ignore changes ?";
inline constexpr const char* CONFIRM_CHANGES = "Confirm changes ?";
inline constexpr const char* REPLACE_OR_MERGE = "Replace current style or merge with SMF files?";
inline constexpr const char* INITIALIZE_OR_KEEP = "Initialize/Keep Track Parameters?";
inline constexpr const char* SMF_READ_ERROR = "SMF read error or wrong SMF Format!";
inline constexpr const char* SMF_WRITE_ERROR = "SMF write error!";
// Import refusals of files the reader takes but that hold nothing for the
// tracks, or notes that no track would take; the second line
// (CQdDocPrompt::TellFile) says what they hold.
inline constexpr const char* SMF_NO_NOTES = "SMF holds no notes!";
inline constexpr const char* SMF_NO_TRACK_NOTES = "SMF holds no notes on the track channels 9-16!";
// The refusal of a file that is to replace some tracks only and holds
// nothing for any of them.
inline constexpr const char* SMF_NOTHING_FOR_TRACKS = "SMF holds nothing for the tracks to import!";
inline constexpr const char* SMF_NOTES_WITHOUT_TRACK = "SMF holds notes on channels without a track!";
// The refusal of, and the question about, a file whose time signature
// differs from the one the element keeps.
inline constexpr const char* SMF_OTHER_TIME_SIG = "SMF time signature differs from the Style Element's!";
inline constexpr const char* IMPORT_IN_ELEMENT_TIME_SIG = "Import it in the Style Element's time signature?";
// The question about a damaged file (after the message's lines).
inline constexpr const char* IMPORT_WHAT_COULD_BE_READ = "Import what could be read?";
// The whole-style import's refusal of a file without a standard name.
inline constexpr const char* NO_STANDARD_NAME_CAUSE = "no standard name (v1cv1 ... e2cv2) in the file name";
inline constexpr const char* FIRST_ELEMENT_ADDED =
    "Style Element 'Variation 1' must exists. An empty element has been added.";
inline constexpr const char* COMPRESSION_ERROR = "Compression Error!";
inline constexpr const char* WRITE_ERROR = "File write error!";
// A save onto a file without write permission, refused before anything
// changes (the atomic write's rename would replace it all the same); the
// desktop offers another name.
inline constexpr const char* READ_ONLY_BANK = "File is read-only - Style Bank not saved!";
inline constexpr const char* READ_ONLY_CAUSE = "the file is read-only";
inline constexpr const char* SAVE_ELSEWHERE = "Save the Style Bank under another name?";
inline constexpr const char* SAVE_AS_BUTTON = "Save As\u2026";
inline constexpr const char* USED_SIZE = " Uncompressed Size: ";
inline constexpr const char* SIZE_UNKNOWN = " Uncompressed Size: ???";
// A command that ran out of memory; the caption names the command.
inline constexpr const char* OUT_OF_MEMORY = "Out of memory - command not done!";

// The question before a style that was damaged when loaded is written
// back: "Style '<name>" and the tail.
inline constexpr const char* DAMAGED_WRITE_BACK_TAIL =
    "' was damaged when loaded; writing it back keeps only what could be read.";
inline std::string DamagedWriteBack(const std::string& rkstrName)
{
    return "Style '" + rkstrName + DAMAGED_WRITE_BACK_TAIL;
}

// The offer after a bank was refused as corrupt, and its folder dialog.
inline constexpr const char* RESCUE_OFFER =
    "The Style Bank does not open. Export what can still be read of its styles, as MIDI files into a folder?";
inline constexpr const char* RESCUE_OFFER_BUTTON = "Rescue styles\u2026";
inline constexpr const char* RESCUE_FOLDER_TITLE = "Rescue Styles into Folder";

// The name a replaced style starts with.
inline constexpr const char* NEW_STYLE = "New Style";

// BankFileRequest -- the settings shared by the style bank's open and save dialogs.
inline CQdFileRequest BankFileRequest(const char* pszTitle, const std::string& rkstrInitialDir,
                                      const std::string& rkstrFileName = std::string())
{
    CQdFileRequest oRequest;
    oRequest.m_strTitle = pszTitle;
    oRequest.m_strFilter = "Style|*.sty";
    oRequest.m_strDefaultExt = "sty";
    oRequest.m_strInitialDir = rkstrInitialDir;
    oRequest.m_strFileName = rkstrFileName;
    return oRequest;
}

// MidiFileRequest -- the settings shared by the MIDI file dialogs.
inline CQdFileRequest MidiFileRequest(const char* pszTitle, const std::string& rkstrInitialDir,
                                      const char* pszFileName)
{
    CQdFileRequest oRequest;
    oRequest.m_strTitle = pszTitle;
    oRequest.m_strFilter = "Midi|*.mid";
    oRequest.m_strDefaultExt = "mid";
    oRequest.m_strInitialDir = rkstrInitialDir;
    oRequest.m_strFileName = pszFileName ? pszFileName : "";
    return oRequest;
}

// FileNameOf -- the path without its directory.
inline std::string FileNameOf(const std::string& rkstrPath)
{
    const std::size_t uSlash = rkstrPath.find_last_of('/');
    return uSlash == std::string::npos ? rkstrPath : rkstrPath.substr(uSlash + 1);
}

// DirectoryOf -- the directory of a path, empty for a bare file name.
inline std::string DirectoryOf(const std::string& rkstrPath)
{
    const std::size_t uSlash = rkstrPath.find_last_of('/');
    if (uSlash == std::string::npos)
        return std::string();
    return uSlash == 0 ? std::string("/") : rkstrPath.substr(0, uSlash);
}

// LowerCase -- ASCII letters lowered; other bytes as they are.
inline std::string LowerCase(std::string str)
{
    std::transform(str.begin(), str.end(), str.begin(),
                   [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    return str;
}

} // namespace QdDocText
