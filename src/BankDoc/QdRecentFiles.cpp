// QdRecentFiles.cpp -- the list of the banks opened last.
#include "BankDoc/QdRecentFiles.h"

#include <algorithm>
#include <sys/stat.h>

CQdRecentFiles::CQdRecentFiles(TFileExists fnExists)
    : m_fnExists(fnExists ? std::move(fnExists) : TFileExists(&CQdRecentFiles::FileExists))
{
}

bool CQdRecentFiles::FileExists(const std::string& rkstrPath)
{
    struct stat oStat;
    return !rkstrPath.empty() && stat(rkstrPath.c_str(), &oStat) == 0 && S_ISREG(oStat.st_mode);
}

void CQdRecentFiles::Add(const std::string& rkstrPath)
{
    if (rkstrPath.empty())
        return;
    Remove(rkstrPath);
    m_astrFiles.insert(m_astrFiles.begin(), rkstrPath);
    if (m_astrFiles.size() > MAX_FILES)
        m_astrFiles.resize(MAX_FILES);
}

void CQdRecentFiles::Remove(const std::string& rkstrPath)
{
    m_astrFiles.erase(std::remove(m_astrFiles.begin(), m_astrFiles.end(), rkstrPath), m_astrFiles.end());
}

bool CQdRecentFiles::Prune()
{
    const std::size_t uBefore = m_astrFiles.size();
    m_astrFiles.erase(std::remove_if(m_astrFiles.begin(), m_astrFiles.end(),
                                     [this](const std::string& rkstrPath) { return !m_fnExists(rkstrPath); }),
                      m_astrFiles.end());
    return m_astrFiles.size() != uBefore;
}

void CQdRecentFiles::SetFiles(const std::vector<std::string>& rkastrFiles)
{
    m_astrFiles.clear();
    for (const std::string& rkstrPath : rkastrFiles)
        if (!rkstrPath.empty() && m_astrFiles.size() < MAX_FILES &&
            std::find(m_astrFiles.begin(), m_astrFiles.end(), rkstrPath) == m_astrFiles.end())
            m_astrFiles.push_back(rkstrPath);
}
