#include "FindInstrumentsDlg.h"

#include "InstrumentFinder.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kIdentifyTimeOutMs = 2000;
constexpr int kColName = 0;
constexpr int kColKind = 1;
constexpr int kColIdentity = 2;

} // namespace

CFindInstrumentsDlg::CFindInstrumentsDlg(QWidget* pParent)
    : QDialog(pParent)
{
    setWindowTitle(tr("Find Instruments"));
    auto* pLayout = new QVBoxLayout(this);

    auto* pRow = new QHBoxLayout;
    auto* pLabel = new QLabel(tr("Expression:"), this);
    m_pEditExpression = new QLineEdit(QStringLiteral("?*"), this);
    pLabel->setBuddy(m_pEditExpression);
    m_pBtnSearch = new QPushButton(tr("Search"), this);
    m_pBtnStop = new QPushButton(tr("Stop"), this);
    m_pBtnIdentity = new QPushButton(tr("Query *IDN?"), this);
    pRow->addWidget(pLabel);
    pRow->addWidget(m_pEditExpression, 1);
    pRow->addWidget(m_pBtnSearch);
    pRow->addWidget(m_pBtnStop);
    pRow->addWidget(m_pBtnIdentity);
    pLayout->addLayout(pRow);

    m_pList = new QTreeWidget(this);
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setHeaderLabels({tr("Resource"), tr("Kind"), tr("Identity (*IDN?)")});
    m_pList->header()->setSectionResizeMode(kColName, QHeaderView::ResizeToContents);
    m_pList->header()->setSectionResizeMode(kColKind, QHeaderView::ResizeToContents);
    m_pList->setMinimumSize(640, 200);
    pLayout->addWidget(m_pList, 1);

    auto* pStatusRow = new QHBoxLayout;
    m_pBusy = new QProgressBar(this);
    m_pBusy->setRange(0, 0); // no end is known: a busy indicator
    m_pBusy->setMaximumWidth(120);
    m_pBusy->setTextVisible(false);
    m_pStatus = new QLabel(this);
    pStatusRow->addWidget(m_pBusy);
    pStatusRow->addWidget(m_pStatus, 1);
    pLayout->addLayout(pStatusRow);

    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pButtons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    m_pButtons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    pLayout->addWidget(m_pButtons);

    connect(m_pBtnSearch, &QPushButton::clicked, this, &CFindInstrumentsDlg::OnSearch);
    connect(m_pEditExpression, &QLineEdit::returnPressed, this, &CFindInstrumentsDlg::OnSearch);
    connect(m_pBtnStop, &QPushButton::clicked, this, &CFindInstrumentsDlg::OnStop);
    connect(m_pBtnIdentity, &QPushButton::clicked, this, &CFindInstrumentsDlg::OnQueryIdentity);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CFindInstrumentsDlg::UpdateButtons);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* pItem) {
        if (pItem) {
            m_pList->setCurrentItem(pItem);
            accept();
        }
    });
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_pBtnSearch->setDefault(false);
    m_pBtnSearch->setAutoDefault(false);
    UpdateButtons();
}

CFindInstrumentsDlg::~CFindInstrumentsDlg()
{
    // Every step of the worker is bounded by a time-out, so this wait is too.
    m_bStop = true;
    if (m_pThread) {
        m_pThread->wait();
        delete m_pThread;
    }
}

QString CFindInstrumentsDlg::Run(QWidget* pParent)
{
    CFindInstrumentsDlg dlg(pParent);
    QMetaObject::invokeMethod(&dlg, &CFindInstrumentsDlg::OnSearch, Qt::QueuedConnection);
    return dlg.exec() == QDialog::Accepted ? dlg.SelectedName() : QString();
}

QString CFindInstrumentsDlg::MenuText()
{
    return tr("Find Instruments...");
}

QString CFindInstrumentsDlg::SelectedName() const
{
    const QTreeWidgetItem* pItem = m_pList->currentItem();
    return pItem && pItem->isSelected() ? pItem->text(kColName) : QString();
}

void CFindInstrumentsDlg::StartWorker(std::function<void()> fnWork)
{
    m_bStop = false;
    m_pThread = QThread::create(std::move(fnWork));
    connect(m_pThread, &QThread::finished, this, &CFindInstrumentsDlg::OnWorkerFinished);
    m_pThread->start();
    UpdateButtons();
}

void CFindInstrumentsDlg::OnWorkerFinished()
{
    if (m_pThread) {
        m_pThread->deleteLater();
        m_pThread = nullptr;
    }
    if (m_bStop)
        m_pStatus->setText(tr("Stopped."));
    UpdateButtons();
}

