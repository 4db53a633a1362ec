#include "HistoryCombo.h"

#include "HistoryArchive.h"

#include <QLineEdit>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

CHistoryCombo::CHistoryCombo(QWidget* pParent)
    : QComboBox(pParent)
{
    setEditable(true);
    // The list order is the history; nothing may be added, sorted or
    // completed behind PushEntry's back.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setDuplicatesEnabled(true);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    setMaxVisibleItems(20);
}

void CHistoryCombo::SetHistoryLimit(int nLimit)
{
    m_nHistoryLimit = std::max(1, nLimit);
}

int CHistoryCombo::FindExactNoCase(const QString& strText, int nStart) const
{
    const int nCount = count();
    for (int k = 0; k < nCount; ++k) {
        const int n = (nStart + k) % nCount;
        if (itemText(n).compare(strText, Qt::CaseInsensitive) == 0)
            return n;
    }
    return -1;
}

int CHistoryCombo::PushEntry(const QString& strText)
{
    int nBegin = 0;
    int nEnd = strText.size();
    while (nBegin < nEnd && strText.at(nBegin) == QLatin1Char(' '))
        ++nBegin;
    while (nEnd > nBegin && strText.at(nEnd - 1) == QLatin1Char(' '))
        --nEnd;
    const QString strEntry = strText.mid(nBegin, nEnd - nBegin);

    insertItem(0, strEntry);
    const int nIndex = 0;

    if (count() > 1) {
        const int nFound = FindExactNoCase(strEntry, 1);
        if (nFound > 0)
            removeItem(nFound);
    }
    // One block removal: a list imported or loaded far past the limit would
    // otherwise be cut one row (and one model shift) at a time.
    if (count() > m_nHistoryLimit)
        model()->removeRows(m_nHistoryLimit, count() - m_nHistoryLimit, rootModelIndex());

    setCurrentIndex(nIndex);
    return nIndex;
}

void CHistoryCombo::CommitEditText()
{
    const QString strText = currentText();
    if (!strText.isEmpty())
        PushEntry(strText);
}

void CHistoryCombo::EmptyHistory()
{
    clear();
    setEditText(QString());
}

void CHistoryCombo::ImportLines(const QString& strText)
{
    if (strText.isEmpty())
        return;
    static const QRegularExpression kLineBreaks(QStringLiteral("[\\r\\n]+"));
    const QStringList lstLines = strText.split(kLineBreaks, Qt::SkipEmptyParts);
    clear();
    addItems(lstLines);
}

QString CHistoryCombo::ExportLines(QString& strHistory)
{
    const QString strEdit = currentText();
    CommitEditText();
    strHistory = Entries().join(QStringLiteral("\r\n"));
    return strEdit;
}

bool CHistoryCombo::ArchiveHistory(CHistoryArchive& archive)
{
    if (archive.IsStoring()) {
        CommitEditText();
        // The count field is 16 bits wide; a longer list (possible only
        // through ImportLines) is stored up to what the field can describe.
        const int nCount = std::min<int>(count(), std::numeric_limits<quint16>::max());
        if (!archive.WriteCount(quint16(nCount)))
            return false;
        for (int n = 0; n < nCount; ++n) {
            if (!archive.WriteString(itemText(n)))
                return false;
        }
        return archive.WriteString(currentText());
    }

    clear();
    quint16 uCount = 0;
    if (!archive.ReadCount(uCount))
        return false;
    for (int n = 0; n < uCount; ++n) {
        QString strEntry;
        if (!archive.ReadString(strEntry))
            return false;
        addItem(strEntry);
    }
    QString strCurrent;
    if (!archive.ReadString(strCurrent))
        return false;
    const int nFound = FindExactNoCase(strCurrent, 0);
    if (nFound >= 0) {
        setCurrentIndex(nFound);
    } else {
        setCurrentIndex(-1);
        setEditText(strCurrent);
    }
    return true;
}

int CHistoryCombo::FindPrefix(const QString& strPrefix) const
{
    for (int n = 0; n < count(); ++n) {
        if (itemText(n).startsWith(strPrefix, Qt::CaseInsensitive))
            return n;
    }
    return -1;
}

void CHistoryCombo::SelectPrefixOrSetText(const QString& strText)
{
    const int nFound = FindPrefix(strText);
    if (nFound >= 0) {
        setCurrentIndex(nFound);
    } else {
        setCurrentIndex(-1);
        setEditText(strText);
    }
}

QStringList CHistoryCombo::Entries() const
{
    QStringList lstEntries;
    lstEntries.reserve(count());
    for (int n = 0; n < count(); ++n)
        lstEntries << itemText(n);
    return lstEntries;
}
