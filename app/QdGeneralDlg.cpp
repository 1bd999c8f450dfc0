// QdGeneralDlg.cpp -- the question dialog.
#include "QdGeneralDlg.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPalette>

TQdClickLabel::TQdClickLabel(QWidget* pParent) : QLabel(pParent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
}

void TQdClickLabel::mousePressEvent(QMouseEvent* pEvent)
{
    // Visual feedback: the face colour while pressed.
    QPalette oPalette = palette();
    oPalette.setColor(QPalette::Window, oPalette.color(QPalette::Button));
    setPalette(oPalette);
    pEvent->accept();
}

void TQdClickLabel::mouseReleaseEvent(QMouseEvent* pEvent)
{
    pEvent->accept();
    if (rect().contains(pEvent->position().toPoint()))
        emit clicked();
}

TQdGeneralDlg::TQdGeneralDlg(QWidget* pOwner, const QString& rkstrCaption, const QString& rkstrText,
                             const QString& rkstrYes, const QString& rkstrNo, const QString& rkstrCancel)
    : QDialog(pOwner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setModal(true);
    setFixedSize(289, 145);
    QPalette oPalette = palette();
    oPalette.setColor(QPalette::Window, oPalette.color(QPalette::ToolTipBase));
    setPalette(oPalette);
    setAutoFillBackground(true);

    auto* pPanel = new QFrame(this);
    pPanel->setObjectName("Panel1");
    pPanel->setFrameStyle(QFrame::Box | QFrame::Plain);
    pPanel->setGeometry(0, 0, 289, 145);

    QFont oFont = font();
    oFont.setPixelSize(13);
    QFont oBold = oFont;
    oBold.setBold(true);

    m_pCaptionLabel = new QLabel(rkstrCaption, this);
    m_pCaptionLabel->setObjectName("CaptionLabel");
    m_pCaptionLabel->setGeometry(16, 16, 249, 25);
    m_pCaptionLabel->setAlignment(Qt::AlignCenter);
    m_pCaptionLabel->setWordWrap(true);
    m_pCaptionLabel->setFont(oBold);

    m_pTextLabel = new QLabel(rkstrText, this);
    m_pTextLabel->setObjectName("TextLabel");
    m_pTextLabel->setGeometry(16, 48, 249, 41);
    m_pTextLabel->setAlignment(Qt::AlignCenter);
    m_pTextLabel->setWordWrap(true);
    m_pTextLabel->setFont(oFont);

    m_pButtonYes = MakeButton(rkstrYes, 16, RESULT_YES);
    m_pButtonYes->setObjectName("ButtonYes");
    m_pButtonNo = MakeButton(rkstrNo, 104, RESULT_NO);
    m_pButtonNo->setObjectName("ButtonNo");
    m_pButtonCancel = MakeButton(rkstrCancel, 192, RESULT_CANCEL);
    m_pButtonCancel->setObjectName("ButtonCancel");
}

TQdClickLabel* TQdGeneralDlg::MakeButton(const QString& rkstrText, int iLeft, int iResult)
{
    auto* pButton = new TQdClickLabel(this);
    pButton->setText(rkstrText);
    pButton->setGeometry(iLeft, 104, 73, 19);
    pButton->setVisible(!rkstrText.isEmpty());
    connect(pButton, &TQdClickLabel::clicked, this, [this, iResult] { done(iResult); });
    return pButton;
}

int TQdGeneralDlg::Ask(QWidget* pOwner, const QString& rkstrCaption, const QString& rkstrText,
                       const QString& rkstrYes, const QString& rkstrNo, const QString& rkstrCancel)
{
    TQdGeneralDlg oDlg(pOwner, rkstrCaption, rkstrText, rkstrYes, rkstrNo, rkstrCancel);
    return oDlg.exec();
}
