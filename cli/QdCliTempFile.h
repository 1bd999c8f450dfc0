// QdCliTempFile.h -- a new empty file in the temporary folder, removed when
// the holder goes: the decoders' event dump and the renderer take a path.
#pragma once

#include <cstdlib>
#include <string>
#include <unistd.h>

class CQdTempFile
{
public:
    // CQdTempFile::CQdTempFile -- a file named qdstyle-<rkstrWhat>-XXXXXX
    // (made unique) in $TMPDIR or /tmp; Path() is empty when none could be made.
    explicit CQdTempFile(const std::string& rkstrWhat, const std::string& rkstrSuffix = std::string())
    {
        const char* pszDir = std::getenv("TMPDIR");
        std::string strTemplate =
            std::string(pszDir && *pszDir ? pszDir : "/tmp") + "/qdstyle-" + rkstrWhat + "-XXXXXX" + rkstrSuffix;
        const int iFd = ::mkstemps(strTemplate.data(), int(rkstrSuffix.size()));
        if (iFd >= 0)
        {
            ::close(iFd);
            m_strPath = strTemplate;
        }
    }
    ~CQdTempFile()
    {
        if (!m_strPath.empty())
            ::unlink(m_strPath.c_str());
    }
    CQdTempFile(const CQdTempFile&) = delete;
    CQdTempFile& operator=(const CQdTempFile&) = delete;

    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};
