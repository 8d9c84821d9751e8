#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The behaviour of a KT 290 on its serial line: takes the bytes the program sends, one at a
// time, and gives back what the device sends in return (echo and answers), with the delay at
// which each piece leaves the device. Knows nothing of ports or clocks; the caller schedules.
//
// Text is Latin-1 throughout (one byte per character).
class Kt290Device {
public:
    enum class Type { X1, X2, T03, T01, T02 };
    enum class Fault { None, Silent, NoCrLf, Garbage, Nul, Flood, Slow, Late, Drop, Vanish };
    // What the device answers to an empty line or a command it does not know: nothing (echo
    // only), "?" (or another text) at once, or after the answer delay of "late" and "slow".
    enum class Unknown { None, Now, Late };

    struct Chunk {
        int delayMs = 0; // after the byte that caused it was received
        std::string bytes;
    };

    struct Reaction {
        std::vector<Chunk> chunks;          // in sending order
        std::optional<std::string> command; // a completed command line, as received (no CR)
        bool vanish = false;                // the device is to disappear from the line now
    };

    explicit Kt290Device(Type type = Type::X1);

    // A half-received command stays in the input line when the port is closed: the device
    // does not see the program go.
    Reaction receiveByte(char byte);

    // One piece of the endless stream while the fault "flood" (text) or "nul" (NUL bytes) is
    // active, else empty. The stream runs besides the echo and the answers.
    std::string floodText();

    // The device's own clock in seconds; a moving input ("wave") follows it.
    void setTime(double seconds);

    // Control lines "set KEY VALUE", "type T", "fault NAME [N]", "mute CMD [N]",
    // "wave AMPLITUDE PERIOD", "unknown none|now|late [TEXT]".
    // Returns false with a message in error when the line is not understood.
    bool control(std::string_view line, std::string &error);

    bool setType(std::string_view name);
    bool setFault(std::string_view fault, std::string &error);
    bool setUnknown(std::string_view mode);

    Type type() const { return type_; }
    Fault fault() const { return fault_; }
    bool isStrainGauge() const { return type_ == Type::X1 || type_ == Type::T01; }

    static std::optional<Type> parseType(std::string_view name);
    // A number as the device writes it: integers without decimals, others with a point.
    static std::string formatNumber(double value);
    // Reads a whole text as a number with a decimal point (optional exponent).
    static std::optional<double> parseNumber(std::string_view text);

private:
    struct Line {
        std::string text;
        int delayMs = 0;
        bool piece = false;  // part of a continuous stream: no line end added
        bool prompt = false; // sent after delayMs alone, whatever the answer delay
    };

    static std::optional<std::pair<std::string, int>>
    commandAndCount(std::string_view verb, std::string_view rest, std::string &error);
    void applyTypeDefaults();
    void executeLine(const std::string &raw, Reaction &reaction);
    std::vector<Line> answerFor(const std::string &name, const std::string &argument, bool &known);
    std::vector<Line> notUnderstood() const;
    bool applySetCommand(const std::string &name, const std::string &argument);
    void addAnswer(const std::vector<Line> &lines, Reaction &reaction);

    double num(const std::string &key) const;
    double effectiveInput() const;
    double effectiveOutput() const;
    void updateRelays();
    double derived(const std::string &key) const;
    bool isMissing(const std::string &key) const { return missing_.count(key) != 0; }
    std::string valueText(const std::string &key, const char *format = nullptr) const;
    std::vector<Line> numberAnswer(const std::string &key) const;
    std::vector<Line> setupPrint() const;
    std::vector<Line> potiAnswer() const;
    std::vector<Line> logAnswer() const;
    std::string newline() const;

    Type type_;
    Fault fault_ = Fault::None;
    Unknown unknown_ = Unknown::None;
    std::string unknownText_ = "?";
    int faultArg_ = 0;
    std::string line_;
    std::map<std::string, double> num_;
    std::map<std::string, std::string> text_;
    std::map<std::string, std::string> raw_; // answer text that replaces the number
    std::set<std::string> missing_;          // answered with the echo only
    std::set<std::string> pinned_;           // derived values fixed by control
    std::map<std::string, int> muted_;       // command -> how many more times echo only
    std::map<std::string, int> ignored_;     // set command name -> how many more times not stored
    bool relayAbove_[2] = {false, false};
    double time_ = 0.0;
    // The measured input swings as a sine around its value: amplitude (mV/V or mA), period (s).
    double waveAmplitude_ = 0.0;
    double wavePeriod_ = 0.0;
    std::mt19937 random_{290};
    std::uint64_t floodCounter_ = 0;
};
