#pragma once

// A plug-in's Chinese texts. Every module in the process shares one resource
// tree and one set of translators, so each plug-in embeds its catalogue under
// a resource path of its own and installs it itself; the console knows
// nothing of it.

#include <QCoreApplication>
#include <QLocale>
#include <QString>
#include <QTranslator>

namespace VelqPlugIn {

// The same choice the console makes: the user's first interface language
// (LANGUAGE before LC_MESSAGES/LANG), not the number format.
inline bool IsChineseInterface()
{
    const QStringList lstUi = QLocale::system().uiLanguages();
    const QLocale locale = lstUi.isEmpty() ? QLocale::system() : QLocale(lstUi.first());
    return locale.language() == QLocale::Chinese;
}

// pInstalled is the calling library's own, so each catalogue goes in once.
// The translator reads the catalogue in place from the library's resources,
// which is safe only because the console never unloads a library whose
// window it has asked for.
inline void InstallCatalogue(QTranslator*& pInstalled, const QString& strQmPath)
{
    QCoreApplication* pApp = QCoreApplication::instance();
    if (pInstalled || !pApp || !IsChineseInterface())
        return;
    auto* pTranslator = new QTranslator(pApp);
    if (!pTranslator->load(strQmPath)) {
        delete pTranslator;
        return;
    }
    QCoreApplication::installTranslator(pTranslator);
    pInstalled = pTranslator;
}

} // namespace VelqPlugIn
