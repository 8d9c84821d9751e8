#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// Marks this copy of the program as running, so that a later copy can tell that others run.
// Every copy holds its own lock file in a shared folder; the lock of a copy that crashed is
// recognised as stale and removed, so it leaves no mark behind.
class InstanceMark final {
public:
    // The folder shared by the copies of one user.
    static QString defaultFolder();

    explicit InstanceMark(const QString &folder = defaultFolder());
    ~InstanceMark();

    // Sets this copy's mark; returns whether another copy holds its mark.
    bool acquireAndCheckOthers();

private:
    QString m_folder;
    std::unique_ptr<QLockFile> m_own;
};
