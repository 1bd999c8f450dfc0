// QdGeneralDlg.cpp -- the question dialog.
#include "QdGeneralDlg.h"

#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QStyle>

#include <algorithm>
#include <utility>

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
    // No focus policy: a label that takes focus is drawn by a text control,
    // a pixel off its classic place. The dialog moves the focus itself
    // (TQdGeneralDlg::focusNextPrevChild); a click takes none.
}

QChar TQdClickLabel::AccessLetter() const
{
    return m_iAccessIndex >= 0 && m_iAccessIndex < text().size() ? text()[m_iAccessIndex].toLower() : QChar();
}

void TQdClickLabel::ShowKeyboardCues()
{
    m_bKeyboardCues = true;
    update();
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

void TQdClickLabel::keyPressEvent(QKeyEvent* pEvent)
{
    const int iKey = pEvent->key();
    if ((iKey == Qt::Key_Return || iKey == Qt::Key_Enter || iKey == Qt::Key_Space) && !pEvent->isAutoRepeat())
    {
        pEvent->accept();
        emit clicked();
        return;
    }
    QFrame::keyPressEvent(pEvent);
}

// The focus events and keys skip QLabel's handlers, which would make the
// label a text control (drawn a pixel off) to select its text.
void TQdClickLabel::focusInEvent(QFocusEvent* pEvent)
{
    QFrame::focusInEvent(pEvent);
    update();
}

void TQdClickLabel::focusOutEvent(QFocusEvent* pEvent)
{
    QFrame::focusOutEvent(pEvent);
    update();
}

// TQdClickLabel::paintEvent -- as a label paints it until the keyboard is
// used; then the access letter underlined and, on the focused button, a
// dotted frame inside the border.
void TQdClickLabel::paintEvent(QPaintEvent* pEvent)
{
    if (!m_bKeyboardCues)
    {
        QLabel::paintEvent(pEvent);
        return;
    }
    QFrame::paintEvent(pEvent);
    QPainter oPainter(this);
    QString strText = text();
    strText.replace('&', QStringLiteral("&&"));
    int iFlags = int(alignment());
    if (m_iAccessIndex >= 0 && m_iAccessIndex < text().size())
    {
        // Every '&' before the letter was doubled.
        const int iAmpersands = int(text().left(m_iAccessIndex).count('&'));
        strText.insert(m_iAccessIndex + iAmpersands, '&');
        iFlags |= Qt::TextShowMnemonic;
    }
    style()->drawItemText(&oPainter, contentsRect(), iFlags, palette(), isEnabled(), strText, foregroundRole());
    if (hasFocus())
    {
        oPainter.setPen(QPen(palette().color(foregroundRole()), 1, Qt::DotLine));
        oPainter.drawRect(contentsRect().adjusted(1, 1, -2, -2));
    }
}

TQdGeneralDlg::TQdGeneralDlg(QWidget* pOwner, const QString& rkstrCaption, const QString& rkstrText,
                             const QString& rkstrYes, const QString& rkstrNo, const QString& rkstrCancel,
                             bool bEscapeCancels)
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
    AssignAccessLetters();

    // A message (one button, its result ignored) is acknowledged by Escape
    // and by Return, its button having the focus. A question holds the
    // focus itself: only Tab puts it on a button.
    TQdClickLabel* pOnly = nullptr;
    int iShown = 0;
    for (const auto& [pButton, iResult] : {std::pair{m_pButtonYes, RESULT_YES}, std::pair{m_pButtonNo, RESULT_NO},
                                           std::pair{m_pButtonCancel, RESULT_CANCEL}})
        if (!pButton->isHidden())
        {
            pOnly = pButton;
            m_iEscapeResult = iResult;
            ++iShown;
        }
    if (iShown == 1)
        pOnly->setFocus();
    else
    {
        m_iEscapeResult = bEscapeCancels && !rkstrCancel.isEmpty() ? RESULT_CANCEL : 0;
        setFocus();
    }
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

// TQdGeneralDlg::AssignAccessLetters -- left to right, the first letter of
// each shown button's text that no button before it took ("Yes", "No",
// "Cancel": Y, N, C; "Initialize", "Keep", "Skip CV": I, K, S).
void TQdGeneralDlg::AssignAccessLetters()
{
    QString strTaken;
    for (TQdClickLabel* pButton : {m_pButtonYes, m_pButtonNo, m_pButtonCancel})
    {
        if (pButton->isHidden())
            continue;
        const QString strText = pButton->text();
        for (int i = 0; i < strText.size(); ++i)
        {
            const QChar cLetter = strText[i].toLower();
            if (cLetter >= 'a' && cLetter <= 'z' && !strTaken.contains(cLetter))
            {
                pButton->SetAccessIndex(i);
                strTaken += cLetter;
                break;
            }
        }
    }
}

void TQdGeneralDlg::ShowKeyboardCues()
{
    for (TQdClickLabel* pButton : {m_pButtonYes, m_pButtonNo, m_pButtonCancel})
        pButton->ShowKeyboardCues();
}

// TQdGeneralDlg::focusNextPrevChild -- the shown buttons in a ring, left to
// right; from the dialog itself Tab reaches the first, Shift+Tab the last.
bool TQdGeneralDlg::focusNextPrevChild(bool bNext)
{
    ShowKeyboardCues();
    QList<TQdClickLabel*> apShown;
    for (TQdClickLabel* pButton : {m_pButtonYes, m_pButtonNo, m_pButtonCancel})
        if (!pButton->isHidden())
            apShown << pButton;
    if (apShown.isEmpty())
        return false;
    const qsizetype iAt = apShown.indexOf(qobject_cast<TQdClickLabel*>(focusWidget()));
    const qsizetype iCount = apShown.size();
    const qsizetype iNext = iAt < 0 ? (bNext ? 0 : iCount - 1) : (iAt + (bNext ? 1 : iCount - 1)) % iCount;
    apShown[iNext]->setFocus(bNext ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void TQdGeneralDlg::reject()
{
    if (m_iEscapeResult != 0)
        done(m_iEscapeResult);
}

// TQdGeneralDlg::keyPressEvent -- Alt shows the keyboard cues; a button's
// access letter chooses it, with Alt or without (the dialog has no text to
// type into). Escape goes on to QDialog, which calls reject().
void TQdGeneralDlg::keyPressEvent(QKeyEvent* pEvent)
{
    const int iKey = pEvent->key();
    if (iKey == Qt::Key_Alt)
        ShowKeyboardCues();
    const bool bPlain = (pEvent->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) == 0;
    if (bPlain && iKey >= Qt::Key_A && iKey <= Qt::Key_Z)
    {
        const QChar cLetter('a' + (iKey - Qt::Key_A));
        for (TQdClickLabel* pButton : {m_pButtonYes, m_pButtonNo, m_pButtonCancel})
            if (!pButton->isHidden() && pButton->AccessLetter() == cLetter)
            {
                pEvent->accept();
                emit pButton->clicked();
                return;
            }
    }
    QDialog::keyPressEvent(pEvent);
}

int TQdGeneralDlg::Ask(QWidget* pOwner, const QString& rkstrCaption, const QString& rkstrText,
                       const QString& rkstrYes, const QString& rkstrNo, const QString& rkstrCancel,
                       bool bEscapeCancels)
{
    TQdGeneralDlg oDlg(pOwner, rkstrCaption, rkstrText, rkstrYes, rkstrNo, rkstrCancel, bEscapeCancels);
    return oDlg.exec();
}
