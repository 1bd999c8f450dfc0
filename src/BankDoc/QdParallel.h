// QdParallel.h -- independent pieces of one command's work on a few threads.
#pragma once

#include <cstddef>
#include <functional>

// Threads a command's pieces run on at most, the caller's among them: the
// machines the tool runs on have a few cores, and the pieces (style slots)
// are too few to keep more busy.
inline constexpr unsigned QD_PARALLEL_THREADS = 2;

// QdRunParallel -- calls fnPiece(i) once for every i below uCount and
// returns when all calls are done. With one core, or one piece, the caller
// runs them all in order; otherwise the pieces are handed out in order of i
// to whichever thread is free, so a piece must write only what is its own
// and its result must not depend on the order. A piece that throws (running
// out of memory) stops the handing out; once every thread has finished,
// the first exception is thrown again to the caller.
void QdRunParallel(std::size_t uCount, const std::function<void(std::size_t)>& fnPiece);
