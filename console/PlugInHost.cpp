#include "PlugInHost.h"

#include "PluginContract.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMenu>
#include <QWidget>

#include <limits>

namespace {

#if defined(Q_OS_WIN)
const char* const kLibraryPattern = "*.dll";
#elif defined(Q_OS_MACOS)
const char* const kLibraryPattern = "*.dylib";
#else
const char* const kLibraryPattern = "*.so";
#endif

// Every symbol is bound at load time: a library built against something this
// process lacks then fails to load and is left out, instead of ending the
// process with a lookup error in the middle of a call.
bool LoadResolved(QLibrary& library)
{
    library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    return library.load();
}

} // namespace

CPlugInHost::CPlugInHost(QWidget* pOwner)
    : QObject(pOwner)
    , m_pOwner(pOwner)
{
}

QString CPlugInHost::PlugInFolder(const QString& strExecutablePath)
{
    return QFileInfo(strExecutablePath).absoluteDir().filePath(QStringLiteral("plugins"));
}

QString CPlugInHost::MenuText(const QString& strPath)
{
    // Up to the last dot only: my.tool.so is listed as my.tool.
    return QFileInfo(strPath).completeBaseName();
}

std::int32_t CPlugInHost::AnswerLength(std::uint64_t uLength)
{
    constexpr std::uint64_t kMax = std::uint64_t(std::numeric_limits<std::int32_t>::max());
    return std::int32_t(uLength > kMax ? kMax : uLength);
}

void CPlugInHost::LoadPlugInList(const QString& strExecutablePath)
{
    QStringList lstAccepted;
    // Sorted without regard to case: the order users know from file managers.
    // Files without QDir::System leaves out named pipes, which would block
    // the start-up in dlopen.
    const QFileInfoList lstFiles = QDir(PlugInFolder(strExecutablePath))
                                       .entryInfoList({QLatin1String(kLibraryPattern)}, QDir::Files,
                                                      QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : lstFiles) {
        const QString strPath = info.absoluteFilePath();
        QLibrary library(strPath);
        if (!LoadResolved(library))
            continue;
        const auto pfnIsComponent =
            reinterpret_cast<PfnIsPlugInComponent>(library.resolve(VELQ_PLUGIN_SYMBOL_IS_COMPONENT));
        if (pfnIsComponent && pfnIsComponent() != 0)
            lstAccepted << strPath;
        library.unload();
    }
    m_saPlugInPaths = lstAccepted;
}

void CPlugInHost::ShowPlugInMenu(QWidget* pButton)
{
    if (m_saPlugInPaths.isEmpty() || !pButton)
        return;
    auto* pMenu = new QMenu(m_pOwner);
    pMenu->setObjectName(QStringLiteral("m_mnuPlugIns"));
    // Deleted once the chosen entry has been handled, not while it is.
    connect(pMenu, &QMenu::aboutToHide, pMenu, &QObject::deleteLater);
    for (int n = 0; n < m_saPlugInPaths.size(); ++n) {
        const int nCommandId = kFirstCommandId + n;
        QAction* pAction = pMenu->addAction(MenuText(m_saPlugInPaths.at(n)));
        pAction->setData(nCommandId);
        connect(pAction, &QAction::triggered, this, [this, nCommandId] { emit PlugInChosen(nCommandId); });
    }
    pMenu->popup(pButton->mapToGlobal(QPoint(pButton->width(), 0)));
}

void CPlugInHost::InvokePlugIn(int nCommandId, const char* pAnswer, std::uint64_t uLength, const QString& strCommand)
{
    if (nCommandId < kFirstCommandId || nCommandId > kLastCommandId)
        return;
    const int nIndex = nCommandId - kFirstCommandId;
    if (nIndex >= m_saPlugInPaths.size())
        return;
    // Never unloaded: the plug-in's window and its code live in the library,
    // and loading the same path again later yields this very library, so the
    // plug-in finds its window again.
    QLibrary library(m_saPlugInPaths.at(nIndex));
    if (!LoadResolved(library))
        return;
    const auto pfnCreate = reinterpret_cast<PfnCreatePlugIn>(library.resolve(VELQ_PLUGIN_SYMBOL_CREATE));
    if (!pfnCreate)
        return;
    // utf16() of a QString is always NUL-terminated, even when it is empty.
    PlugInInput input{};
    input.ownerWindow = m_pOwner;
    input.answerData = pAnswer;
    input.answerLength = pAnswer ? AnswerLength(uLength) : 0;
    input.commandText = reinterpret_cast<const char16_t*>(strCommand.utf16());
    input.reserved = 0;
    PlugInInstance instance{};
    pfnCreate(&instance, &input);
}
