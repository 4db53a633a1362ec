#pragma once

#include <QComboBox>

class CHistoryArchive;

// An editable combo box whose list is a history: most recent entry first, no
// two entries equal regardless of letter case, at most m_nHistoryLimit entries.
class CHistoryCombo : public QComboBox
{
    Q_OBJECT

public:
    explicit CHistoryCombo(QWidget* pParent = nullptr);

    int PushEntry(const QString& strText);
    void CommitEditText();
    void EmptyHistory();
    void ImportLines(const QString& strText);
    QString ExportLines(QString& strHistory);
    bool ArchiveHistory(CHistoryArchive& archive);

    // Lowest index whose entry begins with strPrefix, letter case ignored;
    // -1 when none does.
    int FindPrefix(const QString& strPrefix) const;
    // Selects the first entry that begins with strText, or shows strText as
    // it is when none does.
    void SelectPrefixOrSetText(const QString& strText);

    QStringList Entries() const;
    int GetHistoryLimit() const { return m_nHistoryLimit; }
    void SetHistoryLimit(int nLimit);

private:
    int FindExactNoCase(const QString& strText, int nStart) const;

    int m_nHistoryLimit = 100;
};
