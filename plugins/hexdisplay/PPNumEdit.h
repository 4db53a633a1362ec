#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>

// One-line edit of one unsigned number in one of five bases, coloured by
// whether the number is in range, reporting Enter, Escape, moves and base
// switches to its owner through EditReport.
class CPPNumEdit : public QLineEdit
{
    Q_OBJECT

public:
    enum EReport { kReportEscape = 1126, kReportEnter = 1127, kReportMove = 1128, kReportBase = 1129 };
    enum EMove {
        kMoveRowStart = 4, kMoveRowEnd, kMovePrevious, kMoveNext, kMoveUp, kMoveDown,
        kMoveNextKind, kMovePreviousKind, kMovePageUp, kMovePageDown
    };
    enum EBaseCode { kBaseHex = 14, kBaseDec, kBaseBin, kBaseOct, kBaseChar };

    explicit CPPNumEdit(QWidget* pParent = nullptr);

    void SetNumber(quint32 uValue, int nBase, int nRangeMode, quint32 uBoundA, quint32 uBoundB);
    quint32 GetNumber();
    bool IsInRange();
    bool IsTextChanged() const { return text() != m_strInitial; }
    int Base() const { return m_nBase; }
    int MaxChars() const { return m_nMaxChars; }
    quint32 Minimum() const { return m_nMin; }
    quint32 Maximum() const { return m_nMax; }
    bool InRangeFlag() const { return m_bInRange; }

    void SetOkTextColor(const QColor& clr);
    void SetOkBackColor(const QColor& clr);
    void SetBadTextColor(const QColor& clr);
    void SetBadBackColor(const QColor& clr);

signals:
    // nCode is one of EReport; nFirst the move, base or Enter/Escape word.
    void EditReport(int nCode, int nFirst, quint32 uValue);

protected:
    bool event(QEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    bool PreTranslateKey(QKeyEvent* pEvent);
    void Report(int nCode, int nFirst);
    void OnTextChanged();
    void ApplyColors();

    QString m_strText;
    QString m_strInitial;
    quint32 m_nValue = 0;
    int m_nBase = 0;
    quint32 m_nMax = 0;
    quint32 m_nMin = 0;
    int m_nMaxChars = 0;
    bool m_bInRange = true;
    QColor m_clrOkBack;
    QColor m_clrOkText;
    QColor m_clrBadText{255, 255, 255};
    QColor m_clrBadBack{255, 0, 0};
};
