// QdJsonSmf.cpp -- a MIDI file's listing as JSON.
#include "QdJson.h"

namespace {

QdJson Event(const CSmfListedEvent& rkoEvent, const CSmfBarClock* pkoClock)
{
    QdJson oEvent = QdJson::object();
    oEvent["tick"] = rkoEvent.m_qwTick;
    if (pkoClock)
    {
        const CSmfBarPosition oAt = pkoClock->Locate(rkoEvent.m_qwTick);
        oEvent["bar"] = oAt.m_qwBar;
        oEvent["beat"] = oAt.m_qwBeat;
        oEvent["beat_tick"] = oAt.m_qwTick;
    }
    oEvent["kind"] = rkoEvent.m_pszKind;
    if (rkoEvent.m_byChannel > 0)
        oEvent["channel"] = rkoEvent.m_byChannel;
    if (rkoEvent.m_iKey >= 0)
        oEvent["note"] = SmfNoteName(rkoEvent.m_iKey);
    if (rkoEvent.m_iNumber >= 0)
        oEvent["number"] = rkoEvent.m_iNumber;
    if (rkoEvent.m_bHasValue)
        oEvent["value"] = rkoEvent.m_lValue;
    if (rkoEvent.m_bText)
        oEvent["text"] = QdJsonText(rkoEvent.m_strData);
    else if (!rkoEvent.m_strData.empty())
        oEvent["data"] = rkoEvent.m_strData;
    return oEvent;
}

} // namespace

QdJson QdJsonSmfListing(const std::string& rkstrFile, const CSmfListing& rkoListing, bool bBars)
{
    const CSmfFileInfo& rkoInfo = rkoListing.m_oInfo;
    const CSmfBarClock oClock(rkoListing.m_aoTimeSigs, rkoInfo.m_wDivision);
    QdJson oDocument = QdJson::object();
    oDocument["schema"] = QD_JSON_SCHEMA;
    oDocument["charset"] = QD_JSON_CHARSET;
    oDocument["file"] = rkstrFile;
    oDocument["format"] = rkoInfo.m_wFormat;
    oDocument["division"] = rkoInfo.m_wDivision;
    const std::string strProblem = SmfProblemText(rkoInfo);
    oDocument["damage"] = strProblem.empty() ? QdJson(nullptr) : QdJson(strProblem);
    QdJson& roTracks = oDocument["tracks"] = QdJson::array();
    for (std::size_t i = 0; i < rkoInfo.m_aoTracks.size(); ++i)
        roTracks.push_back(
            {{"track", i + 1}, {"name", QdJsonText(rkoInfo.m_aoTracks[i].m_strName)}, {"events", QdJson::array()}});
    for (const CSmfListedEvent& rkoEvent : rkoListing.m_aoEvents)
        if (rkoEvent.m_wTrack >= 1 && rkoEvent.m_wTrack <= roTracks.size())
            roTracks[rkoEvent.m_wTrack - 1u]["events"].push_back(Event(rkoEvent, bBars ? &oClock : nullptr));
    return oDocument;
}