void CFindInstrumentsDlg::OnSearch()
{
    if (m_pThread)
        return;
    m_pList->clear();
    m_pStatus->setText(tr("Searching..."));
    const QString strExpression = m_pEditExpression->text().trimmed();
    StartWorker([this, strExpression]() {
        QStringList lstNames;
        int nStatus = 0;
        const int nResult = static_cast<int>(CInstrumentFinder::Find(strExpression, lstNames, nStatus));
        QMetaObject::invokeMethod(
            this, [this, nResult, nStatus, lstNames]() { OnSearchDone(nResult, nStatus, lstNames); },
            Qt::QueuedConnection);
    });
}

void CFindInstrumentsDlg::OnSearchDone(int nResult, int nStatus, const QStringList& lstNames)
{
    if (m_bStop)
        return;
    switch (static_cast<CInstrumentFinder::EResult>(nResult)) {
    case CInstrumentFinder::EResult::Found:
        m_pStatus->setText(tr("Resources found: %1").arg(lstNames.size()));
        break;
    case CInstrumentFinder::EResult::NoneFound:
        m_pStatus->setText(tr("No resource found."));
        break;
    case CInstrumentFinder::EResult::BadExpression:
        m_pStatus->setText(tr("Invalid search expression."));
        break;
    case CInstrumentFinder::EResult::Failed:
        m_pStatus->setText(tr("Search failed (status 0x%1).").arg(static_cast<quint32>(nStatus), 8, 16, QLatin1Char('0')));
        break;
    }
    m_strFound = m_pStatus->text();
    for (const QString& strName : lstNames) {
        auto* pItem = new QTreeWidgetItem(m_pList);
        pItem->setText(kColName, strName);
        pItem->setText(kColKind, KindText(strName));
    }
    if (m_pList->topLevelItemCount() > 0)
        m_pList->setCurrentItem(m_pList->topLevelItem(0));
}

void CFindInstrumentsDlg::OnQueryIdentity()
{
    if (m_pThread)
        return;
    QStringList lstNames;
    QList<QTreeWidgetItem*> lstItems = m_pList->selectedItems();
    if (lstItems.isEmpty()) {
        for (int n = 0; n < m_pList->topLevelItemCount(); ++n)
            lstItems << m_pList->topLevelItem(n);
    }
    for (const QTreeWidgetItem* pItem : lstItems)
        lstNames << pItem->text(kColName);
    if (lstNames.isEmpty())
        return;
    StartWorker([this, lstNames]() {
        for (const QString& strName : lstNames) {
            if (m_bStop)
                break;
            QMetaObject::invokeMethod(
                this, [this, strName]() { m_pStatus->setText(tr("Querying %1...").arg(strName)); }, Qt::QueuedConnection);
            const QString strIdentity = CInstrumentFinder::Identify(strName, kIdentifyTimeOutMs);
            QMetaObject::invokeMethod(
                this, [this, strName, strIdentity]() { OnIdentity(strName, strIdentity); }, Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(
            this, [this]() {
                if (!m_bStop)
                    m_pStatus->setText(m_strFound);
            },
            Qt::QueuedConnection);
    });
}

void CFindInstrumentsDlg::OnIdentity(const QString& strName, const QString& strIdentity)
{
    for (int n = 0; n < m_pList->topLevelItemCount(); ++n) {
        QTreeWidgetItem* pItem = m_pList->topLevelItem(n);
        if (pItem->text(kColName) == strName)
            pItem->setText(kColIdentity, strIdentity.isEmpty() ? tr("(no answer)") : strIdentity);
    }
}

void CFindInstrumentsDlg::OnStop()
{
    if (!m_pThread)
        return;
    m_bStop = true;
    m_pStatus->setText(tr("Stopping..."));
    UpdateButtons();
}

void CFindInstrumentsDlg::UpdateButtons()
{
    const bool bBusy = m_pThread != nullptr;
    m_pBusy->setVisible(bBusy);
    m_pBtnSearch->setEnabled(!bBusy);
    m_pBtnIdentity->setEnabled(!bBusy && m_pList->topLevelItemCount() > 0);
    m_pBtnStop->setEnabled(bBusy && !m_bStop);
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(!SelectedName().isEmpty());
}

QString CFindInstrumentsDlg::KindText(const QString& strName) const
{
    switch (CInstrumentFinder::Kind(strName)) {
    case CInstrumentFinder::EKind::Vxi11: return tr("VXI-11");
    case CInstrumentFinder::EKind::HiSlip: return tr("HiSLIP");
    case CInstrumentFinder::EKind::Socket: return tr("Socket");
    case CInstrumentFinder::EKind::Serial: return tr("Serial");
    case CInstrumentFinder::EKind::Usb: return tr("USB");
    case CInstrumentFinder::EKind::Gpib: return tr("GPIB");
    case CInstrumentFinder::EKind::Other: break;
    }
    return tr("Other");
}
