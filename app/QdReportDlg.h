// QdReportDlg.h -- the report a command leaves behind (what an import did
// file by file, what a rescue got out style by style): a caption, a
// read-only text of one line per item, and for a report that follows every
// command of its kind a "Don't show again" choice.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class TQdReportDlg : public QDialog
{
    Q_OBJECT
public:
    TQdReportDlg(QWidget* pOwner, const QString& rkstrCaption, const QString& rkstrText, bool bOfferDontShow);

    QLabel* CaptionLabel() const { return m_pCaptionLabel; }
    QPlainTextEdit* ReportText() const { return m_pReportText; }
    // The "Don't show again" check box; nullptr when it is not offered.
    QCheckBox* DontShowAgain() const { return m_pDontShowAgain; }
    QPushButton* OkButton() const { return m_pOkButton; }
    // IsDontShowAgainChecked -- the choice was offered and taken.
    bool IsDontShowAgainChecked() const;

private:
    QLabel* m_pCaptionLabel = nullptr;
    QPlainTextEdit* m_pReportText = nullptr;
    QCheckBox* m_pDontShowAgain = nullptr;
    QPushButton* m_pOkButton = nullptr;
};
