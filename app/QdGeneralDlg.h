// QdGeneralDlg.h -- the program's own modal question dialog: a bold caption,
// a text and up to three clickable texts in the Yes, No and Cancel positions.
// It has the classic size unless its text needs more height.
#pragma once

#include <QDialog>
#include <QLabel>

class QMouseEvent;

// A static text with a border that reacts to clicks.
class TQdClickLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TQdClickLabel(QWidget* pParent = nullptr);
signals:
    void clicked();
protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
};

class TQdGeneralDlg : public QDialog
{
    Q_OBJECT
public:
    TQdGeneralDlg(QWidget* pOwner, const QString& rkstrCaption, const QString& rkstrText, const QString& rkstrYes,
                  const QString& rkstrNo, const QString& rkstrCancel);

    // Ask -- creates the dialog, shows it modally and returns 6 (Yes),
    // 7 (No) or 2 (Cancel) by the position pressed.
    static int Ask(QWidget* pOwner, const QString& rkstrCaption, const QString& rkstrText, const QString& rkstrYes,
                   const QString& rkstrNo, const QString& rkstrCancel);

    QLabel* CaptionLabel() const { return m_pCaptionLabel; }
    QLabel* TextLabel() const { return m_pTextLabel; }
    TQdClickLabel* ButtonYes() const { return m_pButtonYes; }
    TQdClickLabel* ButtonNo() const { return m_pButtonNo; }
    TQdClickLabel* ButtonCancel() const { return m_pButtonCancel; }

    static constexpr int RESULT_YES = 6;
    static constexpr int RESULT_NO = 7;
    static constexpr int RESULT_CANCEL = 2;

private:
    TQdClickLabel* MakeButton(const QString& rkstrText, int iLeft, int iTop, int iResult);

    QLabel* m_pCaptionLabel = nullptr;
    QLabel* m_pTextLabel = nullptr;
    TQdClickLabel* m_pButtonYes = nullptr;
    TQdClickLabel* m_pButtonNo = nullptr;
    TQdClickLabel* m_pButtonCancel = nullptr;
};
