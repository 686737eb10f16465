#include "PageEditSession.h"

#include "ImageFiles.h"

#include <utility>

void PageEditSession::Open(const QString &path, const FileIdentity &identity, const TCodecImage &loaded)
{
    Close();
    if (!loaded.Dib)
        return;
    m_path = path;
    m_identity = identity;
    m_xResolution = loaded.XResolution;
    m_yResolution = loaded.YResolution;
    m_current.reset(loaded.Dib);
}

void PageEditSession::Close()
{
    m_undo.reset();
    m_current.reset();
    m_undoIsCurrent = true;
    m_modified = m_canUndo = false;
    m_path.clear();
    m_identity = {};
    m_xResolution = m_yResolution = 0;
}

void PageEditSession::Change(HGLOBAL image)
{
    if (!image)
        return;
    if (!IsOpen()) {
        GlobalFree(image);
        return;
    }
    m_modified = true;
    m_canUndo = true;
    if (image == m_current.get()) {
        m_undo.reset();
        m_undoIsCurrent = true;
        m_canUndo = false;
        return;
    }
    if (!m_undoIsCurrent && image == m_undo.get()) {
        std::swap(m_current, m_undo);
        return;
    }
    m_undo = std::move(m_current);
    m_undoIsCurrent = false;
    m_current.reset(image);
}

bool PageEditSession::StepBack()
{
    if (!m_canUndo || m_undoIsCurrent || !m_undo)
        return false;
    std::swap(m_current, m_undo);
    m_canUndo = false;
    return true;
}

void PageEditSession::Forget()
{
    m_modified = m_canUndo = false;
    m_identity = {}; // whatever takes the page's name later is another page
}

PageEditSession::WriteResult PageEditSession::WriteBack()
{
    if (!IsOpen() || !m_identity.Exists || FileIdentity::Of(m_path) != m_identity)
        return WriteResult::FileChanged;
    if (SaveImageFile({m_xResolution, m_yResolution, m_current.get()}, m_path) != 1)
        return WriteResult::SaveFailed;
    m_identity = FileIdentity::Of(m_path);
    m_modified = m_canUndo = false;
    return WriteResult::Written;
}
