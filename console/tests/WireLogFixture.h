#pragma once

#include "ConsoleTestUtil.h"
#include "SimProcess.h"

#include <QTemporaryDir>

// velqsim with a wire log, for the tests that check the bytes the console
// sent: mark the log, act, then read what arrived since the mark.
class CWireLogFixture
{
protected:
    bool StartLoggedSim(const QStringList& lstMoreArgs = {})
    {
        if (!m_dir.isValid())
            return false;
        m_strLog = m_dir.filePath(QStringLiteral("wire.log"));
        return m_sim.Start(QStringList{QStringLiteral("--log"), m_strLog} + lstMoreArgs);
    }
    QStringList NewWireLines() const { return ReadWireLog(m_strLog).mid(m_nLogMark); }
    void MarkWireLog() { m_nLogMark = ReadWireLog(m_strLog).size(); }

    CSimProcess m_sim;
    QTemporaryDir m_dir;
    QString m_strLog;
    int m_nLogMark = 0;
};
