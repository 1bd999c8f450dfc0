// QdFileIoTest.cpp -- whole-file reads within a limit and atomic writes
// that leave the old file as it was on any failure.
#include "DocFixtures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace DocFixtures;

TEST(QdFileIo, ReadAllTakesAFileOfExactlyTheLimitAndRefusesOneByteMore)
{
    CTempDir oDir;
    CQdFileIo& roIo = CQdFileIo::Default();
    const Bytes abyData = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    WriteFile(oDir.Path("ten"), abyData);

    Bytes abyRead;
    EXPECT_TRUE(roIo.ReadAll(oDir.Path("ten"), 10, abyRead));
    EXPECT_EQ(abyRead, abyData);
    EXPECT_FALSE(roIo.ReadAll(oDir.Path("ten"), 9, abyRead));
    EXPECT_TRUE(abyRead.empty());
    EXPECT_EQ(roIo.GetLastError(), CQdFileIo::FILE_ERROR_TOO_LARGE);
    EXPECT_FALSE(roIo.ReadAll(oDir.Path("missing"), 100, abyRead));
    EXPECT_EQ(CQdFileIo::ErrorText(roIo.GetLastError()), "no such file or directory");
    EXPECT_FALSE(roIo.ReadAll(oDir.Dir(), 100, abyRead)); // a folder is no file
    EXPECT_EQ(CQdFileIo::ErrorText(roIo.GetLastError()), "is a directory");

    EXPECT_TRUE(roIo.ReadPrefix(oDir.Path("ten"), 4, abyRead));
    EXPECT_EQ(abyRead, (Bytes{1, 2, 3, 4}));
    EXPECT_TRUE(roIo.ReadPrefix(oDir.Path("ten"), 32, abyRead));
    EXPECT_EQ(abyRead, abyData);
    std::uint64_t qwSize = 0;
    EXPECT_TRUE(roIo.FileSize(oDir.Path("ten"), qwSize));
    EXPECT_EQ(qwSize, 10u);
    EXPECT_FALSE(roIo.FileSize(oDir.Path("missing"), qwSize));
}

TEST(QdFileIo, WriteAtomicReplacesTheTargetOnlyAfterACompleteWrite)
{
    CTempDir oDir;
    const std::string strPath = oDir.Path("bank.sty");
    const Bytes abyOld(3000, 0x44);
    WriteFile(strPath, abyOld);
    const Bytes abyNew(5000, 0x55);

    // The disk fills up at the first byte, halfway, and one byte short of the end.
    for (long lFailAfter : {0L, 2500L, 4999L})
    {
        SCOPED_TRACE(lFailAfter);
        CFailingFileIo oIo;
        oIo.m_lFailAfter = lFailAfter;
        EXPECT_FALSE(oIo.WriteAtomic(strPath, abyNew.data(), DWORD(abyNew.size())));
        EXPECT_EQ(CQdFileIo::ErrorText(oIo.GetLastError()), "disk full");
        EXPECT_EQ(ReadFile(strPath), abyOld);
        EXPECT_EQ(oDir.Files(), std::vector<std::string>{"bank.sty"});
    }
    // Exactly enough room: the file is replaced and keeps its permissions;
    // a new file gets 0666 less the umask.
    ASSERT_EQ(::chmod(strPath.c_str(), 0640), 0);
    CFailingFileIo oIo;
    oIo.m_lFailAfter = 5000;
    EXPECT_TRUE(oIo.WriteAtomic(strPath, abyNew.data(), DWORD(abyNew.size())));
    EXPECT_EQ(ReadFile(strPath), abyNew);
    struct stat oStat;
    ASSERT_EQ(::stat(strPath.c_str(), &oStat), 0);
    EXPECT_EQ(oStat.st_mode & 0777, 0640u);
    const mode_t uMask = ::umask(0);
    ::umask(uMask);
    ASSERT_TRUE(oIo.WriteAtomic(oDir.Path("new.sty"), nullptr, 0));
    ASSERT_EQ(::stat(oDir.Path("new.sty").c_str(), &oStat), 0);
    EXPECT_EQ(oStat.st_mode & 0777, 0666 & ~uMask);
    EXPECT_EQ(oStat.st_size, 0);
    ASSERT_EQ(::unlink(oDir.Path("new.sty").c_str()), 0);

    // A folder that does not exist, or a target that is a folder.
    EXPECT_FALSE(oIo.WriteAtomic(oDir.Path("no/such/folder.sty"), abyNew.data(), 10));
    EXPECT_FALSE(oIo.WriteAtomic(oDir.Dir(), abyNew.data(), 10));
    EXPECT_EQ(oDir.Files(), std::vector<std::string>{"bank.sty"});
}
