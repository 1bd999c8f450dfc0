// QdReportDlg.cpp -- the report dialog.
#include "QdReportDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

// TQdReportDlg::TQdReportDlg -- the caption in bold as the question dialog
// has it, the text below it. A report line names a file and what became of
// it, and is often longer than the dialog is wide: lines wrap, and the
// dialog can be made larger.
TQdReportDlg::TQdReportDlg(QWidget* pOwner, const QString& rkstrCaption, const QString& rkstrText,
                           bool bOfferDontShow)
    : QDialog(pOwner)
{
    setWindowTitle(rkstrCaption);
    setModal(true);
    resize(440, 260);

    QFont oFont = font();
    oFont.setPixelSize(12);
    QFont oBold = oFont;
    oBold.setPixelSize(13);
    oBold.setBold(true);

    m_pCaptionLabel = new QLabel(rkstrCaption, this);
    m_pCaptionLabel->setObjectName("CaptionLabel");
    m_pCaptionLabel->setFont(oBold);

    m_pReportText = new QPlainTextEdit(rkstrText, this);
    m_pReportText->setObjectName("ReportText");
    m_pReportText->setReadOnly(true);
    m_pReportText->setFont(oFont);
    m_pReportText->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    m_pOkButton = new QPushButton("OK", this);
    m_pOkButton->setObjectName("OkButton");
    m_pOkButton->setDefault(true);
    connect(m_pOkButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* pButtons = new QHBoxLayout;
    if (bOfferDontShow)
    {
        m_pDontShowAgain = new QCheckBox("Don't show again", this);
        m_pDontShowAgain->setObjectName("DontShowAgain");
        m_pDontShowAgain->setFont(oFont);
        pButtons->addWidget(m_pDontShowAgain);
    }
    pButtons->addStretch();
    pButtons->addWidget(m_pOkButton);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pCaptionLabel);
    pLayout->addWidget(m_pReportText, 1);
    pLayout->addLayout(pButtons);
    m_pOkButton->setFocus();
}

bool TQdReportDlg::IsDontShowAgainChecked() const
{
    return m_pDontShowAgain && m_pDontShowAgain->isChecked();
}
