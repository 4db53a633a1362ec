#include "HyperLink.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFontMetrics>
#include <QLayout>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QUrl>

CHyperLink::CHyperLink(QWidget* pParent)
    : CHyperLink(QString(), pParent)
{
}

CHyperLink::CHyperLink(const QString& strText, QWidget* pParent)
    : QLabel(strText, pParent)
    , m_crLinkColour(0, 0, 238)
    , m_crVisitedColour(85, 26, 139)
    , m_crHoverColour(255, 0, 0)
    , m_bOverControl(false)
    , m_bVisited(false)
    , m_eUnderline(kUnderlineHover)
    , m_bAdjustToFit(true)
    , m_bAttached(false)
    , m_bHasLinkCursor(false)
    , m_bPressed(false)
{
    m_tmHover.setInterval(kHoverTimerMs);
    connect(&m_tmHover, &QTimer::timeout, this, &CHyperLink::OnHoverTimer);
}

CHyperLink::~CHyperLink()
{
    m_tmHover.stop();
}

CHyperLink* CHyperLink::AttachTo(QLabel* pStatic)
{
    if (!pStatic)
        return nullptr;
    if (auto* pLink = qobject_cast<CHyperLink*>(pStatic))
    {
        if (!pLink->IsAttached())
            pLink->Attach();
        return pLink;
    }
    QWidget* pParent = pStatic->parentWidget();
    auto* pLink = new CHyperLink(pStatic->text(), pParent);
    pLink->setObjectName(pStatic->objectName());
    const auto lstNames = pStatic->dynamicPropertyNames();
    for (const QByteArray& baName : lstNames)
        pLink->setProperty(baName.constData(), pStatic->property(baName.constData()));
    pLink->setFont(pStatic->font());
    pLink->setAlignment(pStatic->alignment());
    pLink->setFrameStyle(pStatic->frameStyle());
    pLink->setContentsMargins(pStatic->contentsMargins());
    pLink->setEnabled(pStatic->isEnabled());
    pLink->setGeometry(pStatic->geometry());
    if (pParent && pParent->layout())
        pParent->layout()->replaceWidget(pStatic, pLink);
    pLink->stackUnder(pStatic);
    pLink->setVisible(!pStatic->isHidden());
    delete pStatic;
    pLink->Attach();
    return pLink;
}

void CHyperLink::Attach()
{
    // Clicks and moves must reach us even with no button held.
    setMouseTracking(true);
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setOpenExternalLinks(false);

    if (m_strLinkTarget.isEmpty())
        m_strLinkTarget = text();
    if (text().isEmpty())
        setText(m_strLinkTarget);

    m_fontStd = font();
    m_fontUnderline = m_fontStd;
    m_fontUnderline.setUnderline(true);
    m_bAttached = true;

    FitToText();

    setCursor(Qt::PointingHandCursor);
    m_bHasLinkCursor = true;

    SetUnderlineMode(kUnderlineHover);
    setToolTip(m_strLinkTarget);
}

void CHyperLink::SetLinkTarget(const QString& strTarget)
{
    m_strLinkTarget = strTarget;
    if (m_bAttached)
    {
        FitToText();
        setToolTip(m_strLinkTarget);
    }
}

void CHyperLink::SetUnderlineMode(EUnderline eMode)
{
    if (eMode != m_eUnderline && m_bAttached)
    {
        setFont(eMode == kUnderlineAlways ? m_fontUnderline : m_fontStd);
        update();
    }
    m_eUnderline = eMode;
}

void CHyperLink::SetLinkColour(const QColor& cr)
{
    m_crLinkColour = cr;
    update();
}

void CHyperLink::SetVisitedColour(const QColor& cr)
{
    m_crVisitedColour = cr;
    update();
}

void CHyperLink::SetHoverColour(const QColor& cr)
{
    m_crHoverColour = cr;
    update();
}

void CHyperLink::SetVisited(bool bVisited)
{
    m_bVisited = bVisited;
    update();
}

QColor CHyperLink::CurrentTextColour() const
{
    if (m_bOverControl)
        return m_crHoverColour;
    return m_bVisited ? m_crVisitedColour : m_crLinkColour;
}

void CHyperLink::SetFallbackLauncher(LaunchFunction fnLaunch)
{
    m_fnFallback = std::move(fnLaunch);
}

void CHyperLink::FitToText()
{
    if (!m_bAdjustToFit || !m_bAttached)
        return;

    const QRect rcWindow = geometry();
    const QRect rcClient = contentsRect();
    const int nBorderX = rcWindow.width() - rcClient.width();
    const int nBorderY = rcWindow.height() - rcClient.height();

    // Measured underlined so that switching the underline on never clips.
    const QSize sizeText = QFontMetrics(m_fontUnderline).size(0, text());
    const Qt::Alignment eAlign = alignment();
    QRect rcNew = rcWindow;

    const int nHeight = sizeText.height() + nBorderY;
    if (eAlign & Qt::AlignVCenter)
        rcNew.moveTop((rcWindow.top() + rcWindow.top() + rcWindow.height()) / 2 - nHeight / 2);
    rcNew.setHeight(nHeight);

    const int nWidth = sizeText.width() + nBorderX;
    const int nRightExcl = rcWindow.left() + rcWindow.width();
    if (eAlign & Qt::AlignHCenter)
        rcNew.moveLeft((rcWindow.left() + nRightExcl) / 2 - nWidth / 2);
    else if (eAlign & Qt::AlignRight)
        rcNew.moveLeft(nRightExcl - nWidth);
    rcNew.setWidth(nWidth);

    setGeometry(rcNew);
}

