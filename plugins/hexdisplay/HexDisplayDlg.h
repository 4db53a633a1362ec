#pragma once

#include <QDialog>
#include <QString>

#include <memory>

struct PlugInInput;
class CPPDumpCtrl;
class QCoreApplication;
namespace Ui {
class CHexDisplayDlg;
}

// The hex display plug-in's window: the last answer in a dump control, and
// "Save As..." with or without the block header. It owns the one copy of the
// answer; the dump control shows that copy in place.
class CHexDisplayDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kDumpStyle = 0x7D2323;

    explicit CHexDisplayDlg(QWidget* pParent = nullptr);
    ~CHexDisplayDlg() override;

    void LoadInput(const PlugInInput& input);
    void LoadAnswer(const char* pBytes, qint32 nLength);

    enum ESaveResult { kSaved = 1, kNotCreated = 0, kWriteFailed = -1 };
    // Writes the bytes "Save As..." writes; on kWriteFailed pstrError says why.
    ESaveResult SaveToFile(const QString& strPath, QString* pstrError = nullptr) const;

    // Installs the Chinese catalogue into the application once; the console
    // and every plug-in each bring their own.
    static bool InstallTranslator(QCoreApplication& app);
    static bool IsChineseLocale();

    CPPDumpCtrl* DumpCtrl() const { return m_pDumpCtrl; }
    const char* Answer() const { return m_pAnswer.get(); }
    quint32 AnswerLength() const { return m_nAnswerLength; }
    quint32 AnswerCapacity() const { return m_nAnswerCapacity; }

    int m_bIgnoreHeader = 1;

public slots:
    void OnSaveAs();
    void OnIgnoreHeader();

protected:
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    QRect MapDialogRect(int nX, int nY, int nCx, int nCy) const;
    void PlaceControls();

    std::unique_ptr<Ui::CHexDisplayDlg> m_pUi;
    CPPDumpCtrl* m_pDumpCtrl = nullptr;
    std::unique_ptr<char[]> m_pAnswer;
    quint32 m_nAnswerCapacity = 0;
    quint32 m_nAnswerLength = 0;
};
