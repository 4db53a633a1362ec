#pragma once

#include "FileEditPath.h"

#include <QLineEdit>
#include <QRect>

class CFECFileDialog;
class QPixmap;

// A path box with a "..." browse button drawn inside its frame at the right
// end. The button or Ctrl+"." opens CFECFileDialog in the folder of the path
// typed; the chosen file replaces the text.
class CFileEditCtrl : public QLineEdit
{
    Q_OBJECT

public:
    enum EButtonState { kButtonNormal, kButtonPressed, kButtonDisabled };

    explicit CFileEditCtrl(QWidget* pParent = nullptr);
    ~CFileEditCtrl() override;

    // -1 (the default) makes the button 80 % of the client height wide.
    void SetButtonWidth(int nWidth);
    QRect GetButtonRect() const { return m_rcButton; }
    EButtonState GetButtonState() const;
    CFECFileDialog* GetFileDialog() const { return m_pFileDialog; }

    // Parses the text again if it changed since the last parse; the owning
    // dialog calls this when it takes the control values over.
    void UpdateEntries();
    const CFileEditPath& GetPath() const { return m_path; }

    // Shows the file dialog as the button does; true when the text was set.
    bool Browse();

signals:
    // Before the dialog opens; setting *pbCancel ends the browse.
    void BrowseStarting(CFileEditCtrl* pCtrl, bool* pbCancel);
    // After it closed; pstrText is null when the user cancelled. Setting
    // *pbKeepText leaves the control's text as it was.
    void BrowseFinished(CFileEditCtrl* pCtrl, const QString* pstrText, bool* pbKeepText);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

private:
    void RecalcLayout();
    bool PressButton(QMouseEvent* pEvent);
    void EndPress();
    void SetPressedLook(bool bPressed);
    QPixmap RenderButton() const;

    QRect m_rcButton;
    int m_nButtonWidth = -1;
    bool m_bPressedLook = false;
    bool m_bPressing = false;
    bool m_bTextChanged = true;
    CFileEditPath m_path;
    CFECFileDialog* m_pFileDialog = nullptr;
};