int CHyperLink::OpenLinkTarget()
{
    m_bOverControl = false;

    int nResult = OpenWithDesktop(m_strLinkTarget) ? kOpenSucceeded : kErrorNoAssociation;
    if (nResult <= 32)
        nResult = m_fnFallback ? m_fnFallback(m_strLinkTarget) : LaunchRegisteredBrowser(m_strLinkTarget);

    m_bVisited = (nResult > 32);
    update();
    if (!m_bVisited)
    {
        QApplication::beep();
        QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                        tr("Unable to open hyperlink:\n\n") + OpenErrorText(nResult), QMessageBox::Ok, this);
        box.exec();
    }
    emit LinkOpened(nResult);
    return nResult;
}

bool CHyperLink::OpenWithDesktop(const QString& strTarget)
{
    if (strTarget.isEmpty())
        return false;
    // An existing relative path is a document, not a host name.
    const QUrl url = QUrl::fromUserInput(strTarget, QDir::currentPath());
    return url.isValid() && QDesktopServices::openUrl(url);
}

QString CHyperLink::OpenErrorText(int nCode)
{
    switch (nCode)
    {
    case 0:
        return tr("The operating system is out\nof memory or resources.");
    case 2:
        return tr("The specified file was not found.");
    case 3:
        return tr("The specified path was not found.");
    case 5:
        return tr("The operating system denied\naccess to the specified file.");
    case 8:
        return tr("There was not enough memory to complete the operation.");
    case 11:
        return tr("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26:
        return tr("A sharing violation occurred. ");
    case 27:
        return tr("The filename association is\nincomplete or invalid.");
    case 28:
        return tr("The DDE transaction could not\nbe completed because the request timed out.");
    case 29:
        return tr("The DDE transaction failed.");
    case 30:
        return tr("The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.");
    case 31:
        return tr("There is no application associated\nwith the given filename extension.");
    case 32:
        return tr("The specified dynamic-link library was not found.");
    default:
        return tr("Unknown Error (%1) occurred.").arg(nCode);
    }
}

int CHyperLink::LaunchRegisteredBrowser(const QString& strTarget)
{
    // A browser started on nothing would open its home page and report success.
    if (strTarget.isEmpty())
        return kErrorFileNotFound;
    QString strProgram;
    QStringList lstArgs;
    const int nFound = CBrowserLookup::FindBrowser(strTarget, &strProgram, &lstArgs);
    if (nFound != CBrowserLookup::kFound)
        return nFound;
    // The program exists and may run, so a failed start is the system's
    // resources giving out (fork, file descriptors).
    if (!QProcess::startDetached(strProgram, lstArgs))
        return 0;
    return kOpenSucceeded;
}

void CHyperLink::paintEvent(QPaintEvent* pEvent)
{
    Q_UNUSED(pEvent);
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    drawFrame(&painter);
    painter.setFont(font());
    painter.setPen(CurrentTextColour());
    painter.drawText(contentsRect(), static_cast<int>(alignment()), text());
}

void CHyperLink::mouseMoveEvent(QMouseEvent* pEvent)
{
    QLabel::mouseMoveEvent(pEvent);
    if (!m_bAttached || m_bOverControl)
        return;
    m_bOverControl = true;
    if (m_eUnderline == kUnderlineHover)
        setFont(m_fontUnderline);
    update();
    m_tmHover.start();
}

void CHyperLink::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton)
    {
        QLabel::mousePressEvent(pEvent);
        return;
    }
    m_bPressed = true;
    pEvent->accept();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton)
    {
        QLabel::mouseReleaseEvent(pEvent);
        return;
    }
    const bool bWasPressed = m_bPressed;
    m_bPressed = false;
    pEvent->accept();
    if (m_bAttached && bWasPressed && rect().contains(pEvent->position().toPoint()))
        OpenLinkTarget();
}

void CHyperLink::leaveEvent(QEvent* pEvent)
{
    QLabel::leaveEvent(pEvent);
    // Where the global pointer position is not known outside our windows
    // (Wayland), the timer alone would keep the link lit forever.
    if (m_bOverControl || m_tmHover.isActive())
        EndHover();
}

void CHyperLink::OnHoverTimer()
{
    if (!rect().contains(mapFromGlobal(QCursor::pos())))
        EndHover();
}

void CHyperLink::EndHover()
{
    m_bOverControl = false;
    m_tmHover.stop();
    if (m_eUnderline != kUnderlineAlways)
        setFont(m_fontStd);
    update();
}
