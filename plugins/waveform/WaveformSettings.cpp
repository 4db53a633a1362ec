#include "WaveformSettings.h"

#include <QSettings>

namespace {

// The console's store: its organisation and application, not whatever the
// hosting process happens to call itself.
const char kOrganization[] = "TARNOVE TECHNOLOGIES";
const char kApplication[] = "Velquist";
const char kGroup[] = "VelqWaveform";

double ReadDouble(const QSettings& settings, const char* pszKey, double dDefault)
{
    bool bOk = false;
    const double dValue = settings.value(QLatin1String(pszKey)).toDouble(&bOk);
    return bOk && dValue - dValue == 0 ? dValue : dDefault;
}

} // namespace

SWaveformSettings SWaveformSettings::Load()
{
    SWaveformSettings result;
    QSettings settings{QLatin1String(kOrganization), QLatin1String(kApplication)};
    settings.beginGroup(QLatin1String(kGroup));
    result.eFormat = FormatFromKey(settings.value(QStringLiteral("Format")).toString().toLatin1().constData(),
                                   EWaveFormat::Auto);
    const QString strOrder = settings.value(QStringLiteral("ByteOrder")).toString();
    result.eOrder = strOrder == QLatin1String("little") ? EByteOrder::Little
                  : strOrder == QLatin1String("big")    ? EByteOrder::Big
                                                        : EByteOrder::Auto;
    SWaveScaling& s = result.scaling;
    s.bEnabled = settings.value(QStringLiteral("Scaling"), false).toBool();
    s.dOffset = ReadDouble(settings, "Offset", 0);
    s.dScale = ReadDouble(settings, "Scale", 1);
    s.dOrigin = ReadDouble(settings, "Origin", 0);
    s.dDx = ReadDouble(settings, "XIncrement", 1);
    s.dX0 = ReadDouble(settings, "XOrigin", 0);
    // A stored zero factor (edited by hand) would make every plot a line.
    if (!s.IsValid()) {
        s.dScale = s.dScale == 0 ? 1 : s.dScale;
        s.dDx = s.dDx == 0 ? 1 : s.dDx;
    }
    return result;
}

void SWaveformSettings::Save() const
{
    QSettings settings{QLatin1String(kOrganization), QLatin1String(kApplication)};
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("Format"), QLatin1String(FormatKey(eFormat)));
    settings.setValue(QStringLiteral("ByteOrder"), eOrder == EByteOrder::Little ? QStringLiteral("little")
                                                   : eOrder == EByteOrder::Big  ? QStringLiteral("big")
                                                                                : QStringLiteral("auto"));
    settings.setValue(QStringLiteral("Scaling"), scaling.bEnabled);
    settings.setValue(QStringLiteral("Offset"), scaling.dOffset);
    settings.setValue(QStringLiteral("Scale"), scaling.dScale);
    settings.setValue(QStringLiteral("Origin"), scaling.dOrigin);
    settings.setValue(QStringLiteral("XIncrement"), scaling.dDx);
    settings.setValue(QStringLiteral("XOrigin"), scaling.dX0);
}
