#pragma once

#include <QDialog>
#include <QStringList>

#include <atomic>
#include <functional>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;
class QTreeWidget;
class QTreeWidgetItem;

// Lists the instruments the VISA library finds, with their kind and, on request, their
// "*IDN?" answer; the search and the queries run on a worker thread that Stop abandons.
class CFindInstrumentsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CFindInstrumentsDlg(QWidget* pParent = nullptr);
    ~CFindInstrumentsDlg() override;

    // Shows the dialog; the resource name chosen with OK or a double click, or an empty string.
    static QString Run(QWidget* pParent);
    // The text of the menu entry that opens the dialog.
    static QString MenuText();

    QString SelectedName() const;
    bool IsBusy() const { return m_pThread != nullptr; }

public slots:
    void OnSearch();
    void OnQueryIdentity();
    void OnStop();

private:
    void StartWorker(std::function<void()> fnWork);
    void OnWorkerFinished();
    void OnSearchDone(int nResult, int nStatus, const QStringList& lstNames);
    void OnIdentity(const QString& strName, const QString& strIdentity);
    void UpdateButtons();
    QString KindText(const QString& strName) const;

    QLineEdit* m_pEditExpression = nullptr;
    QPushButton* m_pBtnSearch = nullptr;
    QPushButton* m_pBtnStop = nullptr;
    QPushButton* m_pBtnIdentity = nullptr;
    QTreeWidget* m_pList = nullptr;
    QProgressBar* m_pBusy = nullptr;
    QLabel* m_pStatus = nullptr;
    QDialogButtonBox* m_pButtons = nullptr;
    QString m_strFound; // the search's outcome, shown again once the queries are done
    QThread* m_pThread = nullptr;
    std::atomic<bool> m_bStop{false};
};
