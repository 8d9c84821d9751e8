#pragma once

#include <string>

// The one place that talks to the operating system: a pseudo-terminal whose slave side plays
// the device's serial port, standard input for control lines, the link to the port and signals.
class PtyDevice {
public:
    struct Events {
        bool readable = false; // the program sent bytes
        bool writable = false;
        bool hungUp = false; // no program has the port open
        bool input = false;  // standard input has a line (or its end)
    };

    PtyDevice() = default;
    ~PtyDevice();
    PtyDevice(const PtyDevice &) = delete;
    PtyDevice &operator=(const PtyDevice &) = delete;

    // A new pseudo-terminal with a raw slave (no echo, no translation). The slave is not kept open.
    bool open(std::string &error);
    void close();
    bool isOpen() const { return master_ >= 0; }
    const std::string &slavePath() const { return slavePath_; }

    // Waits at most timeoutMs. While nobody has the slave open the master reports a hang-up at
    // once; then only standard input is waited for, so the caller never spins.
    Events wait(int timeoutMs, bool wantWrite, bool watchInput);

    long readSome(char *buffer, unsigned long size);      // > 0 bytes, 0 none, -1 gone
    long writeSome(const char *data, unsigned long size); // bytes written, 0 would block, -1 gone
    void discardUnread();    // forgets what was sent to a program that closed the port
    void discardDelivered(); // also what waits unread at the program's end of the line

    static long readInput(char *buffer, unsigned long size); // > 0 bytes, 0 end, -1 none now
    static bool replaceLink(const std::string &link, const std::string &target, std::string &error);
    static void removeLink(const std::string &link);
    static void ignoreBrokenPipe();

private:
    int master_ = -1;
    bool hungUp_ = true;
    std::string slavePath_;
};
