#include "HistoryLocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestHistoryLocation : public QObject
{
    Q_OBJECT

private slots:
    void besideExecutable_data();
    void besideExecutable();
    void placeOfFiles_data();
    void placeOfFiles();
    void fileSystemDecidesByDefault();
};

void TestHistoryLocation::besideExecutable_data()
{
    QTest::addColumn<QString>("strExe");
    QTest::addColumn<QString>("strType");
    QTest::addColumn<QString>("strCfg");

    QTest::newRow("no extension") << "/opt/velq/bin/velquist" << "/opt/velq/bin/velquist.type"
                                  << "/opt/velq/bin/velquist.cfg";
    QTest::newRow("with extension") << "C:/Tools/Velquist.exe" << "C:/Tools/Velquist.type" << "C:/Tools/Velquist.cfg";
    QTest::newRow("dot only in a folder name") << "/home/a.b/bin/velquist" << "/home/a.b/bin/velquist.type"
                                               << "/home/a.b/bin/velquist.cfg";
    QTest::newRow("two dots") << "/x/velq.2.bin" << "/x/velq.2.type" << "/x/velq.2.cfg";
}

void TestHistoryLocation::besideExecutable()
{
    QFETCH(QString, strExe);
    QFETCH(QString, strType);
    QFETCH(QString, strCfg);
    QCOMPARE(CHistoryLocation::BesideExecutable(strExe, QStringLiteral("type")), strType);
    QCOMPARE(CHistoryLocation::BesideExecutable(strExe, QStringLiteral("cfg")), strCfg);
}

void TestHistoryLocation::placeOfFiles_data()
{
    // Where each file is looked for and written, as "exe" (beside the
    // executable) or "data" (the user's data folder).
    QTest::addColumn<bool>("bFolderWritable");
    QTest::addColumn<bool>("bBesideExists");
    QTest::addColumn<bool>("bOwnExists");
    QTest::addColumn<bool>("bHaveDataDir");
    QTest::addColumn<QString>("strLoad");
    QTest::addColumn<QString>("strSave");

    QTest::newRow("portable copy") << true << false << false << true << "exe" << "exe";
    QTest::newRow("portable copy with history") << true << true << false << true << "exe" << "exe";
    // A stale copy in the data folder must not shadow the portable one.
    QTest::newRow("portable copy, data copy too") << true << true << true << true << "exe" << "exe";
    QTest::newRow("read-only install, first run") << false << false << false << true << "data" << "data";
    QTest::newRow("read-only install, later runs") << false << false << true << true << "data" << "data";
    QTest::newRow("read-only install with seed history") << false << true << false << true << "exe" << "data";
    // Once the user's own copy exists, the seed must not bring back old
    // entries at every start.
    QTest::newRow("seed taken over") << false << true << true << true << "data" << "data";
    QTest::newRow("no data folder known") << false << false << false << false << "exe" << "exe";
}

void TestHistoryLocation::placeOfFiles()
{
    QFETCH(bool, bFolderWritable);
    QFETCH(bool, bBesideExists);
    QFETCH(bool, bOwnExists);
    QFETCH(bool, bHaveDataDir);
    QFETCH(QString, strLoad);
    QFETCH(QString, strSave);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir(root.path()).mkpath(QStringLiteral("usr/lib/velquist"));
    const QString strExeDir = root.filePath(QStringLiteral("usr/lib/velquist"));
    const QString strExe = strExeDir + QStringLiteral("/velquist");
    // The data folder is not created in advance: the first save makes it.
    const QString strDataDir = root.filePath(QStringLiteral("home/.local/share/Velquist"));
    const QMap<QString, QString> mapFolders{{QStringLiteral("exe"), strExeDir}, {QStringLiteral("data"), strDataDir}};

    auto fnTouch = [](const QString& strPath) {
        QDir().mkpath(QFileInfo(strPath).absolutePath());
        QFile file(strPath);
        return file.open(QIODevice::WriteOnly);
    };
    for (const QString& strName : {QStringLiteral("velquist.type"), QStringLiteral("velquist.cfg")}) {
        if (bBesideExists)
            QVERIFY(fnTouch(QDir(strExeDir).filePath(strName)));
        if (bOwnExists)
            QVERIFY(fnTouch(QDir(strDataDir).filePath(strName)));
    }

    QStringList lstAsked;
    const CHistoryLocation location(strExe, bHaveDataDir ? strDataDir : QString(),
                                    [&](const QString& strFolder) {
                                        lstAsked << strFolder;
                                        return bFolderWritable;
                                    });
    for (const QString& strSuffix : {QStringLiteral("type"), QStringLiteral("cfg")}) {
        const QString strName = QStringLiteral("velquist.") + strSuffix;
        QCOMPARE(location.LoadPath(strSuffix), QDir(mapFolders.value(strLoad)).filePath(strName));
        QCOMPARE(location.SavePath(strSuffix), QDir(mapFolders.value(strSave)).filePath(strName));
    }
    // Only the executable's folder decides; the files' own modes do not.
    for (const QString& strFolder : std::as_const(lstAsked))
        QCOMPARE(strFolder, strExeDir);
}

void TestHistoryLocation::fileSystemDecidesByDefault()
{
    QTemporaryDir exeDir;
    QTemporaryDir dataDir;
    QVERIFY(exeDir.isValid() && dataDir.isValid());
    const CHistoryLocation writable(exeDir.filePath(QStringLiteral("velquist")), dataDir.path());
    QCOMPARE(writable.SavePath(QStringLiteral("cfg")), exeDir.filePath(QStringLiteral("velquist.cfg")));
    // A folder that does not exist cannot take a file either.
    const CHistoryLocation missing(exeDir.filePath(QStringLiteral("gone/velquist")), dataDir.path());
    QCOMPARE(missing.SavePath(QStringLiteral("cfg")), dataDir.filePath(QStringLiteral("velquist.cfg")));
}

QTEST_GUILESS_MAIN(TestHistoryLocation)

#include "tst_historylocation.moc"
