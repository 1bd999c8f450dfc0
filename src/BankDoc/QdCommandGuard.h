// QdCommandGuard.h -- the one policy of the tool for running out of memory.
//
// Every allocation throws when memory runs out; no code checks for null.
// The commands of the bank document and of test playback are written so
// that the exception leaves them as they were: what may allocate is done
// aside first (a copy of the style to edit, the file image of a save, the
// style to open), and only steps that cannot throw (moves, swaps, writes
// into room that is already there) change the document. QdGuardCommand at
// each public command turns the exception into the command's failure: the
// user is told "Out of memory - command not done!" (QdDocText::
// OUT_OF_MEMORY) under the command's caption, and the command returns its
// failure value. Nothing crosses into the front ends: the desktop window
// shows the failure like any other message, Qt's event loop never sees an
// exception, and qdstyle ends the command with exit status 2. Below the
// commands only two places catch: a report's sink (Base/Report.cpp: the
// text is lost) and the write-back, which has a result for it.
//
// Caught are std::bad_alloc (with std::bad_array_new_length) and
// std::length_error: both mean that the memory a command asked for cannot
// be had, the latter for a size beyond what a container can hold (a size
// from damaged data that passed the checks). Both unwind through code that
// was written for them. Any other exception is a programming error that no
// command was written to recover from; catching it would hide the fault
// and go on with a document in a state nobody checked, so it is left to
// end the program.
#pragma once

#include "BankDoc/QdDocPrompt.h"
#include "BankDoc/QdDocText.h"

#include <new>
#include <stdexcept>
#include <utility>

// QdRanOutOfMemory -- runs fnWork; true when it ran out of memory (the
// exception is caught), false when it completed.
template <typename TWork>
bool QdRanOutOfMemory(TWork&& fnWork)
{
    try
    {
        std::forward<TWork>(fnWork)();
        return false;
    }
    catch (const std::bad_alloc&)
    {
    }
    catch (const std::length_error&)
    {
    }
    return true;
}

// CQdCommandDepth -- counts the guarded commands running on this thread,
// so that a command run by another one (Save Style Bank leaving the style,
// Export Chord Variation writing the file, playback exporting) leaves
// running out of memory to the outer command, which tells it once, under
// the caption of what the user asked for.
class CQdCommandDepth
{
public:
    CQdCommandDepth() { ++Count(); }
    ~CQdCommandDepth() { --Count(); }
    CQdCommandDepth(const CQdCommandDepth&) = delete;
    CQdCommandDepth& operator=(const CQdCommandDepth&) = delete;

    static bool IsInCommand() { return Count() > 0; }

private:
    static int& Count()
    {
        static thread_local int s_iDepth = 0;
        return s_iDepth;
    }
};

// QdGuardCommand -- runs fnBody, the work of a command, and returns its
// result. When memory runs out in it, the command's failure value tFailed
// is returned after the message (a message that itself finds no memory is
// left out; the failure value still tells the caller). Inside another
// guarded command the exception goes on to that one.
template <typename TResult, typename TBody>
TResult QdGuardCommand(CQdDocPrompt& roPrompt, const char* pszCaption, TResult tFailed, TBody&& fnBody)
{
    if (CQdCommandDepth::IsInCommand())
        return std::forward<TBody>(fnBody)();
    TResult tResult = tFailed;
    if (QdRanOutOfMemory([&] {
            const CQdCommandDepth oDepth;
            tResult = std::forward<TBody>(fnBody)();
        }))
    {
        (void)QdRanOutOfMemory([&] { roPrompt.Tell(pszCaption, QdDocText::OUT_OF_MEMORY); });
        return tFailed;
    }
    return tResult;
}
