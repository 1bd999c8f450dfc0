// QdTrackParamsDlg.h -- the Track Parameters dialog: the voice of each track
// of one style element (program, bank select MSB and LSB, expression).
//
// The dialog edits plain values; the window hands them to the document
// (CQdBankDoc::SetTrackParams), which changes the style. A track is chosen
// in a box; the program comes from the 128 General MIDI names, which a
// search line narrows.
#pragma once

#include "NlzdStyle/NlzdStyle.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;

class TQdTrackParamsDlg : public QDialog
{
    Q_OBJECT
public:
    // rkaoParams: the element's parameters per track; byTrack: the track shown first.
    TQdTrackParamsDlg(QWidget* pOwner, const QString& rkstrElement,
                      const std::array<CNstTrackParam, NST_NR_TRK>& rkaoParams, BYTE byTrack);

    // The values as edited, per track.
    const std::array<CNstTrackParam, NST_NR_TRK>& Params() const { return m_aoParams; }

    QComboBox* TrackBox() const { return m_pTrackBox; }
    QLineEdit* ProgramFilter() const { return m_pFilter; }
    QListWidget* ProgramList() const { return m_pProgramList; }
    QSpinBox* BankMsb() const { return m_pBankMsb; }
    QSpinBox* BankLsb() const { return m_pBankLsb; }
    QSpinBox* Expression() const { return m_pExpression; }

private:
    void ShowTrack(int iTrack);
    void FilterPrograms(const QString& rkstrText);
    void ProgramChosen();
    void ValuesEdited();

    std::array<CNstTrackParam, NST_NR_TRK> m_aoParams;
    int m_iTrack = 0;
    bool m_bShowing = false;
    QComboBox* m_pTrackBox = nullptr;
    QLabel* m_pVoiceLabel = nullptr;
    QLineEdit* m_pFilter = nullptr;
    QListWidget* m_pProgramList = nullptr;
    QSpinBox* m_pBankMsb = nullptr;
    QSpinBox* m_pBankLsb = nullptr;
    QSpinBox* m_pExpression = nullptr;
};
