#pragma once
// The images of the page the viewer shows, each block with one owner: the page as loaded
// or as changed since (current), and the image the last change replaced (undo). A change
// goes back only to the file the page was loaded from, and only while it is still that
// file. No screen is involved, so the rules can be tested on their own.
#include "FileIdentity.h"
#include "codec.h"

#include <arkavo/GlobalBlock.h>

#include <QString>

class PageEditSession {
public:
    enum class WriteResult { Written, FileChanged, SaveFailed };

    // Starts on a page read from Path, whose file had Identity when it was read; takes
    // Loaded.Dib (null leaves no page open).
    void Open(const QString &path, const FileIdentity &identity, const TCodecImage &loaded);
    // Frees every image; no page is open afterwards.
    void Close();
    bool IsOpen() const { return bool(m_current); }

    const QString &Path() const { return m_path; }
    int XResolution() const { return m_xResolution; }
    int YResolution() const { return m_yResolution; }
    // The page's image as it is now; the session keeps owning it.
    HGLOBAL Current() const { return m_current.get(); }
    // The image a step back brings back; right after loading, the loaded image itself.
    HGLOBAL UndoImage() const { return m_undoIsCurrent ? m_current.get() : m_undo.get(); }
    // Whether the page differs from its file.
    bool Modified() const { return m_modified; }
    bool CanUndo() const { return m_canUndo; }
    // Whether the session owns this block.
    bool Holds(HGLOBAL image) const { return image && (image == m_current.get() || image == m_undo.get()); }

    // Image replaces the current one and the session owns it from now on; the image it
    // replaces becomes the undo image, and the undo image before that is freed. A block
    // the session holds already is not taken twice: the current image again leaves
    // nothing to undo, the undo image is a step back. Without an open page Image is freed.
    void Change(HGLOBAL image);
    // One step back, once per change: the undo image is current again. The page stays
    // modified, so the image brought back is what is written.
    bool StepBack();
    // The page is going away: nothing of it is ever written. The images stay on screen.
    void Forget();
    // Writes the current image to the page's file when that is still the file loaded;
    // once written the page counts as unchanged and there is no step back.
    WriteResult WriteBack();

private:
    QString m_path;
    FileIdentity m_identity;
    int m_xResolution = 0, m_yResolution = 0;
    arkavo::GlobalBlock m_current;
    arkavo::GlobalBlock m_undo; // empty while the undo image is the current one
    bool m_undoIsCurrent = true;
    bool m_modified = false;
    bool m_canUndo = false;
};
