// Report.h -- the one assertion and diagnostics reporter of the system.
//
// Every precondition check and every warning of the coding layers goes
// through QdReport / QdAssertFailed. The text is formatted into one shared
// buffer and handed to the installed sink: the desktop application shows a
// modal message, the command-line tool prints to stderr (the default), tests
// capture the texts. A report never stops the program and never throws (a
// sink that runs out of memory loses the text); the caller decides whether
// to go on or to refuse an operation that would leave its memory.
#pragma once

#include <functional>

// Receives each formatted report. The text lives in the shared buffer and is
// only valid during the call.
using QdReportSink = std::function<void(const char* pszText)>;

// QdSetReportSink -- installs a sink and returns the previous one; an empty
// sink restores the default (stderr).
QdReportSink QdSetReportSink(QdReportSink fnSink);

// QdReport -- printf-style diagnostic message.
void QdReport(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));

// QdAssertFailed -- reports "Assert <condition> File:<source> Line:<line>" and
// returns false, so that a check reads as: if (!QD_ASSERT(...)) refuse.
bool QdAssertFailed(const char* pszCondition, const char* pszFile, int iLine);

// QdLastReportText -- the shared text buffer (the latest report).
const char* QdLastReportText();

// Checks evaluate to the condition's truth value and report when it is false.
// A translation unit that uses them defines QD_REPORT_FILE as the source name
// reports carry, for example "ChunkNav/ChunkNav".
#define QD_CHECK_TEXT(cond, text, line) ((cond) ? true : QdAssertFailed((text), QD_REPORT_FILE, (line)))
// The condition text is the expression as written.
#define QD_ASSERT_AT(cond, line) QD_CHECK_TEXT(cond, #cond, line)
#define QD_ASSERT(cond) QD_CHECK_TEXT(cond, #cond, __LINE__)
// For checks whose reported text cannot be compiled as written.
#define QD_ASSERT_TEXT(cond, text) QD_CHECK_TEXT(cond, text, __LINE__)
// An unconditional failure, reported as the condition "FALSE".
#define QD_REPORT_FALSE() QdAssertFailed("FALSE", QD_REPORT_FILE, __LINE__)
