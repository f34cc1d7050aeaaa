#pragma once
// The folder of one transfer: "Kaptorix-upload-<UUID>" in the temporary folder, for its owner
// only (0700), removed with everything in it at the end. While it lives
// it holds a lock, so a sweep at start can tell the folders of ended processes from folders
// in use by another running Kaptorix. GUI thread only.

#include <QString>

namespace kx {

class WorkFolder {
public:
    WorkFolder();
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    bool ok() const { return ok_; }
    const QString& path() const { return path_; }
    void remove();

    // Writes the image to send, 0644: its mode is what sftp gives the copy on the server.
    static bool writeImage(const QString& path, const QByteArray& bytes, QString* why);
    // Removes every folder still in use here (quitting; the children are ended first).
    static void removeAll();
    // Removes this user's work folders that no live process holds and that are older than a
    // minute (a crash or a kill left them). Returns how many went.
    static int sweepStale(const QString& tempDir);

    static constexpr const char* kPrefix = "Kaptorix-upload-";

private:
    QString path_;
    int lock_ = -1;
    bool ok_ = false;
    bool removed_ = false;
};

}  // namespace kx
