// QdTrackParamsDlg.cpp -- the Track Parameters dialog.
#include "QdTrackParamsDlg.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdGmPrograms.h"
#include "BankDoc/QdTrackParams.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QVBoxLayout>

namespace
{
QSpinBox* MakeValueBox(QWidget* pParent, const char* pszName)
{
    auto* pBox = new QSpinBox(pParent);
    pBox->setObjectName(pszName);
    pBox->setRange(0, QD_TRACK_PARAM_MAX);
    return pBox;
}
} // namespace

TQdTrackParamsDlg::TQdTrackParamsDlg(QWidget* pOwner, const QString& rkstrElement,
                                     const std::array<CNstTrackParam, NST_NR_TRK>& rkaoParams, BYTE byTrack)
    : QDialog(pOwner), m_aoParams(rkaoParams)
{
    setWindowTitle("Track Parameters - " + rkstrElement);
    setModal(true);
    resize(360, 420);

    m_pTrackBox = new QComboBox(this);
    m_pTrackBox->setObjectName("TrackBox");
    for (BYTE by = 0; by < NST_NR_TRK; ++by)
        m_pTrackBox->addItem(QString::fromLatin1(CQdBankDoc::TrackName(by)));
    m_pVoiceLabel = new QLabel(this);
    m_pVoiceLabel->setObjectName("VoiceLabel");
    m_pFilter = new QLineEdit(this);
    m_pFilter->setObjectName("ProgramFilter");
    m_pFilter->setPlaceholderText("Search the General MIDI names");
    m_pFilter->setClearButtonEnabled(true);
    m_pProgramList = new QListWidget(this);
    m_pProgramList->setObjectName("ProgramList");
    for (int i = 0; i < QD_GM_PROGRAMS; ++i)
    {
        auto* pItem = new QListWidgetItem(QString("%1  %2").arg(i, 3).arg(QdGmProgramName(BYTE(i))), m_pProgramList);
        pItem->setData(Qt::UserRole, i);
    }
    m_pBankMsb = MakeValueBox(this, "BankMsb");
    m_pBankLsb = MakeValueBox(this, "BankLsb");
    m_pExpression = MakeValueBox(this, "Expression");

    auto* pForm = new QFormLayout;
    pForm->addRow("&Track:", m_pTrackBox);
    pForm->addRow("", m_pVoiceLabel);
    pForm->addRow("&Program:", m_pFilter);
    pForm->addRow(m_pProgramList);
    pForm->addRow("Bank select &MSB:", m_pBankMsb);
    pForm->addRow("Bank select &LSB:", m_pBankLsb);
    pForm->addRow("&Expression:", m_pExpression);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(pButtons);

    connect(m_pTrackBox, &QComboBox::currentIndexChanged, this, &TQdTrackParamsDlg::ShowTrack);
    connect(m_pFilter, &QLineEdit::textChanged, this, &TQdTrackParamsDlg::FilterPrograms);
    connect(m_pProgramList, &QListWidget::currentItemChanged, this, &TQdTrackParamsDlg::ProgramChosen);
    for (QSpinBox* pBox : {m_pBankMsb, m_pBankLsb, m_pExpression})
        connect(pBox, &QSpinBox::valueChanged, this, &TQdTrackParamsDlg::ValuesEdited);
    m_pTrackBox->setCurrentIndex(byTrack < NST_NR_TRK ? byTrack : 0);
    ShowTrack(m_pTrackBox->currentIndex());
    m_pFilter->setFocus();
}

void TQdTrackParamsDlg::ShowTrack(int iTrack)
{
    if (iTrack < 0 || iTrack >= NST_NR_TRK)
        return;
    m_iTrack = iTrack;
    const CNstTrackParam& rkoParam = m_aoParams[std::size_t(iTrack)];
    m_bShowing = true;
    m_pBankMsb->setValue(rkoParam.m_byBankMsb);
    m_pBankLsb->setValue(rkoParam.m_byBankLsb);
    m_pExpression->setValue(rkoParam.m_byExpression);
    m_pProgramList->setCurrentRow(rkoParam.m_byProgram);
    m_bShowing = false;
    m_pVoiceLabel->setText(QString::fromStdString(QdVoiceName(BYTE(iTrack), rkoParam.m_byProgram)));
}

// TQdTrackParamsDlg::FilterPrograms -- names holding the text, any letter
// case, or the program number; the chosen program stays chosen.
void TQdTrackParamsDlg::FilterPrograms(const QString& rkstrText)
{
    const QString strWanted = rkstrText.trimmed();
    for (int i = 0; i < m_pProgramList->count(); ++i)
    {
        QListWidgetItem* pItem = m_pProgramList->item(i);
        const bool bShown = strWanted.isEmpty() || pItem->text().contains(strWanted, Qt::CaseInsensitive);
        pItem->setHidden(!bShown);
    }
    QListWidgetItem* pCurrent = m_pProgramList->currentItem();
    if (pCurrent && pCurrent->isHidden())
        for (int i = 0; i < m_pProgramList->count(); ++i)
            if (!m_pProgramList->item(i)->isHidden())
            {
                m_pProgramList->setCurrentRow(i);
                break;
            }
}

void TQdTrackParamsDlg::ProgramChosen()
{
    const QListWidgetItem* pkItem = m_pProgramList->currentItem();
    if (m_bShowing || !pkItem)
        return;
    CNstTrackParam& roParam = m_aoParams[std::size_t(m_iTrack)];
    roParam.m_byProgram = BYTE(pkItem->data(Qt::UserRole).toInt());
    m_pVoiceLabel->setText(QString::fromStdString(QdVoiceName(BYTE(m_iTrack), roParam.m_byProgram)));
}

void TQdTrackParamsDlg::ValuesEdited()
{
    if (m_bShowing)
        return;
    CNstTrackParam& roParam = m_aoParams[std::size_t(m_iTrack)];
    roParam.m_byBankMsb = BYTE(m_pBankMsb->value());
    roParam.m_byBankLsb = BYTE(m_pBankLsb->value());
    roParam.m_byExpression = BYTE(m_pExpression->value());
}
