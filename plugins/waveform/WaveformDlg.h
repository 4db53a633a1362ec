#pragma once

#include "WaveformData.h"
#include "WaveformSettings.h"

#include <QDialog>
#include <QImage>

#include <cstdint>
#include <memory>

class QLineEdit;

namespace Ui {
class CWaveformDlg;
}

// The plug-in's window: the last answer as a plot of its samples or as the
// image it holds, with the format, the scaling and the figures of the
// visible range. Exit and the close box only hide it.
class CWaveformDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CWaveformDlg(QWidget* pOwner);
    ~CWaveformDlg() override;

    // Copies what it keeps; pData is null before the console's first read.
    void LoadInput(const char* pData, int64_t nLength);

private:
    void OnFormatChanged();
    void OnScalingEdited();
    void OnViewChanged();
    void OnCursorMoved(bool bInside, double dX, double dY, qint64 nSample);
    void OnExportCsv();
    void OnSavePng();

    void Redecode();
    void ShowImage();
    void ShowMessage(const QString& strText);
    QString FormatText(EWaveFormat eFormat, EByteOrder eOrder) const;
    QString SampleWarnings() const;
    void ShowScaling();

    CWaveformData m_data;
    SWaveformSettings m_settings;
    QImage m_image;

    std::unique_ptr<Ui::CWaveformDlg> m_pUi;
    QLineEdit* m_pEdits[5] = {}; // offset, scale, origin, dx, x0
};
