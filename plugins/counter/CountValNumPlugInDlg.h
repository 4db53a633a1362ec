#pragma once

#include "PluginContract.h"

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class CCountValNumPlugInDlg;
}

// Shows the last answer as text and counts the separators in it, so that an
// engineer sees how many comma-separated values the instrument returned.
class CCountValNumPlugInDlg : public QDialog
{
    Q_OBJECT

public:
    // The catalogue sits under a resource path of this library's own: every
    // module of the process shares one resource tree.
    static constexpr const char* kCataloguePath = ":/velqnumcounter/i18n/velqnumcounter_zh_CN.qm";

    explicit CCountValNumPlugInDlg(QWidget* pParent = nullptr);
    ~CCountValNumPlugInDlg() override;

    void LoadInput(const PlugInInput& input);
    // Replaces the whole text with the answer, cut to the box's limit, and
    // counts in the whole answer with the separator in the box.
    void LoadAnswerText(QLatin1String answer);
    void OnCalculate();

    // bSave: controls into members; otherwise members into controls.
    void UpdateData(bool bSave);

    QString m_strValues;
    QString m_strSeparator = QStringLiteral(",");

private:
    void ShowCount(qsizetype nCount);

    std::unique_ptr<Ui::CCountValNumPlugInDlg> m_pUi;
};
