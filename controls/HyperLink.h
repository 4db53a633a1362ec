#pragma once

#include "BrowserLookup.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QStringList>
#include <QTimer>

#include <functional>

class QUrl;

// A static text that acts as a link: coloured, underlined, a pointing hand,
// the target as its tool tip, and a click that opens the target. Results
// follow the desktop "open" action: above 32 is success, 32 and below are the
// error codes whose texts OpenErrorText gives.
class CHyperLink : public QLabel
{
    Q_OBJECT

public:
    enum EUnderline { kUnderlineHover, kUnderlineAlways };

    using LaunchFunction = std::function<int(const QString& strTarget)>;

    static constexpr int kHoverTimerMs = 100;
    static constexpr int kOpenSucceeded = 33;
    static constexpr int kErrorFileNotFound = CBrowserLookup::kErrorFileNotFound;
    static constexpr int kErrorAccessDenied = CBrowserLookup::kErrorAccessDenied;
    static constexpr int kErrorAssocIncomplete = CBrowserLookup::kErrorAssocIncomplete;
    static constexpr int kErrorNoAssociation = CBrowserLookup::kErrorNoAssociation;

    explicit CHyperLink(QWidget* pParent = nullptr);
    CHyperLink(const QString& strText, QWidget* pParent = nullptr);
    ~CHyperLink() override;

    // Replaces a label of a form by a link that takes over its place, text,
    // font, alignment and properties (the control id among them), deletes the
    // label and returns the attached link.
    static CHyperLink* AttachTo(QLabel* pStatic);
    // Turns this control into a working link; the target and text settings
    // made before take effect here.
    void Attach();
    bool IsAttached() const { return m_bAttached; }

    void SetLinkTarget(const QString& strTarget);
    QString GetLinkTarget() const { return m_strLinkTarget; }
    void SetUnderlineMode(EUnderline eMode);
    EUnderline GetUnderlineMode() const { return m_eUnderline; }
    void SetFitToText(bool bFit) { m_bAdjustToFit = bFit; }
    bool GetFitToText() const { return m_bAdjustToFit; }

    void SetLinkColour(const QColor& cr);
    void SetVisitedColour(const QColor& cr);
    void SetHoverColour(const QColor& cr);
    QColor GetLinkColour() const { return m_crLinkColour; }
    QColor GetVisitedColour() const { return m_crVisitedColour; }
    QColor GetHoverColour() const { return m_crHoverColour; }
    QColor CurrentTextColour() const;

    bool IsHovering() const { return m_bOverControl; }
    bool IsVisited() const { return m_bVisited; }
    void SetVisited(bool bVisited);

    // The second try after the desktop's default open; an empty function
    // restores LaunchRegisteredBrowser.
    void SetFallbackLauncher(LaunchFunction fnLaunch);

    // Opens the target as a click does; returns the result code.
    int OpenLinkTarget();
    void FitToText();

    static QString OpenErrorText(int nCode);
    // Starts the desktop's registered web browser on strTarget.
    static int LaunchRegisteredBrowser(const QString& strTarget);

signals:
    void LinkOpened(int nResult);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;

private:
    void OnHoverTimer();
    void EndHover();
    static bool OpenWithDesktop(const QString& strTarget);

    QString m_strLinkTarget;
    QColor m_crLinkColour;
    QColor m_crVisitedColour;
    QColor m_crHoverColour;
    bool m_bOverControl;
    bool m_bVisited;
    EUnderline m_eUnderline;
    bool m_bAdjustToFit;
    bool m_bAttached;
    bool m_bHasLinkCursor;
    bool m_bPressed;
    QFont m_fontStd;
    QFont m_fontUnderline;
    QTimer m_tmHover;
    LaunchFunction m_fnFallback;
};
