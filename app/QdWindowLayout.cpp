// QdWindowLayout.cpp -- the main window's controls at any client size.
#include "QdWindowLayout.h"

#include <algorithm>
#include <cmath>

namespace
{
// The margins of the designed window: list and tree start at 8 and end 7
// before the right edge, 7 apart; they run from 40 to 45 above the bottom.
constexpr int LEFT = 8;
constexpr int TOP = 40;
constexpr int GAP = 7;
constexpr int PANES_MARGIN = LEFT + GAP + GAP; // 22: 298 of 320 for both panes
constexpr int BOTTOM_MARGIN = 85;              // 281 of 366
} // namespace

CQdClientLayout QdLayoutClient(const QSize& rkoSize, double dListShare)
{
    const int iWidth = std::max(rkoSize.width(), QD_DESIGNED_WIDTH);
    const int iHeight = std::max(rkoSize.height(), QD_DESIGNED_HEIGHT);
    const int iPanes = iWidth - PANES_MARGIN;
    const int iList = std::clamp(int(std::lround(iPanes * std::clamp(dListShare, 0.0, 1.0))), QD_MIN_PANE_WIDTH,
                                 iPanes - QD_MIN_PANE_WIDTH);
    const int iPaneHeight = iHeight - BOTTOM_MARGIN;
    CQdClientLayout oLayout;
    oLayout.m_oToolBar = QRect(0, 0, iWidth, 33);
    oLayout.m_oList = QRect(LEFT, TOP, iList, iPaneHeight);
    oLayout.m_oSplitBar = QRect(LEFT + iList, TOP, GAP, iPaneHeight);
    oLayout.m_oTree = QRect(LEFT + iList + GAP, TOP, iPanes - iList, iPaneHeight);
    oLayout.m_oIcon = QRect(LEFT, iHeight - 38, 32, 32);
    oLayout.m_oNotice = QRect(48, iHeight - 30, iWidth - 55, 17);
    oLayout.m_oInfo = QRect(48, iHeight - 38, iWidth - 55, 32);
    oLayout.m_oHelpPanel = QRect(LEFT, TOP, iWidth - LEFT - GAP, iHeight - 45);
    // Anchored to the bottom: in a taller window the panel leaves the top
    // of the list, where the styles are, in view.
    oLayout.m_oMediaPanel = QRect(LEFT, iHeight - 334, 169, 241);
    return oLayout;
}

double QdListShareAt(int iBarLeft, int iWidth)
{
    const int iPanes = std::max(iWidth, QD_DESIGNED_WIDTH) - PANES_MARGIN;
    return double(iBarLeft - LEFT) / double(iPanes);
}

QRect QdHelpTitleRect(const QSize& rkoPanel) { return QRect(8, 4, rkoPanel.width() - 16, 34); }

QRect QdHelpTextRect(const QSize& rkoPanel) { return QRect(8, 40, rkoPanel.width() - 16, rkoPanel.height() - 71); }

QRect QdHelpLinkRect(const QSize& rkoPanel) { return QRect(8, rkoPanel.height() - 27, rkoPanel.width() - 16, 19); }
