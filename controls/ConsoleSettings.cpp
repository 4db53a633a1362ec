#include "ConsoleSettings.h"

#include <QLatin1String>
#include <QSettings>

namespace ConsoleSettings {

std::unique_ptr<QSettings> OpenSettings()
{
    // Named explicitly rather than through the application object, so the
    // store is the same whoever constructs the window.
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(kOrganization),
                                       QLatin1String(kApplication));
}

int ReadInt(const QSettings& settings, const char* pszKey, int nDefault)
{
    bool bOk = false;
    const int nValue = settings.value(QLatin1String(pszKey)).toInt(&bOk);
    return bOk ? nValue : nDefault;
}

} // namespace ConsoleSettings
