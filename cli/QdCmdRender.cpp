// QdCmdRender.cpp -- render: a chord variation, or one of its tracks, played
// through the General MIDI soundfont into a WAV file.
#include "QdCliCommands.h"
#include "QdCliSession.h"
#include "QdCliTempFile.h"

#include "BankDoc/QdDocText.h"
#include "NlzdStyle/NstEditIfc.h"
#include "QdPlayer.h"

#include <algorithm>
#include <cstdio>

// QdCmdRender -- the chord variation is exported as for playback (into a
// temporary MIDI file, with the tempo), then rendered the loops asked for in
// a row; the WAV file is written by FluidSynth's file renderer.
int QdCmdRender(CQdCliConsole& roConsole, const CQdRenderArgs& rkoArgs)
{
    const int iTrack = QdCliTrackNumber(rkoArgs.m_strTrack);
    if (iTrack < 0)
    {
        roConsole.Message("", "'" + rkoArgs.m_strTrack + "' is no track: 0-7, drum, perc, bass, acc1 ... acc5");
        return QD_EXIT_USAGE;
    }
    const std::string strSoundFont =
        rkoArgs.m_strSoundFont.empty() ? CQdPlayer::FindSoundFont() : rkoArgs.m_strSoundFont;
    if (strSoundFont.empty())
    {
        roConsole.Message("", "no General MIDI soundfont found: install timgm6mb-soundfont or give --soundfont");
        return QD_EXIT_REFUSED;
    }

    CQdCliSession oSession(roConsole);
    BYTE bySe = 0;
    BYTE byCv = 0;
    if (!oSession.Open(rkoArgs.m_strBank) || !oSession.SelectStyle(rkoArgs.m_strStyle) ||
        !oSession.FindChordVar(rkoArgs.m_strChordVar, bySe, byCv))
        return QD_EXIT_REFUSED;

    CQdTempFile oMidi("render", ".mid");
    CQdBankDoc& roDoc = oSession.Doc();
    roDoc.GetEditIfc()->SetTempo(std::clamp(rkoArgs.m_iTempo, QD_CLI_MIN_TEMPO, QD_CLI_MAX_TEMPO));
    if (oMidi.Path().empty() || !roDoc.ExportChordVarFile(bySe, byCv, BYTE(iTrack), oMidi.Path()))
    {
        roConsole.Message("", QdDocText::LowerCase(rkoArgs.m_strChordVar) +
                                  ": the chord variation could not be converted for rendering");
        return QD_EXIT_REFUSED;
    }

    CQdRenderOptions oOptions;
    oOptions.m_iLoops = rkoArgs.m_iLoops;
    std::string strText;
    if (CQdPlayer::RenderToWave(oMidi.Path(), rkoArgs.m_strWave, strSoundFont, strText, oOptions) != QDPLAYER_OK)
    {
        roConsole.Message("", rkoArgs.m_strWave + ": " + strText);
        return QD_EXIT_REFUSED;
    }
    roConsole.Output(rkoArgs.m_strWave, false);
    return QD_EXIT_OK;
}
