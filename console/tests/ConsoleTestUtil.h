#pragma once

#include "InstrumentVISA.h"
#include "VelquistDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QMutex>
#include <QMutexLocker>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTime>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <functional>
#include <vector>

// A session that notes the size of every read it is asked for.
class CRecordingInstrument : public CInstrumentVISA
{
public:
    int ReadCommand(char* pBuffer, std::int32_t nSize, std::uint32_t& uRead) override
    {
        {
            QMutexLocker lock(&m_mtx);
            m_lstReadSizes.push_back(nSize);
        }
        return CInstrumentVISA::ReadCommand(pBuffer, nSize, uRead);
    }
    std::vector<int> ReadSizes() const
    {
        QMutexLocker lock(&m_mtx);
        return m_lstReadSizes;
    }

private:
    mutable QMutex m_mtx;
    std::vector<int> m_lstReadSizes;
};

// A session that needs no instrument: every write succeeds and every read
// answers with the status given, filling nothing.
class CScriptedInstrument : public CInstrumentVISA
{
public:
    explicit CScriptedInstrument(int nReadStatus)
        : m_nReadStatus(nReadStatus)
    {
    }
    int WriteCommand(const char*, std::int32_t, std::uint32_t& uWritten) override
    {
        uWritten = 0;
        return 1;
    }
    int ReadCommand(char*, std::int32_t, std::uint32_t& uRead) override
    {
        uRead = 0;
        ++m_nReads;
        return m_nReads > 1000 ? 0 : m_nReadStatus;
    }
    int SetInstrumentControl(const char*, int) override
    {
        m_bOpen = true;
        return 1;
    }
    int DisconnectInstru() override
    {
        m_bOpen = false;
        return 1;
    }
    int IsInstruConnected() const override { return m_bOpen ? 1 : 0; }
    bool m_bOpen = false;
    int m_nReadStatus;
    std::atomic<int> m_nReads{0};
};

// The main window with a recording session, a settable clock and no
// settings store or history files.
class CTestDlg : public CVelquistDlg
{
public:
    explicit CTestDlg(const QString& strResource = QString())
    {
        m_bUseSettings = 0;
        m_strResource = strResource;
    }
    // When set, sessions come from here instead.
    std::function<CInstrumentVISA*()> m_fnNewInstrument;
    CRecordingInstrument* Recorder() const { return static_cast<CRecordingInstrument*>(GetInstrument()); }
    QTime m_timeFixed;
    int m_nCreated = 0;

    template <typename T>
    T* Child(const char* pszName) const
    {
        T* pChild = findChild<T*>(QLatin1String(pszName));
        if (!pChild)
            qFatal("missing control %s", pszName);
        return pChild;
    }

protected:
    CInstrumentVISA* NewInstrument() override
    {
        ++m_nCreated;
        if (m_fnNewInstrument)
            return m_fnNewInstrument();
        return new CRecordingInstrument;
    }
    QTime CurrentTime() const override { return m_timeFixed.isValid() ? m_timeFixed : CVelquistDlg::CurrentTime(); }
};

// Answers the modal message boxes and file dialogs a test provokes, as a
// person would, and remembers what they said.
class CModalAnswerer : public QObject
{
public:
    explicit CModalAnswerer(QMessageBox::StandardButton eButton = QMessageBox::Ok)
        : m_eButton(eButton)
    {
        connect(&m_tmPoll, &QTimer::timeout, this, &CModalAnswerer::Poll);
        m_tmPoll.start(20);
    }

    QMessageBox::StandardButton m_eButton;
    // Empty: file dialogs are cancelled; else the file a dialog is given.
    QString m_strSaveAs;
    QStringList m_lstTexts;
    QStringList m_lstFileDialogNames;

private:
    void Poll()
    {
        QWidget* pModal = QApplication::activeModalWidget();
        if (auto* pBox = qobject_cast<QMessageBox*>(pModal)) {
            m_lstTexts << pBox->text();
            if (QAbstractButton* pButton = pBox->button(m_eButton))
                pButton->click();
            else
                pBox->reject();
        } else if (auto* pFiles = qobject_cast<QFileDialog*>(pModal)) {
            m_lstFileDialogNames << pFiles->selectedFiles().value(0);
            if (m_strSaveAs.isEmpty()) {
                pFiles->reject();
            } else {
                // Typed into the name field, as a person would.
                if (auto* pName = pFiles->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    pName->setText(m_strSaveAs);
                static_cast<QDialog*>(pFiles)->accept();
            }
        }
    }

    QTimer m_tmPoll;
};

inline QStringList ReadWireLog(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

inline const QString kReadError = QStringLiteral("!!!!! Error: Failed to read data from the instrument !!!!!");

// The history pane's lines without their time prefix ("hh:mm:ss mmm ").
inline QStringList HistoryLines(const CVelquistDlg& dlg)
{
    QStringList lstLines;
    const QStringList lstRaw = dlg.HistoryText().split(QLatin1Char('\n'));
    for (const QString& strLine : lstRaw) {
        if (strLine.size() > 13 && strLine.at(2) == QLatin1Char(':'))
            lstLines << strLine.mid(13);
    }
    return lstLines;
}

// Runs one test class in a fresh, private settings store with English texts.
template <typename TTest>
int RunConsoleTest(int argc, char** argv)
{
    QTemporaryDir configDir;
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    qputenv("LANGUAGE", "en");
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    TTest test;
    return QTest::qExec(&test, argc, argv);
}
