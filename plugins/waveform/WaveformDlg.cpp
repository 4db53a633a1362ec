#include "WaveformDlg.h"

#include "PlotView.h"
#include "ui_WaveformDlg.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QStackedWidget>

#include <algorithm>
#include <new>

namespace {

QString Number(double d)
{
    return QString::number(d, 'g', 7);
}

QString Count(int64_t n)
{
    return QString::number(static_cast<qlonglong>(n));
}

const char* const kImageNames[] = {"", "PNG", "BMP", "JPEG", "GIF"};

// A name typed without a suffix gets the one of the file's type, as file managers expect.
QString WithSuffix(const QString& strPath, const char* pszSuffix)
{
    if (strPath.isEmpty() || !QFileInfo(strPath).suffix().isEmpty())
        return strPath;
    return strPath + QLatin1Char('.') + QLatin1String(pszSuffix);
}

} // namespace

CWaveformDlg::CWaveformDlg(QWidget* pOwner)
    : QDialog(pOwner), m_pUi(std::make_unique<Ui::CWaveformDlg>())
{
    m_pUi->setupUi(this);
    m_settings = SWaveformSettings::Load();
    m_pUi->m_cboFormat->setCurrentIndex(static_cast<int>(m_settings.eFormat));
    m_pUi->m_cboByteOrder->setCurrentIndex(static_cast<int>(m_settings.eOrder));
    QLineEdit* const lstEdits[5] = {m_pUi->m_edtOffset, m_pUi->m_edtScale, m_pUi->m_edtOrigin, m_pUi->m_edtDx,
                                    m_pUi->m_edtX0};
    std::copy(lstEdits, lstEdits + 5, m_pEdits);
    ShowScaling();

    connect(m_pUi->m_cboFormat, &QComboBox::currentIndexChanged, this, &CWaveformDlg::OnFormatChanged);
    connect(m_pUi->m_cboByteOrder, &QComboBox::currentIndexChanged, this, &CWaveformDlg::OnFormatChanged);
    connect(m_pUi->m_chkScaling, &QCheckBox::toggled, this, &CWaveformDlg::OnScalingEdited);
    for (QLineEdit* pEdit : m_pEdits)
        connect(pEdit, &QLineEdit::editingFinished, this, &CWaveformDlg::OnScalingEdited);
    connect(m_pUi->m_plot, &CPlotView::ViewChanged, this, &CWaveformDlg::OnViewChanged);
    connect(m_pUi->m_plot, &CPlotView::CursorMoved, this, &CWaveformDlg::OnCursorMoved);
    connect(m_pUi->m_btnReset, &QPushButton::clicked, m_pUi->m_plot, &CPlotView::ResetView);
    connect(m_pUi->m_btnCsv, &QPushButton::clicked, this, &CWaveformDlg::OnExportCsv);
    connect(m_pUi->m_btnPng, &QPushButton::clicked, this, &CWaveformDlg::OnSavePng);
    connect(m_pUi->m_btnExit, &QPushButton::clicked, this, &QDialog::reject);
}

CWaveformDlg::~CWaveformDlg()
{
    // The view points into the data, which goes first.
    m_pUi->m_plot->SetSeries(nullptr, SWaveScaling());
}

void CWaveformDlg::LoadInput(const char* pData, int64_t nLength)
{
    m_pUi->m_plot->SetSeries(nullptr, m_settings.scaling);
    m_image = QImage();
    try {
        m_data.SetAnswer(pData, nLength);
    } catch (const std::bad_alloc&) {
        m_data.SetAnswer(nullptr, 0);
        Redecode();
        ShowMessage(tr("There is not enough memory to keep an answer of %1 bytes.").arg(Count(nLength)));
        return;
    }
    Redecode();
}

