#include "ptydevice_posix.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

PtyDevice::~PtyDevice() {
    close();
}

bool PtyDevice::open(std::string &error) {
    close();
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        error = std::string("pseudo-terminal setup: ") + std::strerror(errno);
        ::close(master);
        return false;
    }
    // Configure the slave once; the settings stay with the terminal after this close.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) {
        error = std::string("open ") + name + ": " + std::strerror(errno);
        ::close(master);
        return false;
    }
    termios settings{};
    if (tcgetattr(slave, &settings) == 0) {
        cfmakeraw(&settings);
        cfsetispeed(&settings, B19200);
        cfsetospeed(&settings, B19200);
        tcsetattr(slave, TCSANOW, &settings);
    }
    ::close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    hungUp_ = true;
    slavePath_ = name;
    return true;
}

void PtyDevice::close() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
    hungUp_ = true;
}

PtyDevice::Events PtyDevice::wait(int timeoutMs, bool wantWrite, bool watchInput) {
    Events events;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    pollfd master{master_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0};

    if (master_ < 0 || hungUp_) {
        // Nobody on the line (or no line): wait for control input only, then look again.
        if (poll(watchInput ? &input : nullptr, watchInput ? 1 : 0, timeoutMs) > 0)
            events.input = input.revents != 0;
        input.revents = 0;
        if (master_ < 0)
            return events;
        if (poll(&master, 1, 0) < 0)
            master.revents = 0;
    } else {
        pollfd fds[2] = {master, input};
        if (poll(fds, watchInput ? 2 : 1, timeoutMs) < 0)
            return events; // interrupted by a signal
        master = fds[0];
        events.input = watchInput && fds[1].revents != 0;
    }
    events.readable = (master.revents & POLLIN) != 0;
    events.writable = (master.revents & POLLOUT) != 0;
    events.hungUp = (master.revents & (POLLHUP | POLLERR)) != 0;
    hungUp_ = events.hungUp;
    return events;
}

long PtyDevice::readSome(char *buffer, unsigned long size) {
    if (master_ < 0)
        return -1;
    const ssize_t n = ::read(master_, buffer, size);
    if (n > 0)
        return n;
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    return -1; // EIO: the slave side was closed
}

long PtyDevice::writeSome(const char *data, unsigned long size) {
    if (master_ < 0)
        return -1;
    const ssize_t n = ::write(master_, data, size);
    if (n >= 0)
        return n;
    return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
}

void PtyDevice::discardUnread() {
    if (master_ >= 0)
        tcflush(master_, TCOFLUSH);
}

void PtyDevice::discardDelivered() {
    discardUnread();
    if (master_ < 0)
        return;
    const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave >= 0) {
        tcflush(slave, TCIFLUSH);
        ::close(slave);
    }
}

long PtyDevice::readInput(char *buffer, unsigned long size) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, size);
    if (n >= 0)
        return n;
    return (errno == EAGAIN || errno == EINTR) ? -1 : 0;
}

bool PtyDevice::replaceLink(const std::string &link, const std::string &target,
                            std::string &error) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            error = link + " exists and is not a symbolic link";
            return false;
        }
        ::unlink(link.c_str());
    }
    if (::symlink(target.c_str(), link.c_str()) != 0) {
        error = "symlink " + link + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void PtyDevice::removeLink(const std::string &link) {
    struct stat info {};
    if (!link.empty() && lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        ::unlink(link.c_str());
}

void PtyDevice::ignoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
}
