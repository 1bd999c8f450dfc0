// QdBankBackup.cpp -- CQdBankDoc::CBankBackup: the bank's state kept aside
// while a command changes many styles (QdBankDoc.h).
//
// A command on one style keeps a copy of that style (CStyleBackup); one
// that writes style after style back into the bank block needs the block
// as it was, and the list, the marks and the selection that go with it.
// Everything is copied when the backup is made, so giving it back is a
// matter of swaps, which cannot fail.
#include "BankDoc/QdBankDoc.h"

#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/NstEditIfc.h"

#include <cstring>
#include <utility>

// CQdBankDoc::CBankBackup::CBankBackup -- the copy is a whole block, so that
// the navigator on it has the room the document's has, and holds the bytes
// the tree uses (nothing reads the reserve behind them); a navigator made on
// a block reads its tree afresh, so the copy's works as the document's did.
CQdBankDoc::CBankBackup::CBankBackup(CQdBankDoc& roDoc)
    : m_roDoc(roDoc), m_astrStyleNames(roDoc.m_astrStyleNames), m_abWrittenBack(roDoc.m_abWrittenBack),
      m_aoStyleDamage(roDoc.m_aoStyleDamage), m_iSelectedStyle(roDoc.m_iSelectedStyle),
      m_strSelectedStyleName(roDoc.m_strSelectedStyleName), m_strListInfo(roDoc.m_strListInfo),
      m_strSmfDir(roDoc.m_strSmfDir), m_bStyleModified(roDoc.m_bStyleModified),
      m_bOpenStyleDamaged(roDoc.m_bOpenStyleDamaged)
{
    if (roDoc.m_pbyBlock)
    {
        m_pbyBlock = std::make_unique_for_overwrite<BYTE[]>(BANK_BLOCK_SIZE);
        std::memcpy(m_pbyBlock.get(), roDoc.m_pbyBlock.get(), roDoc.GetUsedSize());
        m_poNav = std::make_unique<CChunkNavComp>(m_pbyBlock.get(), BANK_BLOCK_SIZE);
    }
    if (roDoc.m_poEditIfc)
        m_poEditIfc = roDoc.m_poEditIfc->Clone();
}

// CQdBankDoc::CBankBackup::~CBankBackup -- a backup not kept takes the
// document's place; what the command made goes with the backup.
CQdBankDoc::CBankBackup::~CBankBackup()
{
    if (!m_bKept)
        SwapWithDoc();
}

void CQdBankDoc::CBankBackup::SwapWithDoc() noexcept
{
    // The navigators and blocks travel in pairs: each navigator stays on its block.
    m_roDoc.m_pbyBlock.swap(m_pbyBlock);
    m_roDoc.m_poNav.swap(m_poNav);
    m_roDoc.m_astrStyleNames.swap(m_astrStyleNames);
    m_roDoc.m_abWrittenBack.swap(m_abWrittenBack);
    m_roDoc.m_aoStyleDamage.swap(m_aoStyleDamage);
    std::swap(m_roDoc.m_iSelectedStyle, m_iSelectedStyle);
    m_roDoc.m_strSelectedStyleName.swap(m_strSelectedStyleName);
    m_roDoc.m_strListInfo.swap(m_strListInfo);
    m_roDoc.m_strSmfDir.swap(m_strSmfDir);
    m_roDoc.m_poEditIfc.swap(m_poEditIfc);
    std::swap(m_roDoc.m_bStyleModified, m_bStyleModified);
    std::swap(m_roDoc.m_bOpenStyleDamaged, m_bOpenStyleDamaged);
}
