#pragma once

#include <QString>
#include <QStringList>

// What the path box of a CFileEditCtrl names, and where its browse dialog
// starts. Works on the file system only, no widgets.
class CFileEditPath
{
public:
    // Splits the box's text: leading ";" and blanks are skipped, the first
    // ";"-separated entry is kept without trailing blanks, and its folder part
    // becomes the base folder. Returns whether an entry (possibly empty, for
    // a text that names a folder) was found.
    bool Parse(const QString& strText);

    const QString& GetBaseFolder() const { return m_strBaseFolder; }
    const QStringList& GetEntries() const { return m_lstEntries; }

    // The first entry as an absolute path, a symbolic link replaced by its
    // target; empty when there is no entry.
    QString GetCurrentPath() const;

    // The folder the browse dialog opens in: the path itself when it is a
    // folder, else the nearest existing folder above it, ending in "/"; empty
    // when none exists.
    static QString NearestExistingFolder(const QString& strPath);
    // The name the dialog proposes: only for a file that exists.
    static QString InitialFileName(const QString& strPath);

private:
    QString m_strBaseFolder;
    QStringList m_lstEntries;
};
