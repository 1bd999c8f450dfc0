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
//
// The piano roll pane, when open, sits right of the tree behind a second
// bar and takes its share of the room of all three panes. It is closed at
// the designed size, so the designed window stays as it was: opening it
// there widens the window by exactly the pane and its bar
// (QD_ROLL_OPEN_WIDTH), leaving list and tree at their designed places.
// Widening a window to QD_ROLL_AUTO_WIDTH opens it, narrowing one below
// QD_ROLL_MIN_CLIENT_WIDTH (where the pane would squeeze list and tree)
// closes it (QdRollOpenAfterResize).
#pragma once

#include <QRect>
#include <QSize>

inline constexpr int QD_DESIGNED_WIDTH = 320;
inline constexpr int QD_DESIGNED_HEIGHT = 366;
// The list's share of the width that list and tree have together, as designed (137 of 298).
inline constexpr double QD_DESIGNED_LIST_SHARE = 137.0 / 298.0;
// Neither list nor tree gets narrower than this when the split bar moves.
inline constexpr int QD_MIN_PANE_WIDTH = 60;

// The roll pane's width when it opens in a window of the designed size,
// and the client width that gives it room beside the designed list and tree.
inline constexpr int QD_ROLL_DESIGNED_WIDTH = 480;
inline constexpr int QD_ROLL_OPEN_WIDTH = QD_DESIGNED_WIDTH + 7 + QD_ROLL_DESIGNED_WIDTH;
// The roll's share of the room of list, tree and roll (the client less its
// margins and the two bars) in that window: 480 of 778.
inline constexpr double QD_DESIGNED_ROLL_SHARE = double(QD_ROLL_DESIGNED_WIDTH) / (QD_ROLL_OPEN_WIDTH - 29);
// The roll pane gets no narrower than this when its bar moves.
inline constexpr int QD_MIN_ROLL_WIDTH = 200;
// A client that grows to this width opens the pane: from here on list and
// tree keep at least their designed widths beside it. Narrower than
// QD_ROLL_MIN_CLIENT_WIDTH closes it.
inline constexpr int QD_ROLL_AUTO_WIDTH = QD_ROLL_OPEN_WIDTH;
inline constexpr int QD_ROLL_MIN_CLIENT_WIDTH = QD_DESIGNED_WIDTH + 7 + QD_MIN_ROLL_WIDTH;

struct CQdClientLayout
{
    QRect m_oToolBar;
    QRect m_oList;
    QRect m_oSplitBar;
    QRect m_oTree;
    QRect m_oRollBar; // empty while the roll is closed
    QRect m_oRoll;    // empty while the roll is closed
    QRect m_oIcon;
    QRect m_oNotice;
    QRect m_oInfo;
    QRect m_oHelpPanel;
    QRect m_oMediaPanel;
};

// QdLayoutClient -- the rectangles for a client of rkoSize (at least the
// designed size counts) with the list's share dListShare (0..1, held so
// that both panes keep QD_MIN_PANE_WIDTH) and, when bRoll, the roll pane
// with its share dRollShare (held so that it keeps QD_MIN_ROLL_WIDTH as far
// as list and tree keep theirs).
CQdClientLayout QdLayoutClient(const QSize& rkoSize, double dListShare, double dRollShare = QD_DESIGNED_ROLL_SHARE,
                               bool bRoll = false);
// QdListShareAt -- the share that puts the split bar's left edge at
// iBarLeft, with list and tree as rkoLayout has them.
double QdListShareAt(int iBarLeft, const CQdClientLayout& rkoLayout);
// QdRollShareAt -- the share that puts the roll bar's left edge at iBarLeft.
double QdRollShareAt(int iBarLeft, const CQdClientLayout& rkoLayout);
// QdRollOpenAfterResize -- whether the roll is open after the client went
// from iOldWidth (negative: no size yet) to iNewWidth, open before or not.
bool QdRollOpenAfterResize(bool bOpen, int iOldWidth, int iNewWidth);
// The help panel's own controls for a panel of rkoSize: title, text, link.
QRect QdHelpTitleRect(const QSize& rkoPanel);
QRect QdHelpTextRect(const QSize& rkoPanel);
QRect QdHelpLinkRect(const QSize& rkoPanel);