void CWaveformDlg::ShowScaling()
{
    const SWaveScaling& s = m_settings.scaling;
    const double lstValues[5] = {s.dOffset, s.dScale, s.dOrigin, s.dDx, s.dX0};
    m_pUi->m_chkScaling->setChecked(s.bEnabled);
    for (int n = 0; n < 5; ++n) {
        m_pEdits[n]->setText(QString::number(lstValues[n], 'g', 12));
        m_pEdits[n]->setEnabled(s.bEnabled);
    }
}

void CWaveformDlg::OnFormatChanged()
{
    m_settings.eFormat = static_cast<EWaveFormat>(m_pUi->m_cboFormat->currentIndex());
    m_settings.eOrder = static_cast<EByteOrder>(m_pUi->m_cboByteOrder->currentIndex());
    m_settings.Save();
    Redecode();
}

void CWaveformDlg::OnScalingEdited()
{
    SWaveScaling scaling = m_settings.scaling;
    scaling.bEnabled = m_pUi->m_chkScaling->isChecked();
    double* lstTargets[5] = {&scaling.dOffset, &scaling.dScale, &scaling.dOrigin, &scaling.dDx, &scaling.dX0};
    bool bAllValid = true;
    for (int n = 0; n < 5; ++n) {
        bool bOk = false;
        // Numbers are entered with a point in every language, as instruments write them.
        const double dValue = QLocale::c().toDouble(m_pEdits[n]->text().trimmed(), &bOk);
        if (bOk && dValue - dValue == 0)
            *lstTargets[n] = dValue;
        else
            bAllValid = false;
    }
    if (!bAllValid || !scaling.IsValid()) {
        ShowScaling();
        QMessageBox::warning(this, windowTitle(),
                             tr("The scaling needs numbers, and neither the scale nor dx may be 0."));
        return;
    }
    const SWaveScaling& old = m_settings.scaling;
    const bool bChanged = scaling.bEnabled != old.bEnabled || scaling.dOffset != old.dOffset
                       || scaling.dScale != old.dScale || scaling.dOrigin != old.dOrigin || scaling.dDx != old.dDx
                       || scaling.dX0 != old.dX0;
    m_settings.scaling = scaling;
    for (QLineEdit* pEdit : m_pEdits)
        pEdit->setEnabled(scaling.bEnabled);
    if (!bChanged)
        return;
    m_settings.Save();
    if (m_data.Report().eStatus == CWaveformData::EStatus::Samples)
        m_pUi->m_plot->SetSeries(&m_data.Series(), m_settings.scaling);
}

QString CWaveformDlg::FormatText(EWaveFormat eFormat, EByteOrder eOrder) const
{
    switch (eFormat) {
    case EWaveFormat::Text:
        return tr("text numbers");
    case EWaveFormat::Image:
        return tr("image");
    default:
        break;
    }
    const QString strType = QLatin1String(FormatKey(eFormat));
    if (SampleSize(eFormat) == 1)
        return strType;
    return eOrder == EByteOrder::Little ? tr("%1, little-endian").arg(strType) : tr("%1, big-endian").arg(strType);
}

QString CWaveformDlg::SampleWarnings() const
{
    const CWaveformData::SReport& r = m_data.Report();
    QStringList lst;
    if (r.nKeptBytes < r.nAnswerBytes)
        lst << tr("The answer has %1 bytes; only the first %2 are kept and shown.")
                   .arg(Count(r.nAnswerBytes), Count(r.nKeptBytes));
    if (r.nMissingBytes > 0)
        lst << tr("The block declares %1 bytes, but %2 of them never arrived; the samples received are shown.")
                   .arg(Count(r.nDeclared), Count(r.nMissingBytes));
    if (r.nTrailingBytes > 0)
        lst << tr("%1 bytes at the end make no whole sample and are left out.").arg(Count(r.nTrailingBytes));
    if (r.nInvalidTokens > 0)
        lst << tr("%1 items are not numbers and are left out.").arg(Count(r.nInvalidTokens));
    if (r.nDroppedValues > 0)
        lst << tr("Only the first %1 numbers are kept; %2 more are left out.")
                   .arg(Count(m_data.Series().Count()), Count(r.nDroppedValues));
    if (r.nNonFinite > 0)
        lst << tr("%1 samples are NaN or infinite and are left out of the plot and the statistics.")
                   .arg(Count(r.nNonFinite));
    return lst.join(QLatin1Char(' '));
}

