// QdClipPart.cpp -- the clipboard payload of a copied part.
#include "BankDoc/QdClipPart.h"

#include "BankDoc/QdBankDoc.h"

#include <cstring>

namespace
{
const char kachMagic[8] = {'Q', 'd', 'P', 'a', 'r', 't', '1', '\0'};
constexpr BYTE KIND_ELEMENT = 1;
constexpr BYTE KIND_CHORD_VAR = 2;
constexpr std::size_t MAX_NAME = 255;

void PutLength(std::vector<BYTE>& rabyOut, std::size_t uLength)
{
    for (int i = 0; i < 4; ++i)
        rabyOut.push_back(BYTE(uLength >> (8 * i)));
}

// CReader -- reads forward and refuses to pass the end.
struct CReader
{
    const BYTE* m_pkbyData;
    std::size_t m_uLength;
    std::size_t m_uAt = 0;

    bool Take(std::size_t uCount, const BYTE*& rpkbyOut)
    {
        if (uCount > m_uLength - m_uAt)
            return false;
        rpkbyOut = m_pkbyData + m_uAt;
        m_uAt += uCount;
        return true;
    }
    bool Length(std::size_t& ruLength)
    {
        const BYTE* pkby = nullptr;
        if (!Take(4, pkby))
            return false;
        ruLength = std::size_t(pkby[0]) | std::size_t(pkby[1]) << 8 | std::size_t(pkby[2]) << 16 |
                   std::size_t(pkby[3]) << 24;
        return true;
    }
};
} // namespace

std::vector<BYTE> QdWriteClipPart(const CQdClipPart& rkoPart)
{
    std::vector<BYTE> abyOut(kachMagic, kachMagic + sizeof(kachMagic));
    abyOut.push_back(rkoPart.m_oPart.IsChordVar() ? KIND_CHORD_VAR : KIND_ELEMENT);
    abyOut.push_back(rkoPart.m_oPart.m_bySe);
    abyOut.push_back(rkoPart.m_oPart.IsChordVar() ? rkoPart.m_oPart.m_byCv : BYTE(NST_NR_CV));
    abyOut.push_back(rkoPart.m_byTracks);
    const std::string strName = rkoPart.m_strStyleName.substr(0, MAX_NAME);
    PutLength(abyOut, strName.size());
    abyOut.insert(abyOut.end(), strName.begin(), strName.end());
    PutLength(abyOut, rkoPart.m_abyStyle.size());
    abyOut.insert(abyOut.end(), rkoPart.m_abyStyle.begin(), rkoPart.m_abyStyle.end());
    return abyOut;
}

bool QdReadClipPart(const BYTE* pkbyData, std::size_t uLength, CQdClipPart& roPart)
{
    if (!pkbyData)
        return false;
    CReader oReader{pkbyData, uLength};
    const BYTE* pkbyHead = nullptr;
    if (!oReader.Take(sizeof(kachMagic) + 4, pkbyHead) || std::memcmp(pkbyHead, kachMagic, sizeof(kachMagic)) != 0)
        return false;
    const BYTE byKind = pkbyHead[8];
    const BYTE bySe = pkbyHead[9];
    const BYTE byCv = pkbyHead[10];
    if (bySe >= NST_NR_STE || (byKind != KIND_ELEMENT && byKind != KIND_CHORD_VAR) ||
        (byKind == KIND_CHORD_VAR && byCv >= NST_NR_CV) || (byKind == KIND_ELEMENT && byCv != NST_NR_CV))
        return false;
    std::size_t uName = 0;
    const BYTE* pkbyName = nullptr;
    if (!oReader.Length(uName) || uName > MAX_NAME || !oReader.Take(uName, pkbyName))
        return false;
    std::size_t uStyle = 0;
    const BYTE* pkbyStyle = nullptr;
    if (!oReader.Length(uStyle) || uStyle == 0 || uStyle > CQdBankDoc::BANK_BLOCK_SIZE ||
        !oReader.Take(uStyle, pkbyStyle) || oReader.m_uAt != uLength)
        return false;
    CQdClipPart oPart;
    oPart.m_oPart.m_bySe = bySe;
    oPart.m_oPart.m_byCv = byCv;
    oPart.m_byTracks = pkbyHead[11];
    oPart.m_strStyleName.assign(reinterpret_cast<const char*>(pkbyName), uName);
    oPart.m_abyStyle.assign(pkbyStyle, pkbyStyle + uStyle);
    roPart = std::move(oPart);
    return true;
}
