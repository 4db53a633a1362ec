#include "CmdListDlg.h"
#include "FECFileDialog.h"
#include "FileEditCtrl.h"
#include "MoreMenu.h"
#include "NySysErrorDlg.h"
#include "StringTable.h"
#include "VelquistApp.h"
#include "VelquistDlg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QMenu>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void chineseLocale_data();
    void chineseLocale();
    void englishTable_data();
    void englishTable();
    void chineseTable_data();
    void chineseTable();
    void format_data();
    void format();
    void chineseWindow();
    void chineseCommandList();
    void chineseMenuAndErrors();

private:
    void InstallOnce();
    bool m_bInstalled = false;
};

void TestTranslations::chineseLocale_data()
{
    QTest::addColumn<QString>("strLocale");
    QTest::addColumn<bool>("bChinese");
    QTest::newRow("zh_CN") << "zh_CN" << true;
    QTest::newRow("zh_TW") << "zh_TW" << true;
    QTest::newRow("zh") << "zh" << true;
    QTest::newRow("en_US") << "en_US" << false;
    QTest::newRow("C") << "C" << false;
    QTest::newRow("ja_JP") << "ja_JP" << false;
}

void TestTranslations::chineseLocale()
{
    QFETCH(QString, strLocale);
    QFETCH(bool, bChinese);
    QCOMPARE(CStringTable::IsChineseLocale(QLocale(strLocale)), bChinese);
}

static void AddTableColumns()
{
    QTest::addColumn<int>("nId");
    QTest::addColumn<QString>("strText");
}

void TestTranslations::englishTable_data()
{
    AddTableColumns();
    QTest::newRow("first") << 103 << "Windows Socket Initialized Failed!";
    QTest::newRow("last") << 119
        << "Failed to load the help document, reinstalling the program may solve this problem!";
    QTest::newRow("below range") << 102 << "";
    QTest::newRow("above range") << 120 << "";
    QTest::newRow("negative") << -1 << "";
}

void TestTranslations::englishTable()
{
    QFETCH(int, nId);
    QFETCH(QString, strText);
    QCOMPARE(CStringTable::Load(nId), strText);
}

void TestTranslations::InstallOnce()
{
    if (m_bInstalled)
        return;
    m_bInstalled = true;
    QCOMPARE(CVelquistApp::InstallTranslators(*QCoreApplication::instance()), CVelquistApp::Catalogues().size());
    CStringTable::SetChinese(true);
}

void TestTranslations::chineseTable_data()
{
    AddTableColumns();
    const QStringList lstChinese{
        QStringLiteral("Windows 套接字初始化失败。"),
        QStringLiteral("程序处于控制仪器状态,可能有未读取的数据结果,确定退出?"),
        QStringLiteral("进程中存在数据读取操作, 确定取消该操作?"),
        QStringLiteral("所有: %d, 成功: %d, 失败: %d"),
        QStringLiteral("控制仪器失败,请检查仪器及连接!"),
        QStringLiteral("确定删除所有指令记录中的数据?"),
        QStringLiteral("历史记录中信息超过缓存区容量,将会被删除.\n\"Yes\" 保存信息, \"No\" 清空缓存区,不保存."),
        QStringLiteral("正在执行指令,请稍后重试!"),
        QStringLiteral("无仪器连接,请先程控仪器!"),
        QStringLiteral("无可以执行的指令序列,本次操作被取消!"),
        QStringLiteral("连接"),
        QStringLiteral("断开连接"),
        QStringLiteral("VISA 名称不能为空, 请输入 VISA 资源名称!"),
        QStringLiteral("%d 字符"),
        QStringLiteral("指令列表"),
        QStringLiteral("指令输入"),
        QStringLiteral("加载帮助文件失败,重新安装程序可以解决这个问题!"),
    };
    QCOMPARE(lstChinese.size(), CStringTable::kLastId - CStringTable::kFirstId + 1);
    for (int n = 0; n < lstChinese.size(); ++n) {
        const int nId = CStringTable::kFirstId + n;
        QTest::newRow(qPrintable(QString::number(nId))) << nId << lstChinese.at(n);
    }
}

void TestTranslations::chineseTable()
{
    QFETCH(int, nId);
    QFETCH(QString, strText);
    InstallOnce();
    QCOMPARE(CStringTable::Load(nId), strText);
}

void TestTranslations::format_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<QList<qlonglong>>("lstValues");
    QTest::addColumn<QString>("strExpected");

    QTest::newRow("three fields") << "All: %d, Success: %d, Failed: %d" << QList<qlonglong>{7, 5, 2}
                                  << "All: 7, Success: 5, Failed: 2";
    QTest::newRow("missing values stay empty") << "%d of %d" << QList<qlonglong>{3} << "3 of ";
    QTest::newRow("other conversions are text, not formats")
        << "%s %n %d%%" << QList<qlonglong>{1} << "%s %n 1%";
    QTest::newRow("trailing percent") << "%d Ch %" << QList<qlonglong>{0} << "0 Ch %";
}

