// QdRollSvg.cpp -- the roll drawn as SVG elements, back to front:
// background, key rows and lane boxes, grid, names, lanes, notes, legend.
#include "BankDoc/QdRollSvg.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdGmPrograms.h"
#include "BankDoc/QdXmlWriter.h"

namespace {

constexpr const char* SVG_NAMESPACE = "http://www.w3.org/2000/svg";
constexpr int FONT_SIZE = 9;
constexpr int TITLE_FONT_SIZE = 13;
// Text baselines below the top of their line, and gaps beside it.
constexpr double TEXT_BASELINE = 11;
constexpr double TEXT_GAP = 4;
constexpr double SWATCH = 10;

// Box -- a closed rectangle as a path's subpath.
std::string Box(double dX, double dY, double dWidth, double dHeight)
{
    return "M" + QdXmlNumber(dX) + " " + QdXmlNumber(dY) + "h" + QdXmlNumber(dWidth) + "v" + QdXmlNumber(dHeight) +
           "h" + QdXmlNumber(-dWidth) + "z";
}

std::string TimeSigText(const CNstTimeSig& rkoTimeSig)
{
    return std::to_string(rkoTimeSig.m_byNumerator) + "/" + std::to_string(rkoTimeSig.GetDenominator());
}

// WriteBackdrop -- every other key row of each band striped across the key
// column and the time axis, and the lane boxes.
void WriteBackdrop(CQdXmlWriter& roXml, const CQdRollLayout& rkoLayout)
{
    const CQdRollLayoutOptions& rkoOptions = rkoLayout.GetOptions();
    const double dLeft = rkoOptions.m_iMargin;
    const double dWidth = rkoLayout.GetTimeRight() - dLeft;
    std::string strRows;
    std::string strLanes;
    for (const CQdRollBand& rkoBand : rkoLayout.GetBands())
    {
        for (std::size_t uRow = 1; uRow < rkoBand.m_aoRows.size(); uRow += 2)
            strRows += Box(dLeft, rkoBand.m_aoRows[uRow].m_dTop, dWidth, rkoOptions.m_iRowHeight);
        for (const CQdRollLaneBox& rkoBox : rkoBand.m_aoLanes)
            strLanes += Box(dLeft, rkoBox.m_dTop + 1, dWidth, rkoOptions.m_iLaneHeight - 2);
    }
    if (!strRows.empty())
        roXml.Empty("path", {{"class", "rows"}, {"fill", QdRollColours::ROW_STRIPE.Hex()}, {"d", strRows}});
    if (!strLanes.empty())
        roXml.Empty("path", {{"class", "lane-boxes"}, {"fill", QdRollColours::LANE_BACKGROUND.Hex()}, {"d", strLanes}});
}

// WriteGrid -- the lines through the bands, the measure numbers above.
void WriteGrid(CQdXmlWriter& roXml, const CQdRollLayout& rkoLayout)
{
    roXml.Start("g", {{"class", "grid"}});
    const double dTop = rkoLayout.GetRulerTop();
    const double dBottom = rkoLayout.GetBandsBottom();
    for (const CQdRollGridLine& rkoLine : rkoLayout.GetGridLines())
    {
        const bool bBeat = rkoLine.m_eKind == QD_LINE_BEAT;
        const CQdRgb oColour = bBeat ? QdRollColours::BEAT_LINE : QdRollColours::MEASURE_LINE;
        roXml.Empty("line", {{"class", bBeat ? "beat" : rkoLine.m_eKind == QD_LINE_END ? "end" : "measure"},
                             {"x1", rkoLine.m_dX},
                             {"y1", bBeat ? rkoLayout.GetBandsTop() : dTop},
                             {"x2", rkoLine.m_dX},
                             {"y2", dBottom},
                             {"stroke", oColour.Hex()},
                             {"data-tick", rkoLine.m_tTick}});
        if (rkoLine.m_eKind == QD_LINE_MEASURE)
            roXml.Text("text", {{"class", "measure"}, {"x", rkoLine.m_dX + 2}, {"y", dTop + TEXT_BASELINE}},
                       std::to_string(rkoLine.m_dwMeasure));
    }
    roXml.End();
}

// WriteBand -- a band's track name, key names and lanes.
void WriteBand(CQdXmlWriter& roXml, const CQdRollLayout& rkoLayout, const CQdRollBand& rkoBand)
{
    const CQdRollLayoutOptions& rkoOptions = rkoLayout.GetOptions();
    const CQdRoll& rkoRoll = rkoLayout.GetRoll();
    const std::string strColour = QdRollTrackColour(rkoBand.m_byTrack).Hex();
    const double dNameRight = rkoLayout.GetTimeLeft() - TEXT_GAP;
    roXml.Start("g", {{"class", "band"},
                      {"data-track", rkoBand.m_byTrack},
                      {"data-track-name", CQdBankDoc::TrackName(rkoBand.m_byTrack)}});
    roXml.Text("text",
               {{"class", "track"}, {"x", rkoOptions.m_iMargin}, {"y", rkoBand.m_dTop + TEXT_BASELINE},
                {"font-weight", "bold"}, {"fill", strColour}},
               CQdBankDoc::TrackName(rkoBand.m_byTrack));
    for (const CQdRollRow& rkoRow : rkoBand.m_aoRows)
        roXml.Text("text",
                   {{"class", "key"}, {"x", dNameRight}, {"y", rkoRow.m_dTop + rkoOptions.m_iRowHeight - 1},
                    {"text-anchor", "end"}, {"data-key", rkoRow.m_byKey}},
                   QdRollKeyName(rkoBand.m_byTrack, rkoRow.m_byKey));
    for (const CQdRollLaneBox& rkoBox : rkoBand.m_aoLanes)
    {
        const CQdRollLane& rkoLane = rkoRoll.m_aoLanes[rkoBox.m_uLane];
        roXml.Text("text",
                   {{"class", "lane-name"}, {"x", dNameRight}, {"y", rkoBox.m_dTop + TEXT_BASELINE},
                    {"text-anchor", "end"}},
                   QdRollLaneName(rkoLane));
        std::string strPath;
        for (const CQdRollXY& rkoPoint : rkoLayout.LanePath(rkoBox))
        {
            // Appended piece by piece: no temporary string per point.
            strPath += strPath.empty() ? 'M' : 'L';
            strPath += QdXmlNumber(rkoPoint.m_dX);
            strPath += ' ';
            strPath += QdXmlNumber(rkoPoint.m_dY);
        }
        if (!strPath.empty())
            roXml.Empty("path", {{"class", "lane"}, {"fill", "none"}, {"stroke", strColour}, {"d", strPath}});
    }
    roXml.End();
}

// WriteNotes -- one <rect> per note, its opacity by its velocity.
void WriteNotes(CQdXmlWriter& roXml, const CQdRollLayout& rkoLayout)
{
    const CQdRoll& rkoRoll = rkoLayout.GetRoll();
    roXml.Start("g", {{"class", "notes"}});
    for (const CQdRollNote& rkoNote : rkoRoll.m_aoNotes)
    {
        const CQdRollRect oRect = rkoLayout.NoteRect(rkoNote);
        const CQdRgb oColour = QdRollTrackColour(rkoNote.m_byTrack);
        roXml.Start("rect", {{"x", oRect.m_dX},
                             {"y", oRect.m_dY},
                             {"width", oRect.m_dWidth},
                             {"height", oRect.m_dHeight},
                             {"fill", oColour.Hex()},
                             {"fill-opacity", QdRollNoteOpacity(rkoNote.m_byVelocity)},
                             {"data-track", rkoNote.m_byTrack},
                             {"data-channel", rkoNote.m_byChannel},
                             {"data-key", rkoNote.m_byKey},
                             {"data-velocity", rkoNote.m_byVelocity},
                             {"data-start", rkoNote.m_tStart},
                             {"data-length", rkoNote.GetLength()}});
        roXml.Text("title", {}, QdRollNoteText(rkoRoll.m_oGrid, rkoNote));
        roXml.End();
    }
    roXml.End();
}

void WriteLegend(CQdXmlWriter& roXml, const CQdRollLayout& rkoLayout)
{
    const CQdRollLayoutOptions& rkoOptions = rkoLayout.GetOptions();
    roXml.Start("g", {{"class", "legend"}});
    double dTop = rkoLayout.GetLegendTop();
    for (const CQdRollBand& rkoBand : rkoLayout.GetBands())
    {
        const double dLeft = rkoLayout.GetTimeLeft();
        roXml.Empty("path", {{"fill", QdRollTrackColour(rkoBand.m_byTrack).Hex()},
                             {"d", Box(dLeft, dTop + 2, SWATCH, SWATCH)}});
        roXml.Text("text", {{"x", dLeft + SWATCH + TEXT_GAP}, {"y", dTop + TEXT_BASELINE}},
                   QdRollLegendText(rkoLayout.GetRoll(), rkoBand.m_byTrack));
        dTop += rkoOptions.m_iLegendLine;
    }
    roXml.End();
}

} // namespace

