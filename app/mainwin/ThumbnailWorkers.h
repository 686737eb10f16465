#pragma once
// Makes and reads page thumbnails on worker threads. The page list asks for the pictures
// of the items it shows; each picture is decoded (or read from its thumbnail file),
// framed and handed back to the GUI thread, which only has to put it on the item.
#include "PageImport.h"

#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

class TThumbnailWorkers : public QObject {
    Q_OBJECT
public:
    explicit TThumbnailWorkers(QObject *parent = nullptr);
    // Waits for the pictures being made: a thumbnail file is never left half written.
    ~TThumbnailWorkers() override;

    // Requests taken at once: two per worker (one per core), so that a worker finds the
    // next page waiting rather than idling while its last picture is placed.
    int Capacity() const { return 2 * m_pool.maxThreadCount(); }
    int Running() const { return static_cast<int>(m_running.size()); }
    bool IsRunning(const QString &pageFile) const { return m_running.contains(pageFile); }

    // Makes ThumbFile when it is not current (a placeholder for a page that cannot be
    // decoded), reads it and frames it; Loaded arrives on this object's thread. False when
    // the page is already being worked on.
    bool Start(const QString &pageFile, const QString &thumbFile);

    // Drops the requests not yet started and waits for the running ones.
    void WaitForDone();

signals:
    // Picture is null when neither the thumbnail nor the placeholder could be read. Page is
    // the file it was made from: pages are renamed and deleted while the workers run, so
    // it pictures PageFile only while the file there is still that one.
    void Loaded(const QString &pageFile, const FileIdentity &page, const QImage &picture);

private:
    QThreadPool m_pool;
    QSet<QString> m_running;
};
