// QdStyleFiles.cpp -- the folder name and the chord-variation files of a style.
#include "BankDoc/QdStyleFiles.h"

#include "BankDoc/QdBankDoc.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {

// TwoDigits -- a position as NN.
std::string TwoDigits(int iNumber)
{
    std::string str = std::to_string(iNumber);
    return str.size() < 2 ? "0" + str : str;
}

} // namespace

std::string QdStyleFolderName(int iPosition, const std::string& rkstrName)
{
    std::string strSafe = rkstrName;
    std::replace_if(
        strSafe.begin(), strSafe.end(),
        [](char c) { return c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '_');
    const std::size_t uFirst = strSafe.find_first_not_of(" .");
    const std::size_t uLast = strSafe.find_last_not_of(' ');
    strSafe = uFirst == std::string::npos ? std::string() : strSafe.substr(uFirst, uLast - uFirst + 1);
    return TwoDigits(iPosition) + "-" + (strSafe.empty() ? "unnamed" : strSafe);
}

std::string QdChordVarFileStem(BYTE bySe, BYTE byCv)
{
    const char* pszName = CQdBankDoc::StandardName(CQdBankDoc::StandardNameIndex(bySe, byCv));
    if (pszName)
        return pszName;
    return std::string(CQdBankDoc::ElementName(bySe)) + " Chord Var " + std::to_string(byCv + 1) +
           " (no standard name)";
}

bool QdWriteStyleFiles(CNstEditIfc& roEditIfc, const std::string& rkstrFolder, CQdFileIo& roFileIo,
                       CQdStyleFiles& roFiles)
{
    const std::filesystem::path oFolder(rkstrFolder);
    for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
    {
        for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
        {
            if (roEditIfc.GetChordVarState(bySe, byCv) == NST_STATE_ABSENT)
                continue;
            const std::string strName = QdChordVarFileStem(bySe, byCv);
            DWORD dwSize = 0;
            const std::unique_ptr<BYTE[]> pbySmf = CQdBankDoc::StandardNameIndex(bySe, byCv) < 0
                                                       ? nullptr
                                                       : roEditIfc.ExportToSmf(bySe, byCv, NST_ALL_TRACKS, dwSize);
            if (!pbySmf || dwSize == 0)
            {
                roFiles.m_astrNotExported.push_back(strName);
                continue;
            }
            // A folder that cannot be made fails the write below, which says so.
            std::error_code oError;
            std::filesystem::create_directories(oFolder, oError);
            const std::string strPath = (oFolder / (strName + ".mid")).string();
            roFileIo.ClearLastError();
            if (!roFileIo.WriteAtomic(strPath, pbySmf.get(), dwSize))
            {
                roFiles.m_strFailedPath = strPath;
                return false;
            }
            roFiles.m_strFolder = oFolder.string();
            roFiles.m_astrExported.push_back(strName);
        }
    }
    return true;
}
