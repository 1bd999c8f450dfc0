// QdWindowLayout.cpp -- the main window's controls at any client size.
#include "QdWindowLayout.h"

#include <algorithm>
#include <cmath>

namespace
{
// The margins of the designed window: list and tree start at 8 and end 7
// before the right edge, 7 apart; they run from 40 to 45 above the bottom.
// The roll's bar is as wide as the split bar.
constexpr int LEFT = 8;
constexpr int TOP = 40;
constexpr int GAP = 7;
constexpr int PANES_MARGIN = LEFT + GAP + GAP; // 22: 298 of 320 for both panes
constexpr int BOTTOM_MARGIN = 85;              // 281 of 366

// Share -- round(iRoom * dShare) held within iLow and iRoom - iHigh; the
// low bound gives way when the room is too small for both.
int Share(int iRoom, double dShare, int iLow, int iHigh)
{
    const int iWanted = int(std::lround(iRoom * std::clamp(dShare, 0.0, 1.0)));
    return std::max(0, std::min(std::max(iWanted, iLow), iRoom - iHigh));
}
} // namespace

CQdClientLayout QdLayoutClient(const QSize& rkoSize, double dListShare, double dRollShare, bool bRoll)
{
    const int iWidth = std::max(rkoSize.width(), QD_DESIGNED_WIDTH);
    const int iHeight = std::max(rkoSize.height(), QD_DESIGNED_HEIGHT);
    int iPanes = iWidth - PANES_MARGIN;
    int iRoll = 0;
    if (bRoll)
    {
        iRoll = Share(iPanes - GAP, dRollShare, QD_MIN_ROLL_WIDTH, 2 * QD_MIN_PANE_WIDTH);
        iPanes -= GAP + iRoll;
    }
    const int iList = Share(iPanes, dListShare, QD_MIN_PANE_WIDTH, QD_MIN_PANE_WIDTH);
    const int iPaneHeight = iHeight - BOTTOM_MARGIN;
    CQdClientLayout oLayout;
    oLayout.m_oToolBar = QRect(0, 0, iWidth, 33);
    oLayout.m_oList = QRect(LEFT, TOP, iList, iPaneHeight);
    oLayout.m_oSplitBar = QRect(LEFT + iList, TOP, GAP, iPaneHeight);
    oLayout.m_oTree = QRect(LEFT + iList + GAP, TOP, iPanes - iList, iPaneHeight);
    if (bRoll)
    {
        oLayout.m_oRollBar = QRect(oLayout.m_oTree.right() + 1, TOP, GAP, iPaneHeight);
        oLayout.m_oRoll = QRect(oLayout.m_oRollBar.right() + 1, TOP, iRoll, iPaneHeight);
    }
    oLayout.m_oIcon = QRect(LEFT, iHeight - 38, 32, 32);
    oLayout.m_oNotice = QRect(48, iHeight - 30, iWidth - 55, 17);
    oLayout.m_oInfo = QRect(48, iHeight - 38, iWidth - 55, 32);
    oLayout.m_oHelpPanel = QRect(LEFT, TOP, iWidth - LEFT - GAP, iHeight - 45);
    // Anchored to the bottom: in a taller window the panel leaves the top
    // of the list, where the styles are, in view.
    oLayout.m_oMediaPanel = QRect(LEFT, iHeight - 334, 169, 241);
    return oLayout;
}

double QdListShareAt(int iBarLeft, const CQdClientLayout& rkoLayout)
{
    const int iPanes = rkoLayout.m_oList.width() + rkoLayout.m_oTree.width();
    return iPanes > 0 ? double(iBarLeft - LEFT) / double(iPanes) : QD_DESIGNED_LIST_SHARE;
}

double QdRollShareAt(int iBarLeft, const CQdClientLayout& rkoLayout)
{
    const int iRoom = rkoLayout.m_oList.width() + rkoLayout.m_oTree.width() + rkoLayout.m_oRoll.width();
    const int iRight = rkoLayout.m_oRoll.isEmpty() ? rkoLayout.m_oTree.right() + 1 : rkoLayout.m_oRoll.right() + 1;
    return iRoom > 0 ? double(iRight - iBarLeft - GAP) / double(iRoom) : QD_DESIGNED_ROLL_SHARE;
}

bool QdRollOpenAfterResize(bool bOpen, int iOldWidth, int iNewWidth)
{
    if (iNewWidth < QD_ROLL_MIN_CLIENT_WIDTH)
        return false;
    if (iOldWidth < QD_ROLL_AUTO_WIDTH && iNewWidth >= QD_ROLL_AUTO_WIDTH)
        return true;
    return bOpen;
}

QRect QdHelpTitleRect(const QSize& rkoPanel) { return QRect(8, 4, rkoPanel.width() - 16, 34); }

QRect QdHelpTextRect(const QSize& rkoPanel) { return QRect(8, 40, rkoPanel.width() - 16, rkoPanel.height() - 71); }

QRect QdHelpLinkRect(const QSize& rkoPanel) { return QRect(8, rkoPanel.height() - 27, rkoPanel.width() - 16, 19); }
