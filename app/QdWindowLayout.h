// QdWindowLayout.h -- where the main window's controls go at any size of its
// client area (the window below the menu bar).
//
// At the designed size, 320 x 366, every control sits where the classic
// window had it, pixel for pixel. Larger, the style list and the element
// tree share the added width as the split bar divides them (the list's share
// of the room both have) and take the added height; the notice and the info
// line stay at the bottom and take the width; the help panel covers list and
// tree as it always did, so its text grows with them; the media panel keeps
// its size and its distance from the bottom, so that in a taller window the
// styles at the top of the list stay in view while a pattern plays.
#pragma once

#include <QRect>
#include <QSize>

inline constexpr int QD_DESIGNED_WIDTH = 320;
inline constexpr int QD_DESIGNED_HEIGHT = 366;
// The list's share of the width that list and tree have together, as designed (137 of 298).
inline constexpr double QD_DESIGNED_LIST_SHARE = 137.0 / 298.0;
// Neither list nor tree gets narrower than this when the split bar moves.
inline constexpr int QD_MIN_PANE_WIDTH = 60;

struct CQdClientLayout
{
    QRect m_oToolBar;
    QRect m_oList;
    QRect m_oSplitBar;
    QRect m_oTree;
    QRect m_oIcon;
    QRect m_oNotice;
    QRect m_oInfo;
    QRect m_oHelpPanel;
    QRect m_oMediaPanel;
};

// QdLayoutClient -- the rectangles for a client of rkoSize (at least the
// designed size counts) with the list's share dListShare (0..1, held so
// that both panes keep QD_MIN_PANE_WIDTH).
CQdClientLayout QdLayoutClient(const QSize& rkoSize, double dListShare);
// QdListShareAt -- the share that puts the split bar's left edge at iBarLeft
// in a client of iWidth.
double QdListShareAt(int iBarLeft, int iWidth);
// The help panel's own controls for a panel of rkoSize: title, text, link.
QRect QdHelpTitleRect(const QSize& rkoPanel);
QRect QdHelpTextRect(const QSize& rkoPanel);
QRect QdHelpLinkRect(const QSize& rkoPanel);
