// Linked into every test program: run directly (not through ctest, which gives each test folders
// of its own), a test keeps its settings, backups, history and single-instance marks in a
// temporary folder of its own, never in the user's.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <optional>

namespace {

struct PrivateFolders {
    PrivateFolders() {
        if (qEnvironmentVariableIsSet("VTK290_TEST_FOLDERS"))
            return;
        m_dir.emplace();
        for (const char *variable : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
            const QString path = m_dir->filePath(QString::fromLatin1(variable));
            QDir().mkpath(path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv(variable, path.toLocal8Bit());
        }
        qputenv("VTK290_TEST_FOLDERS", m_dir->path().toLocal8Bit());
    }
    std::optional<QTemporaryDir> m_dir;
};

const PrivateFolders g_folders;

} // namespace
