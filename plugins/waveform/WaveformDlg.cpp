#include "WaveformDlg.h"

#include "PlotView.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cstring>
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
    : QDialog(pOwner)
{
    setWindowTitle(tr("Waveform and Screenshot Viewer"));
    setSizeGripEnabled(true);
    m_settings = SWaveformSettings::Load();

    m_pFormat = new QComboBox(this);
    m_pFormat->setObjectName(QStringLiteral("m_cboFormat"));
    m_pFormat->addItems({tr("Automatic"), tr("Text numbers"), QStringLiteral("int8"), QStringLiteral("uint8"),
                         QStringLiteral("int16"), QStringLiteral("uint16"), QStringLiteral("int32"),
                         QStringLiteral("float32"), QStringLiteral("float64"), tr("Image")});
    m_pFormat->setCurrentIndex(static_cast<int>(m_settings.eFormat));
    m_pByteOrder = new QComboBox(this);
    m_pByteOrder->setObjectName(QStringLiteral("m_cboByteOrder"));
    m_pByteOrder->addItems({tr("Automatic"), tr("Little-endian (LSB first)"), tr("Big-endian (MSB first)")});
    m_pByteOrder->setCurrentIndex(static_cast<int>(m_settings.eOrder));
    m_pDetected = new QLabel(this);
    m_pDetected->setObjectName(QStringLiteral("m_lblDetected"));

    auto* pFormatRow = new QHBoxLayout;
    pFormatRow->addWidget(new QLabel(tr("&Format:"), this));
    pFormatRow->addWidget(m_pFormat);
    pFormatRow->addSpacing(12);
    pFormatRow->addWidget(new QLabel(tr("&Byte order:"), this));
    pFormatRow->addWidget(m_pByteOrder);
    pFormatRow->addSpacing(12);
    pFormatRow->addWidget(m_pDetected, 1);
    static_cast<QLabel*>(pFormatRow->itemAt(0)->widget())->setBuddy(m_pFormat);
    static_cast<QLabel*>(pFormatRow->itemAt(3)->widget())->setBuddy(m_pByteOrder);

    // The scaling reads as the formula it is: y = (raw - [offset]) x [scale] + [origin].
    m_pScaling = new QCheckBox(tr("&Scale:"), this);
    m_pScaling->setObjectName(QStringLiteral("m_chkScaling"));
    const char* const kEditNames[] = {"m_edtOffset", "m_edtScale", "m_edtOrigin", "m_edtDx", "m_edtX0"};
    for (int n = 0; n < 5; ++n) {
        m_pEdits[n] = new QLineEdit(this);
        m_pEdits[n]->setObjectName(QLatin1String(kEditNames[n]));
        m_pEdits[n]->setMaximumWidth(110);
    }
    auto* pScaleRow = new QHBoxLayout;
    pScaleRow->addWidget(m_pScaling);
    pScaleRow->addWidget(new QLabel(tr("y = (raw \u2212"), this));
    pScaleRow->addWidget(m_pEdits[0]);
    pScaleRow->addWidget(new QLabel(QStringLiteral(") \u00d7"), this));
    pScaleRow->addWidget(m_pEdits[1]);
    pScaleRow->addWidget(new QLabel(QStringLiteral("+"), this));
    pScaleRow->addWidget(m_pEdits[2]);
    pScaleRow->addSpacing(16);
    pScaleRow->addWidget(new QLabel(tr("x = index \u00d7"), this));
    pScaleRow->addWidget(m_pEdits[3]);
    pScaleRow->addWidget(new QLabel(QStringLiteral("+"), this));
    pScaleRow->addWidget(m_pEdits[4]);
    pScaleRow->addStretch(1);

    m_pPlot = new CPlotView(this);
    m_pPlot->setObjectName(QStringLiteral("m_plot"));
    m_pPlot->setToolTip(tr("Drag: zoom to the area\nRight or middle drag: pan\nWheel: zoom x, Ctrl+wheel: zoom y\n"
                           "Double click or Home: reset"));
    m_pImage = new QLabel;
    m_pImage->setObjectName(QStringLiteral("m_lblImage"));
    m_pImage->setAlignment(Qt::AlignCenter);
    m_pImageArea = new QScrollArea(this);
    m_pImageArea->setWidget(m_pImage);
    m_pImageArea->setWidgetResizable(true);
    m_pStack = new QStackedWidget(this);
    m_pStack->addWidget(m_pPlot);
    m_pStack->addWidget(m_pImageArea);

    m_pMessage = new QLabel(this);
    m_pMessage->setObjectName(QStringLiteral("m_lblMessage"));
    m_pMessage->setWordWrap(true);
    m_pMessage->setStyleSheet(QStringLiteral("color: #a04000"));
    m_pStatistics = new QLabel(this);
    m_pStatistics->setObjectName(QStringLiteral("m_lblStatistics"));
    m_pStatistics->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pCursor = new QLabel(this);
    m_pCursor->setObjectName(QStringLiteral("m_lblCursor"));

    m_pReset = new QPushButton(tr("&Reset view"), this);
    m_pCsv = new QPushButton(tr("Export &CSV..."), this);
    m_pCsv->setObjectName(QStringLiteral("m_btnCsv"));
    m_pPng = new QPushButton(tr("Save &PNG..."), this);
    m_pPng->setObjectName(QStringLiteral("m_btnPng"));
    auto* pExit = new QPushButton(tr("Ex&it"), this);
    pExit->setObjectName(QStringLiteral("m_btnExit"));
    pExit->setAutoDefault(false);
    for (QPushButton* pButton : {m_pReset, m_pCsv, m_pPng})
        pButton->setAutoDefault(false);
    auto* pButtonRow = new QHBoxLayout;
    pButtonRow->addWidget(m_pCursor, 1);
    pButtonRow->addWidget(m_pReset);
    pButtonRow->addWidget(m_pCsv);
    pButtonRow->addWidget(m_pPng);
    pButtonRow->addWidget(pExit);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pFormatRow);
    pLayout->addLayout(pScaleRow);
    pLayout->addWidget(m_pStack, 1);
    pLayout->addWidget(m_pMessage);
    pLayout->addWidget(m_pStatistics);
    pLayout->addLayout(pButtonRow);
    resize(920, 620);

    ShowScaling();
    connect(m_pFormat, &QComboBox::currentIndexChanged, this, &CWaveformDlg::OnFormatChanged);
    connect(m_pByteOrder, &QComboBox::currentIndexChanged, this, &CWaveformDlg::OnFormatChanged);
    connect(m_pScaling, &QCheckBox::toggled, this, &CWaveformDlg::OnScalingEdited);
    for (QLineEdit* pEdit : m_pEdits)
        connect(pEdit, &QLineEdit::editingFinished, this, &CWaveformDlg::OnScalingEdited);
    connect(m_pPlot, &CPlotView::ViewChanged, this, &CWaveformDlg::OnViewChanged);
    connect(m_pPlot, &CPlotView::CursorMoved, this, &CWaveformDlg::OnCursorMoved);
    connect(m_pReset, &QPushButton::clicked, m_pPlot, &CPlotView::ResetView);
    connect(m_pCsv, &QPushButton::clicked, this, &CWaveformDlg::OnExportCsv);
    connect(m_pPng, &QPushButton::clicked, this, &CWaveformDlg::OnSavePng);
    connect(pExit, &QPushButton::clicked, this, &QDialog::reject);
}

