#include "transcript.h"

Transcript::Transcript()
    : start_(std::chrono::steady_clock::now()) {}

Transcript::~Transcript() {
    if (file_)
        std::fclose(file_);
}

bool Transcript::open(const std::string &path) {
    file_ = std::fopen(path.c_str(), "ab");
    return file_ != nullptr;
}

void Transcript::event(const std::string &text) {
    if (!file_)
        return;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
    std::fprintf(file_, "%.3f %s\n", elapsed.count(), text.c_str());
    std::fflush(file_);
}

void Transcript::byte(unsigned char value) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "BYTE %02x", value);
    event(hex);
}
