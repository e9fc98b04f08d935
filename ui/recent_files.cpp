// The recent-file list, kept in the profile as "Recent File List/File1" to "File4".
#include "ui/recent_files.h"

#include <QFileInfo>
#include <QSettings>

namespace tarsel {

namespace {

const QString kSection = QStringLiteral("Recent File List");

QString Key(int index) {
    return kSection + QStringLiteral("/File") + QString::number(index + 1);
}

}  // namespace

void CRecentFileList::ReadList() {
    m_files.clear();
    for (int i = 0; i < kSize; ++i) {
        const QString path = m_settings.value(Key(i)).toString();
        if (!path.isEmpty() && !m_files.contains(path)) {
            m_files.append(path);
        }
    }
}

void CRecentFileList::WriteList() const {
    m_settings.remove(kSection);
    for (int i = 0; i < m_files.size(); ++i) {
        m_settings.setValue(Key(i), m_files[i]);
    }
    m_settings.sync();
}

void CRecentFileList::Add(const QString& path) {
    const QString whole = QFileInfo(path).absoluteFilePath();
    m_files.removeAll(whole);
    m_files.prepend(whole);
    while (m_files.size() > kSize) {
        m_files.removeLast();
    }
}

}  // namespace tarsel
