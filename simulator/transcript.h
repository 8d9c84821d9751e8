#pragma once

#include <chrono>
#include <cstdio>
#include <string>

// The record of what happened on the line, one event a line, written through at once:
//   <seconds since start, 3 decimals> OPEN | CLOSE | BYTE <hex> | CMD <text> | UNPLUG | PLUG
class Transcript {
public:
    Transcript();
    ~Transcript();
    Transcript(const Transcript &) = delete;
    Transcript &operator=(const Transcript &) = delete;

    bool open(const std::string &path); // appends; without a file every event is dropped
    void event(const std::string &text);
    void byte(unsigned char value);

private:
    std::chrono::steady_clock::time_point start_;
    std::FILE *file_ = nullptr;
};
