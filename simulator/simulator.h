#pragma once

#include "kt290device.h"
#include "ptydevice_posix.h"
#include "transcript.h"

#include <chrono>
#include <csignal>
#include <deque>
#include <string>
#include <utility>

// Runs one simulated KT 290: owns the pseudo-terminal, feeds the device the bytes the program
// sends, sends back what the device answers at the right moment, and takes control lines.
class Simulator {
public:
    struct Options {
        Kt290Device::Type type = Kt290Device::Type::X1;
        std::string fault = "none";
        std::string unknown = "none";
        std::string link;
        std::string transcript;
        bool watchStdin = true;
    };

    explicit Simulator(Options options);
    int run(volatile std::sig_atomic_t &stopRequested);

private:
    using Clock = std::chrono::steady_clock;

    bool plug();
    void unplug();
    void slaveClosed();
    void handleInput();
    void handleControl(const std::string &line);
    void handleBytes(const char *data, long count);
    void schedule(const Kt290Device::Reaction &reaction);
    void sendDue();
    int nextTimeoutMs() const;

    Options options_;
    Kt290Device device_;
    PtyDevice pty_;
    Transcript transcript_;
    bool slaveOpen_ = false;
    bool quit_ = false;
    std::string inputLine_;
    std::deque<std::pair<Clock::time_point, std::string>> scheduled_; // ordered by time
    std::string outgoing_;
    // A flood comes no faster than the serial line carries it.
    double floodCredit_ = 0;
    Clock::time_point floodCreditAt_ = Clock::now();
    const Clock::time_point started_ = Clock::now();
};
