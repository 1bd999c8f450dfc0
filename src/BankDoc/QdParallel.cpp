// QdParallel.cpp -- the caller and at most QD_PARALLEL_THREADS - 1 helper
// threads take the pieces from one counter.
#include "BankDoc/QdParallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// CPieceQueue -- the pieces not handed out yet and the first exception.
class CPieceQueue
{
public:
    CPieceQueue(std::size_t uCount, const std::function<void(std::size_t)>& fnPiece)
        : m_uCount(uCount), m_fnPiece(fnPiece)
    {
    }

    // Work -- runs pieces until none is left or one has thrown.
    void Work()
    {
        try
        {
            for (std::size_t u = m_uNext++; u < m_uCount; u = m_uNext++)
                m_fnPiece(u);
        }
        catch (...)
        {
            // No further pieces are handed out; the one caught first is kept.
            m_uNext = m_uCount;
            const std::lock_guard<std::mutex> oLock(m_oMutex);
            if (!m_pException)
                m_pException = std::current_exception();
        }
    }

    // Rethrow -- the first exception a piece threw, to the caller.
    void Rethrow() const
    {
        if (m_pException)
            std::rethrow_exception(m_pException);
    }

private:
    const std::size_t m_uCount;
    const std::function<void(std::size_t)>& m_fnPiece;
    std::atomic<std::size_t> m_uNext{0};
    std::mutex m_oMutex;
    std::exception_ptr m_pException;
};

} // namespace

// QdRunParallel -- helpers as the cores and pieces allow; a helper that the
// system cannot start leaves its share to the threads that run. The helpers
// are joined on every way out, so no piece outlives the call.
void QdRunParallel(std::size_t uCount, const std::function<void(std::size_t)>& fnPiece)
{
    const std::size_t uThreads =
        std::min<std::size_t>({QD_PARALLEL_THREADS, std::max(1u, std::thread::hardware_concurrency()), uCount});
    if (uThreads <= 1)
    {
        for (std::size_t u = 0; u < uCount; ++u)
            fnPiece(u);
        return;
    }

    CPieceQueue oQueue(uCount, fnPiece);
    std::vector<std::jthread> aoHelpers;
    aoHelpers.reserve(uThreads - 1);
    for (std::size_t u = 1; u < uThreads; ++u)
    {
        try
        {
            aoHelpers.emplace_back([&oQueue] { oQueue.Work(); });
        }
        catch (const std::system_error&)
        {
            break;
        }
    }
    oQueue.Work();
    for (std::jthread& roHelper : aoHelpers)
        roHelper.join();
    oQueue.Rethrow();
}
