#pragma once

#include <QBrush>
#include <QColor>
#include <QPlainTextEdit>

// A read-only text box with its own colours, terminal style: the user may
// select and copy, but not type, open a context menu or close the dialog
// with Escape from inside it.
class CNyEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CNyEdit(QWidget* pParent = nullptr);

    // Call after changing m_crBackground or m_crText; the brush follows the
    // background colour.
    void ApplyColors();

    QColor m_crBackground = Qt::black;
    QColor m_crText = Qt::green;
    QBrush m_brBackground = QBrush(Qt::black);

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    bool event(QEvent* pEvent) override;
};