CWaveformDlg::~CWaveformDlg()
{
    // The view points into the data, which goes first.
    m_pPlot->SetSeries(nullptr, SWaveScaling());
}

void CWaveformDlg::LoadInput(const char* pData, int64_t nLength)
{
    m_pPlot->SetSeries(nullptr, m_settings.scaling);
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
    m_pScaling->setChecked(s.bEnabled);
    for (int n = 0; n < 5; ++n) {
        m_pEdits[n]->setText(QString::number(lstValues[n], 'g', 12));
        m_pEdits[n]->setEnabled(s.bEnabled);
    }
}

void CWaveformDlg::OnFormatChanged()
{
    m_settings.eFormat = static_cast<EWaveFormat>(m_pFormat->currentIndex());
    m_settings.eOrder = static_cast<EByteOrder>(m_pByteOrder->currentIndex());
    m_settings.Save();
    Redecode();
}

void CWaveformDlg::OnScalingEdited()
{
    SWaveScaling scaling = m_settings.scaling;
    scaling.bEnabled = m_pScaling->isChecked();
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
        m_pPlot->SetSeries(&m_data.Series(), m_settings.scaling);
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
    m_pMessage->setText(strText);
    m_pMessage->setVisible(!strText.isEmpty());
}

void CWaveformDlg::Redecode()
{
    m_pPlot->SetSeries(nullptr, m_settings.scaling);
    m_image = QImage();
    const int64_t nAnswerBytes = m_data.Report().nAnswerBytes;
    try {
        m_data.Decode(m_settings.eFormat, m_settings.eOrder);
    } catch (const std::bad_alloc&) {
        // The text's numbers or the index did not fit; what was kept is given up.
        m_data.SetAnswer(nullptr, 0);
        m_data.Decode(EWaveFormat::Auto, EByteOrder::Auto);
        m_pDetected->clear();
        ShowMessage(tr("There is not enough memory to keep an answer of %1 bytes.")
                        .arg(Count(nAnswerBytes)));
        return;
    }
    const CWaveformData::SReport& r = m_data.Report();
    m_pStatistics->clear();
    m_pCursor->clear();
    m_pCsv->setEnabled(false);
    m_pPng->setEnabled(false);
    m_pReset->setEnabled(false);
    m_pStack->setCurrentWidget(m_pPlot);

    const QString strFormat = FormatText(r.eFormat, r.eOrder);
    m_pDetected->setText(r.eStatus == CWaveformData::EStatus::NoAnswer || r.eStatus == CWaveformData::EStatus::Empty
                             ? QString()
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
    m_pDetected->setText(m_pDetected->text() + tr(", %1 samples").arg(Count(m_data.Series().Count())));
    m_pCsv->setEnabled(true);
    m_pPng->setEnabled(true);
    m_pReset->setEnabled(true);
    m_pPlot->SetSeries(&m_data.Series(), m_settings.scaling);
}

void CWaveformDlg::ShowImage()
{
    m_pStack->setCurrentWidget(m_pImageArea);
    QByteArray baImage = m_data.ImageBytes();
    QBuffer buffer(&baImage);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const EImageType eImage = m_data.Report().eImage;
    m_image = reader.read();
    if (m_image.isNull()) {
        m_pImage->clear();
        // Chosen by hand for something that is no image file at all.
        ShowMessage(eImage == EImageType::None
                        ? tr("The answer is not a PNG, BMP, JPEG or GIF image.")
                        : tr("The answer holds a %1 image that cannot be decoded: %2")
                              .arg(QLatin1String(kImageNames[static_cast<int>(eImage)]), reader.errorString()));
        return;
    }
    ShowMessage(m_data.Report().nKeptBytes < m_data.Report().nAnswerBytes ? SampleWarnings() : QString());
    m_pImage->setPixmap(QPixmap::fromImage(m_image));
    const QString strType = eImage == EImageType::None ? QString::fromLatin1(reader.format().toUpper())
                                                       : QLatin1String(kImageNames[static_cast<int>(eImage)]);
    m_pStatistics->setText(
        tr("%1 image, %2 \u00d7 %3 pixels").arg(strType).arg(m_image.width()).arg(m_image.height()));
    m_pPng->setEnabled(true);
}

void CWaveformDlg::OnViewChanged()
{
    const SStatistics stats = SStatistics::From(m_pPlot->VisibleAggregate(), m_pPlot->Scaling());
    if (stats.nCount == 0) {
        m_pStatistics->setText(tr("Count: 0"));
        return;
    }
    m_pStatistics->setText(tr("Count: %1   Min: %2   Max: %3   Mean: %4   RMS: %5")
                               .arg(Count(stats.nCount), Number(stats.dMin), Number(stats.dMax), Number(stats.dMean),
                                    Number(stats.dRms)));
}

void CWaveformDlg::OnCursorMoved(bool bInside, double dX, double dY)
{
    m_pCursor->setText(bInside ? tr("x = %1   y = %2").arg(Number(dX), Number(dY)) : QString());
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
    const bool bWritten = file.open(QIODevice::WriteOnly) && m_data.WriteCsv(file, m_pPlot->Scaling()) && file.commit();
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
    const QImage image = m_image.isNull() ? m_pPlot->grab().toImage() : m_image;
    if (!image.save(strPath, "PNG"))
        QMessageBox::warning(this, windowTitle(), tr("Could not write %1.").arg(strPath));
}
