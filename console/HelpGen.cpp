// Build-time tool: renders the Markdown help source to the PDF that the
// console opens as its help document.
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: velqhelpgen <input.md> <output.pdf>\n");
        return 2;
    }
    QFile input(QString::fromLocal8Bit(argv[1]));
    if (!input.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "velqhelpgen: cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument document;
    document.setMarkdown(QString::fromUtf8(input.readAll()));

    const QString strOutput = QString::fromLocal8Bit(argv[2]);
    {
        QPdfWriter writer(strOutput);
        writer.setTitle(QStringLiteral("Velquist"));
        writer.setCreator(QStringLiteral("TARNOVE TECHNOLOGIES"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        document.print(&writer);
    }
    // QPdfWriter reports no errors; an empty file means it could not write.
    if (QFile(strOutput).size() == 0) {
        std::fprintf(stderr, "velqhelpgen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
