// QdGeneralDlg.h -- the program's own modal question dialog: a bold caption,
// a text and up to three clickable texts in the Yes, No and Cancel positions.
// It has the classic size unless its text needs more height.
//
// The keyboard reaches it as well, and it still looks as it always has:
// Tab and Shift+Tab move among the shown buttons, Return, Enter or Space
// choose the focused one, and each button has an access letter (the first
// letter of its text that no button before it took), chosen with or
// without Alt. A question gives no button the focus at first, so that no
// key answers it without a choice; a message (one button) gives it to its
// button, so that Return acknowledges it. The focus frame (dotted) and the
// underlined access letters show only once the keyboard is used for them
// (Tab, Shift+Tab or Alt), as on the classic desktop: until then the dialog
// is the picture it always was. Escape gives the Cancel position's result
// where that button shows and the caller allows it (bEscapeCancels, see
// CQdQuestion), acknowledges a message, and does nothing otherwise.
#pragma once

#include <QDialog>
#include <QLabel>

class QFocusEvent;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;

// A static text with a border that reacts to clicks and, once focused by
// Tab, to Return, Enter and Space.
class TQdClickLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TQdClickLabel(QWidget* pParent = nullptr);

    // The position in the text of the access letter; -1 for none.
    void SetAccessIndex(int iIndex) { m_iAccessIndex = iIndex; }
    // AccessLetter -- the access letter in lower case; a null QChar for none.
    QChar AccessLetter() const;
    // ShowKeyboardCues -- the focus frame and the underlined access letter
    // from now on.
    void ShowKeyboardCues();
    bool AreKeyboardCuesShown() const { return m_bKeyboardCues; }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    int m_iAccessIndex = -1;
    bool m_bKeyboardCues = false;
};

class TQdGeneralDlg : public QDialog
{
    Q_OBJECT
public:
    TQdGeneralDlg(QWidget* pOwner, const QString& rkstrCaption, const QString& rkstrText, const QString& rkstrYes,
                  const QString& rkstrNo, const QString& rkstrCancel, bool bEscapeCancels = true);

    // Ask -- creates the dialog, shows it modally and returns 6 (Yes),
    // 7 (No) or 2 (Cancel) by the position pressed (or by Escape).
    static int Ask(QWidget* pOwner, const QString& rkstrCaption, const QString& rkstrText, const QString& rkstrYes,
                   const QString& rkstrNo, const QString& rkstrCancel, bool bEscapeCancels = true);

    QLabel* CaptionLabel() const { return m_pCaptionLabel; }
    QLabel* TextLabel() const { return m_pTextLabel; }
    TQdClickLabel* ButtonYes() const { return m_pButtonYes; }
    TQdClickLabel* ButtonNo() const { return m_pButtonNo; }
    TQdClickLabel* ButtonCancel() const { return m_pButtonCancel; }
    // The result Escape gives; 0 when Escape does nothing.
    int EscapeResult() const { return m_iEscapeResult; }

    static constexpr int RESULT_YES = 6;
    static constexpr int RESULT_NO = 7;
    static constexpr int RESULT_CANCEL = 2;

public slots:
    // reject -- Escape (and a close by the window system): the Escape
    // result, or nothing.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    // focusNextPrevChild -- Tab and Shift+Tab, from the dialog or a button:
    // the keyboard cues show from now on.
    bool focusNextPrevChild(bool bNext) override;

private:
    TQdClickLabel* MakeButton(const QString& rkstrText, int iLeft, int iTop, int iResult);
    void AssignAccessLetters();
    void ShowKeyboardCues();

    QLabel* m_pCaptionLabel = nullptr;
    QLabel* m_pTextLabel = nullptr;
    TQdClickLabel* m_pButtonYes = nullptr;
    TQdClickLabel* m_pButtonNo = nullptr;
    TQdClickLabel* m_pButtonCancel = nullptr;
    int m_iEscapeResult = 0;
};
