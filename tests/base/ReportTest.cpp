#include "Base/Report.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <string>

#define QD_REPORT_FILE "Test/Report"

TEST(Report, FormatsAssertionsAndMessagesIntoTheSharedBuffer)
{
    CReportCapture oCapture;
    int sdwDelta = 5, m_sdwExtraLength = 4;
    EXPECT_FALSE(QD_ASSERT_AT(m_sdwExtraLength >= sdwDelta, 219));
    EXPECT_TRUE(QD_ASSERT_AT(m_sdwExtraLength < sdwDelta, 220));
    QdReport("Warning! Consistence Check Errors %ld", 3L);

    ASSERT_EQ(oCapture.Texts().size(), 2u);
    EXPECT_EQ(oCapture.Texts()[0], "Assert m_sdwExtraLength >= sdwDelta File:Test/Report Line:219");
    EXPECT_EQ(oCapture.Texts()[1], "Warning! Consistence Check Errors 3");
    EXPECT_STREQ(QdLastReportText(), "Warning! Consistence Check Errors 3");
}

TEST(Report, ExplicitTextAndOverlongMessagesStayInsideTheBuffer)
{
    CReportCapture oCapture;
    QD_ASSERT_TEXT(false, "((DWORD)pbyBlock & 0x03) == 0");
    EXPECT_TRUE(oCapture.HasAssert("((DWORD)pbyBlock & 0x03) == 0", "Test/Report"));

    const std::string strLong(5000, 'x');
    QdReport("%s", strLong.c_str());
    EXPECT_LT(oCapture.Texts().back().size(), strLong.size());
}

TEST(Report, SinkIsRestoredWhenTheCaptureEnds)
{
    std::string strOuter;
    QdReportSink fnPrevious = QdSetReportSink([&](const char* psz) { strOuter = psz; });
    {
        CReportCapture oInner;
        QdReport("inner");
        EXPECT_TRUE(oInner.Has("inner"));
    }
    QdReport("outer");
    EXPECT_EQ(strOuter, "outer");
    QdSetReportSink(std::move(fnPrevious));
}
