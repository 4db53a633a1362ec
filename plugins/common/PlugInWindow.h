#pragma once

// The window bookkeeping every plug-in of ours shares: one window per
// library, re-used while it exists, only hidden by Exit/Cancel and the close
// box, and forgotten the moment it is destroyed (by DestroyPlugIn or by its
// owner, the console's main window, going away).

#include "PluginContract.h"

#include <QDialog>
#include <QObject>
#include <QWidget>

#include <cstring>

namespace VelqPlugIn {

// TDialog is a QDialog with a constructor taking the owner window and a
// LoadInput(const PlugInInput&) that copies what it keeps of the input.
template <class TDialog>
PlugInInstance* Create(PlugInInstance& gInstance, PlugInInstance* pInstance, const PlugInInput* pInput)
{
    if (!pInstance)
        return nullptr;
    std::memset(pInstance, 0, sizeof(*pInstance));
    if (!pInput)
        return pInstance;
    try {
        auto* pDialog = static_cast<TDialog*>(gInstance.windowObject);
        if (pDialog) {
            pDialog->show();
            pDialog->repaint();
            pDialog->activateWindow();
            pDialog->setFocus();
            pDialog->LoadInput(*pInput);
            pInstance->window = static_cast<QWidget*>(pDialog);
            pInstance->windowObject = pDialog;
            return pInstance;
        }
        // The owner keeps the window above the console and destroys it with
        // the console; a parentless window would get no input while the
        // console's main window runs modally.
        pDialog = new TDialog(static_cast<QWidget*>(pInput->ownerWindow));
        QObject::connect(pDialog, &QObject::destroyed, [&gInstance]() {
            gInstance.window = nullptr;
            gInstance.windowObject = nullptr;
        });
        pDialog->showNormal();
        pDialog->activateWindow();
        pDialog->repaint();
        pDialog->LoadInput(*pInput);
        pInstance->window = static_cast<QWidget*>(pDialog);
        pInstance->windowObject = pDialog;
        gInstance = *pInstance;
    } catch (...) {
        // No exception may cross into the console; failure is an empty record.
        std::memset(pInstance, 0, sizeof(*pInstance));
    }
    return pInstance;
}

// A record of a window that was already destroyed no longer matches the
// library's current window and is ignored, so the object is freed once.
inline void Destroy(PlugInInstance& gInstance, PlugInInstance* pInstance)
{
    if (!pInstance || !pInstance->windowObject || pInstance->windowObject != gInstance.windowObject)
        return;
    delete static_cast<QWidget*>(gInstance.window);
}

} // namespace VelqPlugIn
