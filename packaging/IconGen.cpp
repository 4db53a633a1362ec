#include "AppIcon.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include <cstdio>

// Writes the console's icon into an icon-theme tree: hicolor/<n>x<n>/apps
// for the bitmap sizes desktops look for, hicolor/scalable/apps for the SVG.
int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: velqicongen <output folder> <icon name>\n");
        return 2;
    }
    const QDir dirOut(QString::fromLocal8Bit(argv[1]));
    const QString strName = QString::fromLocal8Bit(argv[2]);
    for (int nSize : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString strSub = QStringLiteral("hicolor/%1x%1/apps").arg(nSize);
        const QString strFile = dirOut.filePath(strSub + QLatin1Char('/') + strName + QStringLiteral(".png"));
        if (!dirOut.mkpath(strSub) || !DrawAppIcon(nSize).save(strFile, "PNG")) {
            std::fprintf(stderr, "velqicongen: cannot write %s\n", qPrintable(strFile));
            return 1;
        }
    }
    const QString strSvg = dirOut.filePath(QStringLiteral("hicolor/scalable/apps/") + strName + QStringLiteral(".svg"));
    dirOut.mkpath(QStringLiteral("hicolor/scalable/apps"));
    QFile svg(strSvg);
    if (!svg.open(QIODevice::WriteOnly) || svg.write(AppIconSvg()) < 0 || !svg.flush()) {
        std::fprintf(stderr, "velqicongen: cannot write %s\n", qPrintable(strSvg));
        return 1;
    }
    return 0;
}