std::string QdRollSvg(const CQdRollLayout& rkoLayout, const std::string& rkstrTitle)
{
    const CQdRoll& rkoRoll = rkoLayout.GetRoll();
    const CQdRollGrid& rkoGrid = rkoRoll.m_oGrid;
    const CQdRollLayoutOptions& rkoOptions = rkoLayout.GetOptions();
    const double dWidth = rkoLayout.GetWidth();
    const double dHeight = rkoLayout.GetHeight();
    CQdXmlWriter oXml;
    oXml.Start("svg", {{"xmlns", SVG_NAMESPACE},
                       {"width", dWidth},
                       {"height", dHeight},
                       {"viewBox", "0 0 " + QdXmlNumber(dWidth) + " " + QdXmlNumber(dHeight)},
                       {"font-family", "sans-serif"},
                       {"font-size", FONT_SIZE},
                       {"fill", QdRollColours::TEXT.Hex()},
                       {"data-time-signature", TimeSigText(rkoGrid.m_oTimeSig)},
                       {"data-ticks-per-quarter", rkoGrid.m_tTicksPerQuarter},
                       {"data-measures", rkoGrid.m_dwMeasures},
                       {"data-length", rkoGrid.m_tLength},
                       {"data-notes", rkoRoll.m_aoNotes.size()}});
    oXml.Text("title", {}, rkstrTitle);
    oXml.Empty("path", {{"class", "background"}, {"fill", QdRollColours::BACKGROUND.Hex()},
                        {"d", Box(0, 0, dWidth, dHeight)}});
    if (rkoOptions.m_iTitleHeight > 0)
        oXml.Text("text",
                  {{"class", "title"}, {"x", rkoOptions.m_iMargin}, {"y", rkoLayout.GetTitleTop() + TEXT_BASELINE + 2},
                   {"font-size", TITLE_FONT_SIZE}, {"font-weight", "bold"}},
                  rkstrTitle);
    WriteBackdrop(oXml, rkoLayout);
    WriteGrid(oXml, rkoLayout);
    for (const CQdRollBand& rkoBand : rkoLayout.GetBands())
        WriteBand(oXml, rkoLayout, rkoBand);
    WriteNotes(oXml, rkoLayout);
    WriteLegend(oXml, rkoLayout);
    return oXml.Finish();
}
