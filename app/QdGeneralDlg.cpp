// QdGeneralDlg.cpp -- the question dialog.
#include "QdGeneralDlg.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPalette>

#include <algorithm>

namespace
{
constexpr int WIDTH = 289;
constexpr int HEIGHT = 145;
constexpr int TEXT_WIDTH = 249;
constexpr int TEXT_HEIGHT = 41;
constexpr int BUTTON_TOP = 104;
constexpr int BUTTON_WIDTH = 73;

// Breakable -- a message about a file has its path on a second line; a path
// is one long word, which a label would cut off at its right edge. A zero
// width space after each '/' lets it wrap there.
QString Breakable(QString str)
{
    return str.replace('/', QStringLiteral("/\u200B"));
}
} // namespace

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
    QPalette oPalette = palette();
    oPalette.setColor(QPalette::Window, oPalette.color(QPalette::ToolTipBase));
    setPalette(oPalette);
    setAutoFillBackground(true);

    auto* pPanel = new QFrame(this);
    pPanel->setObjectName("Panel1");
    pPanel->setFrameStyle(QFrame::Box | QFrame::Plain);

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

    m_pTextLabel = new QLabel(rkstrText.contains('/') ? Breakable(rkstrText) : rkstrText, this);
    m_pTextLabel->setObjectName("TextLabel");
    m_pTextLabel->setAlignment(Qt::AlignCenter);
    m_pTextLabel->setWordWrap(true);
    m_pTextLabel->setFont(oFont);
    // The classic messages fit the classic size; a longer text (a file's
    // path and cause on a second line, a question after them) makes the
    // dialog taller by what it needs, so that nothing of it is cut off.
    const int iGrowth = std::max(0, m_pTextLabel->heightForWidth(TEXT_WIDTH) - TEXT_HEIGHT);
    m_pTextLabel->setGeometry(16, 48, TEXT_WIDTH, TEXT_HEIGHT + iGrowth);
    setFixedSize(WIDTH, HEIGHT + iGrowth);
    pPanel->setGeometry(0, 0, WIDTH, HEIGHT + iGrowth);

    m_pButtonYes = MakeButton(rkstrYes, 16, BUTTON_TOP + iGrowth, RESULT_YES);
    m_pButtonYes->setObjectName("ButtonYes");
    m_pButtonNo = MakeButton(rkstrNo, 104, BUTTON_TOP + iGrowth, RESULT_NO);
    m_pButtonNo->setObjectName("ButtonNo");
    m_pButtonCancel = MakeButton(rkstrCancel, 192, BUTTON_TOP + iGrowth, RESULT_CANCEL);
    m_pButtonCancel->setObjectName("ButtonCancel");
}

// TQdGeneralDlg::MakeButton -- the classic width; a longer text (an offer
// such as "Rescue styles...", asked with the middle position empty) widens
// its button to the right.
TQdClickLabel* TQdGeneralDlg::MakeButton(const QString& rkstrText, int iLeft, int iTop, int iResult)
{
    auto* pButton = new TQdClickLabel(this);
    pButton->setText(rkstrText);
    const int iWidth = std::max(BUTTON_WIDTH, pButton->fontMetrics().horizontalAdvance(rkstrText) + 12);
    pButton->setGeometry(iLeft, iTop, iWidth, 19);
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
