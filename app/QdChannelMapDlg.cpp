// QdChannelMapDlg.cpp -- the channel map dialog.
#include "QdChannelMapDlg.h"

#include "BankDoc/QdBankDoc.h"
#include "NlzdStyle/NstEditIfc.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace
{
// TrackOfChannel -- the track whose channel it is; -1 for channels 1-8.
int TrackOfChannel(int iChannel)
{
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        if (NST_TRACK_CHANNELS[byTrack] == iChannel)
            return byTrack;
    return -1;
}
} // namespace

// TQdChannelMapDlg::TQdChannelMapDlg -- the channels outside the tracks'
// first, then those that are a track's own (named after it, so that moving
// one is a choice made knowingly). Every box starts at "keep as is": the
// file as it is, unless the user chooses otherwise; OK with a channel
// outside the tracks' kept is the user's word to leave its notes out.
TQdChannelMapDlg::TQdChannelMapDlg(QWidget* pOwner, const CQdChannelQuestion& rkoQuestion) : QDialog(pOwner)
{
    setWindowTitle("MIDI Channels");
    setModal(true);
    QFont oFont = font();
    oFont.setPixelSize(12);
    QFont oBold = oFont;
    oBold.setPixelSize(13);
    oBold.setBold(true);

    auto* pCaption = new QLabel("Channels without a Track", this);
    pCaption->setObjectName("CaptionLabel");
    pCaption->setFont(oBold);
    const QString strFile = QFileInfo(QString::fromStdString(rkoQuestion.m_strPath)).fileName();
    m_pTextLabel = new QLabel(QString("'%1' has notes on %2, which no track takes. Choose a track for a channel, "
                                      "or keep it as it is (its notes are then left out); the tracks take channels "
                                      "9-16. Cancel imports nothing.")
                                  .arg(strFile, QString::fromStdString(QdChannelsText(rkoQuestion.m_wOutside))),
                              this);
    m_pTextLabel->setObjectName("TextLabel");
    m_pTextLabel->setFont(oFont);
    m_pTextLabel->setWordWrap(true);

    auto* pForm = new QFormLayout;
    const WORD wWithNotes = WORD(rkoQuestion.m_wOutside | rkoQuestion.m_wInside);
    for (int iChannel = 0; iChannel < CQdTrackMap::CHANNELS; ++iChannel)
    {
        if (!(wWithNotes & (1u << iChannel)))
            continue;
        auto* pBox = new QComboBox(this);
        pBox->setObjectName(QString("TrackBox%1").arg(iChannel + 1));
        pBox->setFont(oFont);
        pBox->addItem(KEEP_TEXT, int(CQdTrackMap::KEEP));
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            pBox->addItem(CQdBankDoc::TrackName(byTrack), int(byTrack));
        m_apBoxes[std::size_t(iChannel)] = pBox;
        const int iOwn = TrackOfChannel(iChannel);
        QString strLabel = QString("Channel %1").arg(iChannel + 1);
        if (iOwn >= 0)
            strLabel += QString(" (%1)").arg(CQdBankDoc::TrackName(BYTE(iOwn)));
        auto* pLabel = new QLabel(strLabel, this);
        pLabel->setFont(oFont);
        pForm->addRow(pLabel, pBox);
    }

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pCaption);
    pLayout->addWidget(m_pTextLabel);
    pLayout->addLayout(pForm);
    pLayout->addWidget(pButtons);
    setFixedWidth(320);
}

QComboBox* TQdChannelMapDlg::TrackBox(int iChannel) const
{
    return iChannel >= 0 && iChannel < CQdTrackMap::CHANNELS ? m_apBoxes[std::size_t(iChannel)] : nullptr;
}

CQdTrackMap TQdChannelMapDlg::Map() const
{
    CQdTrackMap oMap;
    for (std::size_t u = 0; u < m_apBoxes.size(); ++u)
        if (m_apBoxes[u])
            oMap.m_abyTrack[u] = BYTE(m_apBoxes[u]->currentData().toInt());
    return oMap;
}
