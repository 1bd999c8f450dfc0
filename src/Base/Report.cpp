// Report.cpp -- formatting into the shared text buffer and the sink.
#include "Base/Report.h"

#include <cstdarg>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

// One buffer for every report, as the reporter has always had; long texts are cut.
char s_szReportText[1024];

void DefaultSink(const char* pszText)
{
    std::fprintf(stderr, "%s\n", pszText);
}

QdReportSink& Sink()
{
    static QdReportSink s_fnSink = DefaultSink;
    return s_fnSink;
}

// Deliver -- reports come from the middle of the coders' work, where nothing
// expects an exception: a sink that runs out of memory (it keeps or shows
// the text) loses this one report, and the work goes on.
void Deliver()
{
    try
    {
        QdReportSink& fnSink = Sink();
        if (fnSink)
            fnSink(s_szReportText);
        else
            DefaultSink(s_szReportText);
    }
    catch (const std::bad_alloc&)
    {
    }
    catch (const std::length_error&)
    {
    }
}

} // namespace

QdReportSink QdSetReportSink(QdReportSink fnSink)
{
    if (!fnSink)
        fnSink = DefaultSink;
    return std::exchange(Sink(), std::move(fnSink));
}

void QdReport(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(s_szReportText, sizeof s_szReportText, pszFormat, args);
    va_end(args);
    Deliver();
}

bool QdAssertFailed(const char* pszCondition, const char* pszFile, int iLine)
{
    std::snprintf(s_szReportText, sizeof s_szReportText, "Assert %s File:%s Line:%d", pszCondition, pszFile, iLine);
    Deliver();
    return false;
}

const char* QdLastReportText()
{
    return s_szReportText;
}