void TestTranslations::format()
{
    QFETCH(QString, strText);
    QFETCH(QList<qlonglong>, lstValues);
    QFETCH(QString, strExpected);
    QCOMPARE(CStringTable::FormatText(strText, lstValues), strExpected);
}

void TestTranslations::chineseWindow()
{
    InstallOnce();
    QTemporaryDir dir;
    CVelquistDlg dlg;
    dlg.SetExecutablePath(dir.filePath(QStringLiteral("velquist")));
    dlg.m_bUseSettings = 0;
    dlg.InitDialog();
    QVERIFY(dlg.windowTitle().contains(QStringLiteral("仪器程控")));
    QVERIFY(dlg.windowTitle().contains(QStringLiteral("Velquist")));
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("m_btnConnect"))->text(), QStringLiteral("连接"));
    QCOMPARE(dlg.findChild<QCheckBox*>(QStringLiteral("m_chkAppendCR"))->text(),
             QStringLiteral("指令末尾添加 回车键<CR> 0x0D"));
    QVERIFY(dlg.findChild<QCheckBox*>(QStringLiteral("m_chkEoi"))->isHidden());
    QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("m_lblCommandLength"))->text(), QStringLiteral("5 字符"));
}

void TestTranslations::chineseCommandList()
{
    InstallOnce();
    // The window keeps its mode in the settings store: a private one here.
    QTemporaryDir dirConfig;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dirConfig.path());
    CCmdListDlg dlg(nullptr);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Command List"));
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("m_btnParse"))->text(), QStringLiteral("解析"));
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("m_btnRunAll"))->text(), QStringLiteral("全部运行"));
    QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("m_lblStatus"))->text(), QStringLiteral("成功: 0, 失败: 0"));
    const QString strToggle = dlg.findChild<QPushButton*>(QStringLiteral("m_btnInput"))->text();
    QCOMPARE(strToggle, dlg.m_bInputMode ? QStringLiteral("指令列表") : QStringLiteral("指令输入"));
    const CFECFileDialog* pBrowse = dlg.findChild<CFileEditCtrl*>()->GetFileDialog();
    QCOMPARE(pBrowse->windowTitle(), QStringLiteral("浏览文件"));
    QCOMPARE(pBrowse->labelText(QFileDialog::Accept), QStringLiteral("确定"));
    QCOMPARE(pBrowse->labelText(QFileDialog::Reject), QStringLiteral("取消"));
    dlg.ShowRunStatus(3, 2, 1);
    QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("m_lblStatus"))->text(), QStringLiteral("所有: 3, 成功: 2, 失败: 1"));
}

void TestTranslations::chineseMenuAndErrors()
{
    InstallOnce();
    QTemporaryDir dir;
    CVelquistDlg dlg;
    dlg.SetExecutablePath(dir.filePath(QStringLiteral("velquist")));
    dlg.m_bUseSettings = 0;
    const std::unique_ptr<QMenu> pMenu = dlg.findChild<CMoreMenu*>()->BuildMenu();
    QStringList lstTexts;
    for (const QAction* pAction : pMenu->actions()) {
        if (pAction->isSeparator())
            continue;
        lstTexts << pAction->text();
        if (pAction->menu()) {
            for (const QAction* pSub : pAction->menu()->actions())
                lstTexts << QStringLiteral("  ") + pSub->text();
        }
    }
    const QStringList lstChinese{
        QStringLiteral("清空指令记录"),   QStringLiteral("删除当前指令"),   QStringLiteral("导入指令"),
        QStringLiteral("导出指令"),       QStringLiteral("写入指令读取数据"), QStringLiteral("文件操作"),
        QStringLiteral("  仪器文件上传"), QStringLiteral("查找仪器..."), QStringLiteral("输出历史保存为..."), QStringLiteral("清空输出历史"),
        QStringLiteral("语言"),           QStringLiteral("  中文(简体)"),   QStringLiteral("  English"),
        QStringLiteral("默认设置"),       QStringLiteral("帮助"),
    };
    QCOMPARE(lstTexts, lstChinese);

    CNySysErrorDlg errors;
    QCOMPARE(errors.windowTitle(), QStringLiteral("错误"));
    QCOMPARE(errors.findChild<QGroupBox*>()->title(), QStringLiteral(" 所有错误信息 "));
    QCOMPARE(errors.findChild<QPushButton*>()->text(), QStringLiteral("确定"));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
