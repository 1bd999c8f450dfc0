// QdRollLayout.h -- where everything of a roll (QdRoll.h) lies in a picture
// of a given width, in pixels, and the colours it is drawn in: one layout
// for every front end, so that the SVG of `qdstyle roll` (QdRollSvg.h) and
// the window's roll pane draw the same picture.
//
// From top to bottom: the title line, the ruler with the measure numbers,
// then a band per track that holds notes (in track order: Drum, Percussion,
// Bass, Acc. 1 ... Acc. 5) with the track's name, its key rows and its
// lanes, and at the bottom a legend line per band. Left of the time axis
// the key column names the rows. A band's rows, top to bottom, go from its
// highest key down: on a melodic track every key of the range it plays, on
// the Drum and Percussion tracks only the keys it plays, one row each.
// Lanes are those that change after tick 0 (the export's track parameters
// at tick 0 alone make no lane) unless all are asked for.
//
// The time axis runs from tick 0 at GetTimeLeft() to the pattern's length
// at GetTimeRight(), linearly. Coordinates are doubles from the picture's
// top left; a painter may round them as it likes. The layout keeps a
// pointer to the roll, which must outlive it; building it is one pass over
// the notes and lanes.
#pragma once

#include "BankDoc/QdRoll.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// CQdRgb -- a colour.
struct CQdRgb
{
    BYTE m_byRed = 0;
    BYTE m_byGreen = 0;
    BYTE m_byBlue = 0;

    // CQdRgb::Hex -- "#rrggbb".
    std::string Hex() const;
    bool operator==(const CQdRgb& rkoOther) const = default;
};

// The roll's colours besides the tracks'.
namespace QdRollColours {
inline constexpr CQdRgb BACKGROUND{0xFF, 0xFF, 0xFF};
inline constexpr CQdRgb TEXT{0x22, 0x22, 0x22};
inline constexpr CQdRgb ROW_STRIPE{0xF2, 0xF2, 0xF2}; // every other key row
inline constexpr CQdRgb MEASURE_LINE{0x88, 0x88, 0x88};
inline constexpr CQdRgb BEAT_LINE{0xD8, 0xD8, 0xD8};
inline constexpr CQdRgb LANE_BACKGROUND{0xF7, 0xF7, 0xF7};
inline constexpr CQdRgb PLAYHEAD{0x10, 0x10, 0x10}; // the window's line where playback is
} // namespace QdRollColours

// QdRollTrackColour -- the colour of the track's notes and lanes; black
// outside 0-7.
CQdRgb QdRollTrackColour(BYTE byTrack);

// Velocity as shade: a note is its track's colour at this opacity on the
// white background, from 0.35 at velocity 0 to 1 at 127, so that a soft note
// is still seen. The SVG says it with fill-opacity, a painter with the mixed
// colour of QdRollNoteColour.
double QdRollNoteOpacity(BYTE byVelocity);
// QdRollMix -- rkoFrom taken dShare (0..1) of the way to rkoTo.
CQdRgb QdRollMix(const CQdRgb& rkoFrom, const CQdRgb& rkoTo, double dShare);
// QdRollShade -- the track's colour, faint or not: a faint track (another
// than the roll's highlighted one) keeps 30 % of its colour, enough to
// see where its notes are without hiding the highlighted track's.
CQdRgb QdRollShade(BYTE byTrack, bool bFaint);
// QdRollNoteColour -- the opaque colour of a note of that velocity on the
// background: QdRollShade at QdRollNoteOpacity.
CQdRgb QdRollNoteColour(BYTE byTrack, BYTE byVelocity, bool bFaint);

// CQdRollLayoutOptions -- sizes in pixels.
struct CQdRollLayoutOptions
{
    static constexpr int MIN_WIDTH = 320;
    static constexpr int MAX_WIDTH = 16384;

    int m_iWidth = 1200;      // the whole picture; kept within MIN_WIDTH and MAX_WIDTH
    int m_iMargin = 8;        // around everything
    int m_iKeyColumn = 136;   // the row names, left of the time axis
    int m_iTitleHeight = 22;  // 0: no title line
    int m_iRulerHeight = 16;  // the measure numbers
    int m_iBandHeader = 16;   // a band's track name
    int m_iRowHeight = 10;    // a key row
    int m_iLaneHeight = 36;   // a lane
    int m_iBandGap = 8;       // below each band
    int m_iLegendLine = 16;   // a legend line
    // Beat lines are left out where beats lie closer than this.
    int m_iMinBeatSpacing = 6;
    // Also the lanes that only hold the track parameters at tick 0.
    bool m_bAllLanes = false;
};

// CQdRollRect -- a rectangle.
struct CQdRollRect
{
    double m_dX = 0;
    double m_dY = 0;
    double m_dWidth = 0;
    double m_dHeight = 0;
};

// CQdRollRow -- a key row of a band.
struct CQdRollRow
{
    BYTE m_byKey = 0;
    double m_dTop = 0;
};

