#include "NyEdit.h"

#include <QKeyEvent>
#include <QScrollBar>

CNyEdit::CNyEdit(QWidget* pParent)
    : QPlainTextEdit(pParent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    setContextMenuPolicy(Qt::NoContextMenu);
    setUndoRedoEnabled(false);
    // Scrolling moves pixels; a full repaint leaves no trace of a line that
    // was drawn over the background brush.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    ApplyColors();
}

void CNyEdit::ApplyColors()
{
    m_brBackground = QBrush(m_crBackground);
    QPalette palette = this->palette();
    // Every colour group alike: the box looks the same with or without focus.
    for (QPalette::ColorGroup eGroup : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setBrush(eGroup, QPalette::Base, m_brBackground);
        palette.setColor(eGroup, QPalette::Text, m_crText);
    }
    setPalette(palette);
    viewport()->setAutoFillBackground(true);
    viewport()->update();
}

void CNyEdit::keyPressEvent(QKeyEvent* pEvent)
{
    if (pEvent->key() == Qt::Key_Escape) {
        pEvent->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(pEvent);
}

bool CNyEdit::event(QEvent* pEvent)
{
    // Claimed before shortcuts see it, so no dialog button bound to Escape
    // fires either.
    if (pEvent->type() == QEvent::ShortcutOverride
        && static_cast<QKeyEvent*>(pEvent)->key() == Qt::Key_Escape) {
        pEvent->accept();
        return true;
    }
    return QPlainTextEdit::event(pEvent);
}