void CWaveformDlg::ShowMessage(const QString& strText)
{
    m_pUi->m_lblMessage->setText(strText);
    m_pUi->m_lblMessage->setVisible(!strText.isEmpty());
}

void CWaveformDlg::Redecode()
{
    m_pUi->m_plot->SetSeries(nullptr, m_settings.scaling);
    m_image = QImage();
    m_pUi->m_lblStatistics->clear();
    m_pUi->m_lblCursor->clear();
    m_pUi->m_btnCsv->setEnabled(false);
    m_pUi->m_btnPng->setEnabled(false);
    m_pUi->m_btnReset->setEnabled(false);
    m_pUi->m_stack->setCurrentWidget(m_pUi->m_plot);
    const int64_t nAnswerBytes = m_data.Report().nAnswerBytes;
    try {
        m_data.Decode(m_settings.eFormat, m_settings.eOrder);
    } catch (const std::bad_alloc&) {
        // The text's numbers or the index did not fit; what was kept is given up.
        m_data.SetAnswer(nullptr, 0);
        m_data.Decode(EWaveFormat::Auto, EByteOrder::Auto);
        m_pUi->m_lblDetected->clear();
        ShowMessage(tr("There is not enough memory to keep an answer of %1 bytes.").arg(Count(nAnswerBytes)));
        return;
    }
    const CWaveformData::SReport& r = m_data.Report();
    const QString strFormat = FormatText(r.eFormat, r.eOrder);
    const bool bNothing = r.eStatus == CWaveformData::EStatus::NoAnswer || r.eStatus == CWaveformData::EStatus::Empty
                       || r.eStatus == CWaveformData::EStatus::BadBlock;
    m_pUi->m_lblDetected->setText(bNothing       ? QString()
                                  : r.bDetected ? tr("Detected: %1").arg(strFormat)
                                                : tr("Read as: %1").arg(strFormat));
    switch (r.eStatus) {
    case CWaveformData::EStatus::NoAnswer:
        ShowMessage(tr("No answer has been read from the instrument yet."));
        return;
    case CWaveformData::EStatus::Empty:
        ShowMessage(tr("The answer is empty."));
        return;
    case CWaveformData::EStatus::BadBlock:
        ShowMessage(tr("The answer starts like a binary block (#), but its header is not valid."));
        return;
    case CWaveformData::EStatus::NotNumbers:
        ShowMessage(tr("The answer is not a list of numbers (%1 items could not be read). "
                       "If it holds binary samples, choose their format.")
                        .arg(Count(r.nInvalidTokens)));
        return;
    case CWaveformData::EStatus::NoSamples:
        ShowMessage((tr("The answer holds no whole sample in this format.") + QLatin1Char(' ') + SampleWarnings())
                        .trimmed());
        return;
    case CWaveformData::EStatus::Image:
        ShowImage();
        return;
    case CWaveformData::EStatus::Samples:
        break;
    }
    ShowMessage(SampleWarnings());
    m_pUi->m_lblDetected->setText(m_pUi->m_lblDetected->text()
                                  + tr(", %1 samples").arg(Count(m_data.Series().Count())));
    m_pUi->m_btnCsv->setEnabled(true);
    m_pUi->m_btnPng->setEnabled(true);
    m_pUi->m_btnReset->setEnabled(true);
    m_pUi->m_plot->SetSeries(&m_data.Series(), m_settings.scaling);
}

