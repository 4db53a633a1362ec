// The smallest complete Velquist plug-in, written from PluginContract.h and
// nothing else of Velquist: it shows how many answer bytes it was given, the
// first of them, and the console's command. Build it as a shared library
// named as its menu entry should read (no "lib" prefix) and put it into the
// "plugins" folder beside the console.
#include "PluginContract.h"

#include <QDialog>
#include <QLabel>
#include <QObject>
#include <QString>
#include <QVBoxLayout>
#include <QWidget>

#include <cstring>

namespace {

// The one window of this library; all zero until the first CreatePlugIn.
PlugInInstance g_plugInInstance;

// Enough to show what arrived; a plug-in that needs the whole answer copies
// all answerLength bytes.
constexpr int32_t kShownBytes = 256;

class CExamplePlugInDlg : public QDialog
{
public:
    explicit CExamplePlugInDlg(QWidget* pOwner)
        : QDialog(pOwner)
    {
        setObjectName(QStringLiteral("CExamplePlugInDlg"));
        setWindowTitle(QStringLiteral("Example Plug-in"));
        m_pLength = new QLabel(this);
        m_pLength->setObjectName(QStringLiteral("m_lblLength"));
        m_pAnswer = new QLabel(this);
        m_pAnswer->setObjectName(QStringLiteral("m_lblAnswer"));
        m_pCommand = new QLabel(this);
        m_pCommand->setObjectName(QStringLiteral("m_lblCommand"));
        auto* pLayout = new QVBoxLayout(this);
        pLayout->addWidget(m_pLength);
        pLayout->addWidget(m_pAnswer);
        pLayout->addWidget(m_pCommand);
    }

    // Everything in the input dies with the call, so the labels get copies.
    void LoadInput(const PlugInInput& input)
    {
        if (!input.answerData) {
            m_pLength->setText(QStringLiteral("no answer"));
            m_pAnswer->clear();
        } else {
            // There may be no NUL after the answer: never read past its length.
            const int32_t nShown = input.answerLength < kShownBytes ? input.answerLength : kShownBytes;
            m_pLength->setText(QString::number(input.answerLength));
            m_pAnswer->setText(QString::fromLatin1(input.answerData, nShown < 0 ? 0 : nShown));
        }
        m_pCommand->setText(QString::fromUtf16(input.commandText));
    }

private:
    QLabel* m_pLength;
    QLabel* m_pAnswer;
    QLabel* m_pCommand;
};

} // namespace

const char16_t* GetPlugInName(void)
{
    return u"Example";
}

int32_t IsPlugInComponent(void)
{
    return 1;
}

PlugInInstance* CreatePlugIn(PlugInInstance* pInstance, const PlugInInput* pInput)
{
    if (!pInstance)
        return nullptr;
    std::memset(pInstance, 0, sizeof(*pInstance));
    if (!pInput)
        return pInstance;
    try {
        auto* pDialog = static_cast<CExamplePlugInDlg*>(g_plugInInstance.windowObject);
        if (!pDialog) {
            // Owned by the console's window: above it, and destroyed with it.
            pDialog = new CExamplePlugInDlg(static_cast<QWidget*>(pInput->ownerWindow));
            QObject::connect(pDialog, &QObject::destroyed, [] {
                g_plugInInstance.window = nullptr;
                g_plugInInstance.windowObject = nullptr;
            });
            g_plugInInstance.window = pDialog;
            g_plugInInstance.windowObject = pDialog;
        }
        // A hidden window comes back where the user left it.
        pDialog->show();
        pDialog->activateWindow();
        pDialog->LoadInput(*pInput);
        pInstance->window = g_plugInInstance.window;
        pInstance->windowObject = g_plugInInstance.windowObject;
    } catch (...) {
        // No exception may reach the console; failure is an empty record.
        std::memset(pInstance, 0, sizeof(*pInstance));
    }
    return pInstance;
}

void DestroyPlugIn(PlugInInstance* pInstance)
{
    // A record of a window that is gone no longer matches ours.
    if (!pInstance || !pInstance->windowObject || pInstance->windowObject != g_plugInInstance.windowObject)
        return;
    delete static_cast<CExamplePlugInDlg*>(g_plugInInstance.windowObject);
}
