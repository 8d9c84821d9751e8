#include "simulator.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {
constexpr int PollMs = 10;
constexpr std::size_t FloodBacklog = 4096;
// 19200 baud with 8 data bits, no parity and 1 stop bit carry 1920 bytes a second.
constexpr double LineBytesPerSecond = 1920.0;
constexpr double MaxFloodCredit = 256.0;
} // namespace

Simulator::Simulator(Options options)
    : options_(std::move(options))
    , device_(options_.type) {}

int Simulator::run(volatile std::sig_atomic_t &stopRequested) {
    if (!options_.transcript.empty() && !transcript_.open(options_.transcript)) {
        std::cerr << "vtk290-sim: cannot write transcript " << options_.transcript << '\n';
        return 1;
    }
    std::string error;
    if (!device_.setFault(options_.fault, error)) {
        std::cerr << "vtk290-sim: " << error << '\n';
        return 1;
    }
    if (!device_.setUnknown(options_.unknown)) {
        std::cerr << "vtk290-sim: --unknown needs none, now or late\n";
        return 1;
    }
    if (!plug())
        return 1;

    while (!quit_ && !stopRequested) {
        const bool wantWrite = slaveOpen_ && !outgoing_.empty();
        const auto events = pty_.wait(nextTimeoutMs(), wantWrite, options_.watchStdin);
        if (events.input)
            handleInput(); // before the line, so a control line written first acts first
        if (quit_ || !pty_.isOpen())
            continue;
        if (!slaveOpen_ && (!events.hungUp || events.readable)) {
            slaveOpen_ = true;
            transcript_.event("OPEN");
        }
        if (events.readable) {
            char buffer[512];
            const long n = pty_.readSome(buffer, sizeof buffer);
            if (n > 0)
                handleBytes(buffer, n);
            if (!pty_.isOpen())
                continue; // the device vanished
        }
        if (events.hungUp) {
            if (slaveOpen_)
                slaveClosed();
            continue;
        }
        sendDue();
    }
    unplug();
    return 0;
}

bool Simulator::plug() {
    std::string error;
    if (!pty_.open(error)) {
        std::cerr << "vtk290-sim: " << error << '\n';
        return false;
    }
    std::string port = pty_.slavePath();
    if (!options_.link.empty()) {
        if (!PtyDevice::replaceLink(options_.link, pty_.slavePath(), error)) {
            std::cerr << "vtk290-sim: " << error << '\n';
            pty_.close();
            return false;
        }
        port = options_.link;
    }
    transcript_.event("PLUG");
    std::cout << "PORT " << port << std::endl;
    return true;
}

void Simulator::unplug() {
    if (!pty_.isOpen())
        return;
    if (slaveOpen_)
        slaveClosed();
    pty_.close();
    if (!options_.link.empty())
        PtyDevice::removeLink(options_.link);
    transcript_.event("UNPLUG");
}

void Simulator::slaveClosed() {
    slaveOpen_ = false;
    transcript_.event("CLOSE");
    scheduled_.clear();
    outgoing_.clear();
    pty_.discardUnread();
}

void Simulator::handleInput() {
    char buffer[1024];
    const long n = PtyDevice::readInput(buffer, sizeof buffer);
    if (n < 0)
        return;
    if (n == 0) { // whoever started us has gone: so do we
        quit_ = true;
        return;
    }
    inputLine_.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = inputLine_.find('\n')) != std::string::npos) {
        std::string line = inputLine_.substr(0, end);
        inputLine_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        handleControl(line);
    }
}

void Simulator::handleControl(const std::string &line) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos)
        return;
    const std::string command = line.substr(first, line.find_last_not_of(" \t") - first + 1);
    bool ok = true;
    std::string error;
    if (command == "quit") {
        quit_ = true;
    } else if (command == "unplug") {
        unplug();
    } else if (command == "plug") {
        unplug();
        ok = plug();
        error = "plug failed";
    } else {
        const auto before = device_.fault();
        ok = device_.control(command, error);
        const bool streamed =
            before == Kt290Device::Fault::Flood || before == Kt290Device::Fault::Nul;
        if (streamed && device_.fault() != before) { // the stream stops at once
            outgoing_.clear();
            pty_.discardDelivered();
        }
    }
    if (!ok)
        std::cerr << "vtk290-sim: " << error << '\n';
    // The acknowledgement lets a test wait until the line has taken effect.
    std::cout << (ok ? "OK " : "ERR ") << command << std::endl;
}

void Simulator::handleBytes(const char *data, long count) {
    for (long i = 0; i < count; ++i) {
        transcript_.byte(static_cast<unsigned char>(data[i]));
        device_.setTime(std::chrono::duration<double>(Clock::now() - started_).count());
        const auto reaction = device_.receiveByte(data[i]);
        if (reaction.command)
            transcript_.event("CMD " + *reaction.command);
        if (reaction.vanish) {
            unplug(); // the rest of what was received is lost with the device
            return;
        }
        schedule(reaction);
    }
    sendDue();
}

void Simulator::schedule(const Kt290Device::Reaction &reaction) {
    const auto now = Clock::now();
    for (const auto &chunk : reaction.chunks) {
        const auto due = now + std::chrono::milliseconds(chunk.delayMs);
        const auto at = std::upper_bound(
            scheduled_.begin(), scheduled_.end(), due,
            [](const auto &time, const auto &entry) { return time < entry.first; });
        scheduled_.insert(at, {due, chunk.bytes});
    }
}

void Simulator::sendDue() {
    if (!slaveOpen_)
        return;
    const auto now = Clock::now();
    while (!scheduled_.empty() && scheduled_.front().first <= now) {
        outgoing_ += scheduled_.front().second;
        scheduled_.pop_front();
    }
    const std::chrono::duration<double> sinceCredit = now - floodCreditAt_;
    floodCreditAt_ = now;
    floodCredit_ =
        std::min(MaxFloodCredit, floodCredit_ + sinceCredit.count() * LineBytesPerSecond);
    while (floodCredit_ > 0 && outgoing_.size() < FloodBacklog) {
        const std::string flood = device_.floodText();
        if (flood.empty())
            break;
        outgoing_ += flood;
        floodCredit_ -= double(flood.size());
    }
    if (outgoing_.empty())
        return;
    const long n = pty_.writeSome(outgoing_.data(), outgoing_.size());
    if (n > 0)
        outgoing_.erase(0, static_cast<std::size_t>(n));
}

int Simulator::nextTimeoutMs() const {
    if (scheduled_.empty())
        return PollMs;
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
        scheduled_.front().first - Clock::now());
    return static_cast<int>(std::clamp<long long>(wait.count(), 0, PollMs));
}