void CWaveformDlg::ShowImage()
{
    m_pUi->m_stack->setCurrentWidget(m_pUi->m_scrImage);
    QByteArray baImage = m_data.ImageBytes();
    QBuffer buffer(&baImage);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const EImageType eImage = m_data.Report().eImage;
    m_image = reader.read();
    if (m_image.isNull()) {
        m_pUi->m_lblImage->clear();
        // Chosen by hand for something that is no image file at all.
        ShowMessage(eImage == EImageType::None
                        ? tr("The answer is not a PNG, BMP, JPEG or GIF image.")
                        : tr("The answer holds a %1 image that cannot be decoded: %2")
                              .arg(QLatin1String(kImageNames[static_cast<int>(eImage)]), reader.errorString()));
        return;
    }
    ShowMessage(m_data.Report().nKeptBytes < m_data.Report().nAnswerBytes ? SampleWarnings() : QString());
    m_pUi->m_lblImage->setPixmap(QPixmap::fromImage(m_image));
    const QString strType = eImage == EImageType::None ? QString::fromLatin1(reader.format().toUpper())
                                                       : QLatin1String(kImageNames[static_cast<int>(eImage)]);
    m_pUi->m_lblStatistics->setText(
        tr("%1 image, %2 \u00d7 %3 pixels").arg(strType).arg(m_image.width()).arg(m_image.height()));
    m_pUi->m_btnPng->setEnabled(true);
}

void CWaveformDlg::OnViewChanged()
{
    const SStatistics stats = SStatistics::From(m_pUi->m_plot->VisibleAggregate(), m_pUi->m_plot->Scaling());
    if (stats.nCount == 0) {
        m_pUi->m_lblStatistics->setText(tr("Count: 0"));
        return;
    }
    m_pUi->m_lblStatistics->setText(tr("Count: %1   Min: %2   Max: %3   Mean: %4   RMS: %5")
                               .arg(Count(stats.nCount), Number(stats.dMin), Number(stats.dMax), Number(stats.dMean),
                                    Number(stats.dRms)));
}

void CWaveformDlg::OnCursorMoved(bool bInside, double dX, double dY, qint64 nSample)
{
    QString strText;
    if (bInside)
        strText = tr("x = %1   y = %2").arg(Number(dX), Number(dY));
    if (bInside && nSample >= 0) {
        const SWaveScaling& scaling = m_pUi->m_plot->Scaling();
        strText += QStringLiteral("      ")
                 + tr("sample %1: x = %2, y = %3")
                       .arg(Count(nSample), Number(scaling.X(static_cast<double>(nSample))),
                            Number(scaling.Y(m_data.Series().Value(nSample))));
    }
    m_pUi->m_lblCursor->setText(strText);
}

void CWaveformDlg::OnExportCsv()
{
    const QString strPath = WithSuffix(QFileDialog::getSaveFileName(this, tr("Export the samples as CSV"), QString(),
                                                                    tr("CSV files (*.csv);;All files (*)")),
                                       "csv");
    if (strPath.isEmpty())
        return;
    QSaveFile file(strPath);
    // Ten million lines take a few seconds.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool bWritten =
        file.open(QIODevice::WriteOnly) && m_data.WriteCsv(file, m_pUi->m_plot->Scaling()) && file.commit();
    QApplication::restoreOverrideCursor();
    if (!bWritten)
        QMessageBox::warning(this, windowTitle(), tr("Could not write %1: %2").arg(strPath, file.errorString()));
}

void CWaveformDlg::OnSavePng()
{
    const QString strPath = WithSuffix(QFileDialog::getSaveFileName(this, tr("Save as PNG"), QString(),
                                                                    tr("PNG images (*.png);;All files (*)")),
                                       "png");
    if (strPath.isEmpty())
        return;
    const QImage image = m_image.isNull() ? m_pUi->m_plot->grab().toImage() : m_image;
    if (!image.save(strPath, "PNG"))
        QMessageBox::warning(this, windowTitle(), tr("Could not write %1.").arg(strPath));
}
