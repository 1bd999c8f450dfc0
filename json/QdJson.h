// QdJson.h -- the bank document's facts and a MIDI file's listing as JSON
// documents: what `qdstyle list|show|check|info --json` and `dump --format
// json` print and export-bank writes as bank.json. docs/qdstyle-json.md
// describes every key.
//
// Each document is an object that starts with "schema" (QD_JSON_SCHEMA,
// raised when a key changes meaning or goes; new keys may come without)
// and "charset", the mapping of the bank's 8-bit text to Unicode: each
// byte is the code point of its value (ISO-8859-1, QdCharset.h), so no
// name makes invalid UTF-8. Keys keep the order they are written in.
#pragma once

#include "BankDoc/QdBankFacts.h"
#include "MidiInOut/SmfList.h"

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

using QdJson = nlohmann::ordered_json;

inline constexpr int QD_JSON_SCHEMA = 1;
inline constexpr const char* QD_JSON_CHARSET = "ISO-8859-1";

// QdJsonText -- 8-bit text of the bank or a MIDI file as a JSON string.
QdJson QdJsonText(const std::string& rkstrBytes);

// QdJsonList -- the styles: position, slot and name each.
QdJson QdJsonList(const CQdBankFacts& rkoBank);
// QdJsonInfo -- the bank's facts.
QdJson QdJsonInfo(const CQdBankFacts& rkoBank);
// QdJsonShow -- one style's tree.
QdJson QdJsonShow(const std::string& rkstrFile, const CQdStyleFacts& rkoStyle);
// QdJsonCheck -- a check's findings and verdict.
QdJson QdJsonCheck(const CQdCheckFacts& rkoCheck);
// QdJsonBankExport -- bank.json of an export's folder: the bank's facts and
// each style's tree with its folder and files.
QdJson QdJsonBankExport(const CQdBankFacts& rkoBank, const std::vector<CQdExportedStyle>& rkaoStyles);
// QdJsonStyleFolderNames -- the reverse of bank.json's style list: each
// style's name by its folder's name, both in the bank's 8-bit character set
// (ISO-8859-1) as the bank and the file system hold them. Styles without a
// folder (null) are passed over; a style whose folder or name is no text of
// that character set is passed over and named in rastrPassedOver. False,
// with the reason in rstrError, for a text that is no JSON document or has
// no "styles" list.
bool QdJsonStyleFolderNames(const std::string& rkstrText, std::map<std::string, std::string>& raoNames,
                            std::vector<std::string>& rastrPassedOver, std::string& rstrError);
// QdJsonSmfListing -- a MIDI file's events, track by track; with bBars each
// event also gets its bar, beat and tick in the beat.
QdJson QdJsonSmfListing(const std::string& rkstrFile, const CSmfListing& rkoListing, bool bBars);

// QdJsonSerialize -- the document as text, two blanks of indent, ending
// with a line break. Strings that are not valid UTF-8 (a file path given
// in another encoding) have their bad bytes replaced by U+FFFD; every
// control character is escaped (\u0000-\u001f, \u007f-\u009f).
std::string QdJsonSerialize(const QdJson& rkoDocument);
