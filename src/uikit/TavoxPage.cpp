#include "uikit/TavoxPage.h"

CTavoxPage::CTavoxPage(const QString& caption, MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent)
    , m_caption(caption)
    , m_boxes(boxes)
{
    setWindowTitle(caption);
}

void CTavoxPage::SetModified(bool changed)
{
    if (m_modified == changed)
        return;
    m_modified = changed;
    emit modifiedChanged(changed);
}

void CTavoxPage::ensureInitialized()
{
    if (m_initialized)
        return;
    m_initialized = true;
    OnInitDialog();
}
