// The recent-file list of the profile: the last 4 documents opened, newest first.
#pragma once

#include <QStringList>

class QSettings;

namespace tarsel {

class CRecentFileList {
  public:
    static constexpr int kSize = 4;

    explicit CRecentFileList(QSettings& settings) : m_settings(settings) {}

    void ReadList();
    void WriteList() const;
    // Puts path at the front; an entry already in the list moves there, the oldest drops.
    void Add(const QString& path);
    const QStringList& Files() const { return m_files; }

  private:
    QSettings& m_settings;
    QStringList m_files;
};

}  // namespace tarsel
