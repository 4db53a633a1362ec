#pragma once

#include <QString>

#include <functional>

// Where the console keeps its two history files. Beside the executable, as
// a portable copy always did, while its folder is writable; otherwise in the
// user's data folder under the same file names, because a system-wide
// install would lose every history at exit without a word.
class CHistoryLocation
{
public:
    using WritableProbe = std::function<bool(const QString& strFolder)>;

    // strDataDir is the user's data folder (it need not exist yet); an empty
    // one leaves the files beside the executable. The probe answers whether
    // a folder is writable by this user; by default the file system is asked.
    CHistoryLocation(const QString& strExecutablePath, const QString& strDataDir,
                     WritableProbe fnWritable = WritableProbe());

    // The executable's path up to and including the last dot of its file
    // name, followed by the suffix; without a dot, "." and the suffix are
    // appended, so "velquist" gives "velquist.type" and not a bare "type" in
    // whatever the working folder is.
    static QString BesideExecutable(const QString& strExecutablePath, const QString& strSuffix);

    // A history already beside a read-only executable is read until the
    // user's own copy exists, so an administrator's seed is taken over once.
    QString LoadPath(const QString& strSuffix) const;
    QString SavePath(const QString& strSuffix) const;

private:
    bool UseDataFolder() const;
    QString InDataFolder(const QString& strSuffix) const;

    QString m_strExecutablePath;
    QString m_strDataDir;
    WritableProbe m_fnWritable;
};
