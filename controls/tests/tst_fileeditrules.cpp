#include "FileEditGeometry.h"
#include "FileEditPath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestFileEditRules : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void parse_data();
    void parse();
    void startFolder_data();
    void startFolder();
    void buttonRect_data();
    void buttonRect();
    void dots_data();
    void dots();

private:
    QTemporaryDir m_dir;
    QString m_strOldCurrent;
};

void TestFileEditRules::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QDir root(m_dir.path());
    QVERIFY(root.mkpath(QStringLiteral("cmd/sub")));
    QFile file(root.filePath(QStringLiteral("cmd/run.scmd")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(root.filePath(QStringLiteral("cmd/run.scmd")), root.filePath(QStringLiteral("link.scmd"))));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("gone.scmd")), root.filePath(QStringLiteral("dangling.scmd"))));
    m_strOldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestFileEditRules::cleanupTestCase()
{
    QDir::setCurrent(m_strOldCurrent);
}

void TestFileEditRules::parse_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<bool>("bEntry");
    QTest::addColumn<QString>("strBase");
    QTest::addColumn<QString>("strEntry");

    QTest::newRow("empty") << "" << false << "" << "";
    QTest::newRow("only separators and blanks") << " ; ;\t" << false << "" << "";
    QTest::newRow("blanks, path, blank, rest ignored")
        << "  /cmd/run.scmd ;more.scmd" << true << "/cmd/" << "run.scmd";
    QTest::newRow("leading separators") << ";;/a/b.scmd" << true << "/a/" << "b.scmd";
    QTest::newRow("name only") << "run.scmd" << true << "" << "run.scmd";
    QTest::newRow("folder") << "/a/b/" << true << "/a/b/" << "";
    QTest::newRow("inner blanks stay") << "/my cmds/a b.scmd  " << true << "/my cmds/" << "a b.scmd";
}

void TestFileEditRules::parse()
{
    QFETCH(QString, strText);
    QFETCH(bool, bEntry);
    QFETCH(QString, strBase);
    QFETCH(QString, strEntry);

    CFileEditPath path;
    path.Parse(QStringLiteral("/left/over.scmd"));
    QCOMPARE(path.Parse(strText), bEntry);
    QCOMPARE(path.GetBaseFolder(), strBase);
    QCOMPARE(path.GetEntries(), bEntry ? QStringList{strEntry} : QStringList());
}

void TestFileEditRules::startFolder_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<QString>("strFolder");
    QTest::addColumn<QString>("strName");

    // "@" stands for the temporary tree, which is also the current folder.
    QTest::newRow("existing file, text after ;") << "  @/cmd/run.scmd ;x" << "@/cmd/" << "run.scmd";
    QTest::newRow("missing file in an existing folder") << "@/cmd/new.scmd" << "@/cmd/" << "";
    QTest::newRow("a folder") << "@/cmd/sub" << "@/cmd/sub/" << "";
    QTest::newRow("a folder with its slash") << "@/cmd/sub/" << "@/cmd/sub/" << "";
    QTest::newRow("missing folders above the file") << "@/cmd/no/such/x.scmd" << "@/cmd/" << "";
    QTest::newRow("relative to the current folder") << "cmd/run.scmd" << "@/cmd/" << "run.scmd";
    QTest::newRow("dot-dot is resolved") << "@/cmd/sub/../run.scmd" << "@/cmd/" << "run.scmd";
    QTest::newRow("symbolic link followed") << "@/link.scmd" << "@/cmd/" << "run.scmd";
    QTest::newRow("dangling link kept") << "@/dangling.scmd" << "@/" << "";
    QTest::newRow("nothing but the root exists") << "/no-such-velq-dir/x.scmd" << "/" << "";
    QTest::newRow("empty text") << "" << "" << "";
}

void TestFileEditRules::startFolder()
{
    QFETCH(QString, strText);
    QFETCH(QString, strFolder);
    QFETCH(QString, strName);
    const QString strRoot = QDir(m_dir.path()).canonicalPath();
    strText.replace(QLatin1Char('@'), strRoot);
    strFolder.replace(QLatin1Char('@'), strRoot);

    CFileEditPath path;
    path.Parse(strText);
    const QString strPath = path.GetCurrentPath();
    QCOMPARE(strPath.isEmpty(), strText.isEmpty());
    QCOMPARE(CFileEditPath::NearestExistingFolder(strPath), strFolder);
    QCOMPARE(CFileEditPath::InitialFileName(strPath), strName);
}

void TestFileEditRules::buttonRect_data()
{
    QTest::addColumn<QRect>("rcClient");
    QTest::addColumn<int>("nStoredWidth");
    QTest::addColumn<QRect>("rcButton");

    QTest::newRow("80 % of 20") << QRect(2, 2, 200, 20) << -1 << QRect(186, 2, 16, 20);
    QTest::newRow("80 % truncates") << QRect(1, 1, 100, 17) << -1 << QRect(88, 1, 13, 17);
    QTest::newRow("stored width") << QRect(0, 0, 100, 20) << 30 << QRect(70, 0, 30, 20);
    QTest::newRow("narrower than the button") << QRect(0, 0, 10, 20) << -1 << QRect(0, 0, 10, 20);
    QTest::newRow("empty client") << QRect(0, 0, 0, 0) << -1 << QRect(0, 0, 0, 0);
}

void TestFileEditRules::buttonRect()
{
    QFETCH(QRect, rcClient);
    QFETCH(int, nStoredWidth);
    QFETCH(QRect, rcButton);
    QCOMPARE(CFileEditGeometry::ButtonRect(rcClient, nStoredWidth), rcButton);
}

void TestFileEditRules::dots_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<int>>("lstDots"); // diameter, pitch, x, y
    QTest::addColumn<bool>("bDrawn");

    QTest::newRow("16 x 20, width a multiple of 4") << QSize(16, 20) << QList<int>{1, 4, 3, 10} << true;
    QTest::newRow("17 x 21") << QSize(17, 21) << QList<int>{1, 4, 4, 10} << true;
    QTest::newRow("30 x 38, round dots") << QSize(30, 38) << QList<int>{3, 7, 8, 18} << true;
    QTest::newRow("40 x 50") << QSize(40, 50) << QList<int>{4, 10, 9, 23} << true;
    QTest::newRow("too small to draw") << QSize(2, 20) << QList<int>{0, 0, 1, 10} << false;
}

void TestFileEditRules::dots()
{
    QFETCH(QSize, size);
    QFETCH(QList<int>, lstDots);
    QFETCH(bool, bDrawn);
    const CFileEditGeometry::SDots dots = CFileEditGeometry::Dots(size.width(), size.height());
    QCOMPARE((QList<int>{dots.nDiameter, dots.nPitch, dots.nX, dots.nY}), lstDots);
    QCOMPARE(CFileEditGeometry::IsDrawable(QRect(QPoint(0, 0), size)), bDrawn);
}

QTEST_GUILESS_MAIN(TestFileEditRules)
#include "tst_fileeditrules.moc"