// CQdRollLaneBox -- a lane of a band.
struct CQdRollLaneBox
{
    std::size_t m_uLane = 0; // index in the roll's lanes
    double m_dTop = 0;
};

// CQdRollBand -- one track's part of the picture.
struct CQdRollBand
{
    BYTE m_byTrack = 0;
    double m_dTop = 0;       // of its header line
    double m_dRowsTop = 0;   // of its first row
    double m_dBottom = 0;    // after its last lane (the gap follows)
    std::vector<CQdRollRow> m_aoRows;       // top to bottom
    std::vector<CQdRollLaneBox> m_aoLanes;  // top to bottom, below the rows
};

// The kinds of grid lines.
enum EQdRollLine : BYTE
{
    QD_LINE_MEASURE = 0, // at the start of a measure (numbered)
    QD_LINE_BEAT = 1,
    QD_LINE_END = 2,     // at the pattern's length
};

// CQdRollGridLine -- a vertical line of the grid through all bands.
struct CQdRollGridLine
{
    double m_dX = 0;
    TTICK m_tTick = 0;
    EQdRollLine m_eKind = QD_LINE_MEASURE;
    DWORD m_dwMeasure = 0; // 1-based, QD_LINE_MEASURE only
};

// CQdRollXY -- a point.
struct CQdRollXY
{
    double m_dX = 0;
    double m_dY = 0;
};

class CQdRollLayout
{
public:
    CQdRollLayout(const CQdRoll& rkoRoll, const CQdRollLayoutOptions& rkoOptions = CQdRollLayoutOptions());

    const CQdRoll& GetRoll() const { return *m_pkoRoll; }
    const CQdRollLayoutOptions& GetOptions() const { return m_oOptions; }
    double GetWidth() const { return m_oOptions.m_iWidth; }
    double GetHeight() const { return m_dHeight; }

    // The time axis: tick 0 at GetTimeLeft, the length at GetTimeRight.
    double GetTimeLeft() const { return m_dTimeLeft; }
    double GetTimeRight() const { return m_dTimeLeft + m_dTimeWidth; }
    double TickToX(TTICK tTick) const { return m_dTimeLeft + double(tTick) * m_dPixelsPerTick; }
    // CQdRollLayout::XToTick -- the tick at x, within 0 and the length.
    TTICK XToTick(double dX) const;

    // Where the title line, the ruler and the legend lie.
    double GetTitleTop() const { return m_oOptions.m_iMargin; }
    double GetRulerTop() const { return m_dRulerTop; }
    double GetBandsTop() const { return m_dRulerTop + m_oOptions.m_iRulerHeight; }
    double GetBandsBottom() const { return m_dLegendTop; }
    double GetLegendTop() const { return m_dLegendTop; }

    const std::vector<CQdRollBand>& GetBands() const { return m_aoBands; }
    // CQdRollLayout::FindBand -- the band of the track; null when the track has none.
    const CQdRollBand* FindBand(BYTE byTrack) const;
    const std::vector<CQdRollGridLine>& GetGridLines() const { return m_aoGridLines; }

    // CQdRollLayout::NoteRect -- where a note of the roll is drawn: its row,
    // one pixel in from the row's edges, from its start to its end, at least
    // one pixel wide (a note of length 0 shows too). A note whose track or
    // key has no row gets an empty rectangle.
    CQdRollRect NoteRect(const CQdRollNote& rkoNote) const;
    // CQdRollLayout::IsFaint -- the track is drawn faint: the roll
    // highlights another track (CQdRoll::m_byHighlight).
    bool IsFaint(BYTE byTrack) const;
    // CQdRollLayout::NoteAt -- the index in the roll's notes of the note
    // drawn at the point (NoteRect, its row's full height), the one drawn
    // last (on top) where notes overlap; -1 for none.
    int NoteAt(double dX, double dY) const;
    // CQdRollLayout::LanePath -- the lane's values as a step line: from each
    // value's tick to the next one's, then on to the length; the lowest value
    // at the lane's bottom, the highest at its top.
    std::vector<CQdRollXY> LanePath(const CQdRollLaneBox& rkoBox) const;

private:
    void PlaceBands();
    void PlaceGridLines();

    const CQdRoll* m_pkoRoll;
    CQdRollLayoutOptions m_oOptions;
    double m_dHeight = 0;
    double m_dTimeLeft = 0;
    double m_dTimeWidth = 0;
    double m_dPixelsPerTick = 0;
    double m_dRulerTop = 0;
    double m_dLegendTop = 0;
    std::vector<CQdRollBand> m_aoBands;
    std::vector<CQdRollGridLine> m_aoGridLines;
    // Per track, the index of its band (-1: none); per track and key, the
    // index of its row in the band (-1: none).
    std::array<int, NST_NR_TRK> m_aiBandOfTrack{};
    std::array<std::array<short, 128>, NST_NR_TRK> m_aaiRowOfKey{};
};
