// QdChannelMapDlg.h -- the choice of a track for the MIDI channels of a file
// to import whose notes lie (partly) outside the tracks' channels 9-16: one
// box per channel with notes, "keep as is" or one of the eight tracks.
#pragma once

#include "BankDoc/QdImportOptions.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;

class TQdChannelMapDlg : public QDialog
{
    Q_OBJECT
public:
    TQdChannelMapDlg(QWidget* pOwner, const CQdChannelQuestion& rkoQuestion);

    QLabel* TextLabel() const { return m_pTextLabel; }
    // TrackBox -- the box of a channel (0-based); nullptr for a channel
    // without notes. Its items: "keep as is", then the tracks in the
    // element tree's order (item data: CQdTrackMap::KEEP or the track).
    QComboBox* TrackBox(int iChannel) const;
    // Map -- what the boxes say.
    CQdTrackMap Map() const;

    static constexpr const char* KEEP_TEXT = "keep as is";

private:
    QLabel* m_pTextLabel = nullptr;
    std::array<QComboBox*, CQdTrackMap::CHANNELS> m_apBoxes{};
};
