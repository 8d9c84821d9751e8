#include "kt290device.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr int LogBurstMs = 100; // pause between two bursts of the log
constexpr int LogLinesPerBurst = 2;
// A log sent as one stream ("logstream 1") comes as fast as the line carries it: 19200 baud,
// ten bits a character, in small pieces that do not end at line ends.
constexpr double LineBytesPerMs = 1.92;
constexpr std::size_t StreamPiece = 8;
constexpr std::size_t MaxLine = 1024;
constexpr std::size_t NulBurst = 256;

// Values the device keeps as numbers, with the state it leaves the factory in.
const std::map<std::string, double> &numberDefaults() {
    static const std::map<std::string, double> defaults = {
        {"fnr", 2901},
        {"tasp", 0},
        {"fehl", 0},
        {"inpmv", 1},
        {"inpv", 0},
        {"p0", 6},
        {"mvv0", 0.5},
        {"mvv0cal", 1.0},
        {"mvv0sim", 0},
        {"massim", 4.0},
        {"mas", 0},
        {"maist", 0},
        {"P2", 0},
        {"al1ma", 8.0},
        {"al2ma", 16.0},
        {"al1hy", 0.0},
        {"al2hy", 0.0},
        {"R1POL", 0},
        {"R2POL", 0},
        {"sich", 0},
        {"druck", 1},
        {"vpoa", 2.5},
        {"vpoe", 0.8333},
        {"nullpo", 0.0},
        {"uspv", 5.02},
        {"ispma", 14.2},
        {"ispk", 48.0},
        {"umv", 2.513},
        {"usinv", 2.49},
        {"rar", 250},
        {"kalr", 0},
        {"input", 1},
        {"maaus", 1},
        {"version", 3},
        {"ort", 4},
        {"filter", 2},
        {"logstream", 0},
        {"mako", 90},
        {"makf", 2.313980e-04},
        {"maraf", -3.142000e-05},
        {"rauf", 9.954056e-01},
        {"uspf1", 4.910000e-04},
        {"uspf2", 1.594500e-03},
        {"ispf1", 1.360000e-02},
        {"ispf2", 4.784240e-02},
        {"mvf", 2.215000e-03},
        {"usinf", 2.450000e-04},
        {"maif", 2.465600e-03},
        {"dackor", 59},
        {"poti0", 51.35},
        {"poti1", 3.01},
        {"poti2", 65.27},
        {"poti3", 51.76},
        {"poti4", 7.73},
    };
    return defaults;
}

const std::map<std::string, std::string> &textDefaults() {
    static const std::map<std::string, std::string> defaults = {
        {"name", "KT290 V1.03"},
        {"swver", "V1.03"},
        {"hwver", "2"},
        {"log", "001 Netz ein|002 Setup ge\xE4"
                "ndert|003 Fehler 2|004 Fehler behoben|"
                "005 Netz aus|006 Netz ein"},
    };
    return defaults;
}

// Keys that only name a whole answer (for "missing" and "auto").
const std::set<std::string> &answerKeys() {
    static const std::set<std::string> keys = {"spr", "poti", "ver"};
    return keys;
}

// Values the device works out itself unless control fixes them.
const std::set<std::string> &derivedKeys() {
    static const std::set<std::string> keys = {"mas", "maist", "P2"};
    return keys;
}

// Number questions the device answers on the line.
const std::set<std::string> &numberQuestions() {
    static const std::set<std::string> keys = {
        "inpmv", "inpv", "p0",   "fnr",   "tasp", "fehl", "mvv0",  "mas", "al1ma",
        "al2ma", "P2",   "uspv", "ispma", "ispk", "umv",  "usinv", "rar", "maist",
    };
    return keys;
}

const char *const PotiNames[5] = {"Nullpunkt", "Verstaerkung", "Schaltpunkt SP1", "Schaltpunkt SP2",
                                  "Daempfung"};

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Control lines come from a terminal in UTF-8; the device speaks Latin-1.
std::string toLatin1(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            const unsigned code =
                ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
            if (code > 0xFF)
                return std::string(text);
            out += static_cast<char>(code);
            ++i;
        } else {
            return std::string(text); // not UTF-8 with Latin-1 characters only: take it as it is
        }
    }
    return out;
}

long nearest(double value) {
    return static_cast<long>(std::nearbyint(value)); // default rounding: half to even
}

std::string printf1(const char *format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

} // namespace

Kt290Device::Kt290Device(Type type)
    : type_(type) {
    num_ = numberDefaults();
    text_ = textDefaults();
    applyTypeDefaults();
    const double signal = effectiveOutput();
    relayAbove_[0] = signal > num("al1ma");
    relayAbove_[1] = signal > num("al2ma");
}

std::optional<Kt290Device::Type> Kt290Device::parseType(std::string_view name) {
    if (name == "X1" || name == "x1")
        return Type::X1;
    if (name == "X2" || name == "x2")
        return Type::X2;
    if (name == "03")
        return Type::T03;
    if (name == "01")
        return Type::T01;
    if (name == "02")
        return Type::T02;
    return std::nullopt;
}

bool Kt290Device::setType(std::string_view name) {
    const auto type = parseType(name);
    if (!type)
        return false;
    type_ = *type;
    applyTypeDefaults();
    updateRelays();
    return true;
}

void Kt290Device::applyTypeDefaults() {
    const bool strainGauge = isStrainGauge();
    num_["inpmv"] = strainGauge ? 1 : 0;
    num_["inpv"] = type_ == Type::T03 ? 1 : 0;
    num_["p0"] = strainGauge ? 6 : 1;
    num_["mvv0"] = strainGauge ? 0.5 : 12.0; // mV/V on a bridge input, mA on a current input
    num_["mvv0cal"] = strainGauge ? 1.0 : 12.0;
    for (const char *key : {"inpmv", "inpv", "p0", "mvv0", "mvv0cal"}) {
        raw_.erase(key);
        missing_.erase(key);
    }
}

std::optional<double> Kt290Device::parseNumber(std::string_view text) {
    text = trimBlanks(text);
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    return std::strtod(std::string(text).c_str(), nullptr);
}

std::string Kt290Device::formatNumber(double value) {
    if (!std::isfinite(value))
        return "0";
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return printf1("%.0f", value == 0 ? 0.0 : value);
    return printf1("%.9g", value);
}

bool Kt290Device::setFault(std::string_view fault, std::string &error) {
    fault = trimBlanks(fault);
    const auto blank = fault.find(' ');
    const std::string name(fault.substr(0, blank));
    const std::string_view argument =
        blank == std::string_view::npos ? std::string_view{} : trimBlanks(fault.substr(blank));
    static const std::map<std::string, Fault> names = {
        {"none", Fault::None},       {"silent", Fault::Silent}, {"nocrlf", Fault::NoCrLf},
        {"garbage", Fault::Garbage}, {"nul", Fault::Nul},       {"flood", Fault::Flood},
        {"slow", Fault::Slow},       {"late", Fault::Late},     {"drop", Fault::Drop},
        {"vanish", Fault::Vanish},
    };
    const auto found = names.find(name);
    if (found == names.end()) {
        error = "unknown fault '" + name + "'";
        return false;
    }
    int value = 0;
    if (found->second == Fault::Slow || found->second == Fault::Late ||
        found->second == Fault::Drop) {
        const auto number = parseNumber(argument);
        if (argument.empty() && found->second == Fault::Drop) {
            value = 1;
        } else if (!number || *number < 0 || *number != std::trunc(*number)) {
            error = "fault " + name + " needs a whole number";
            return false;
        } else {
            value = static_cast<int>(*number);
        }
    } else if (!argument.empty()) {
        error = "fault " + name + " takes no argument";
        return false;
    }
    fault_ = found->second;
    faultArg_ = value;
    if (fault_ == Fault::Drop && faultArg_ == 0)
        fault_ = Fault::None;
    return true;
}

// "COMMAND [N]" of the control lines that act on the next N times a command arrives.
std::optional<std::pair<std::string, int>>
Kt290Device::commandAndCount(std::string_view verb, std::string_view rest, std::string &error) {
    const auto space = rest.find(' ');
    const std::string command(rest.substr(0, space));
    int count = 1;
    if (space != std::string_view::npos) {
        const auto number = parseNumber(rest.substr(space));
        if (!number || *number < 0) {
            error = std::string(verb) + " needs a command and a count";
            return std::nullopt;
        }
        count = static_cast<int>(*number);
    }
    if (command.empty()) {
        error = std::string(verb) + " needs a command";
        return std::nullopt;
    }
    return std::make_pair(command, count);
}

bool Kt290Device::control(std::string_view line, std::string &error) {
    line = trimBlanks(line);
    const auto blank = line.find(' ');
    const std::string verb(line.substr(0, blank));
    const std::string_view rest =
        blank == std::string_view::npos ? std::string_view{} : trimBlanks(line.substr(blank));
    if (verb == "fault")
        return setFault(rest, error);
    if (verb == "unknown") {
        if (!setUnknown(rest)) {
            error = "unknown needs none, now or late (and a text instead of ?)";
            return false;
        }
        return true;
    }
    if (verb == "type") {
        if (!setType(rest)) {
            error = "unknown type '" + std::string(rest) + "' (X1, X2, 03, 01, 02)";
            return false;
        }
        return true;
    }
    if (verb == "mute") {
        const auto counted = commandAndCount(verb, rest, error);
        if (counted)
            muted_[counted->first] = counted->second;
        return counted.has_value();
    }
    if (verb == "wave") {
        const auto space = rest.find(' ');
        const auto amplitude = parseNumber(rest.substr(0, space));
        const auto period = space == std::string_view::npos
                                ? std::optional<double>()
                                : parseNumber(trimBlanks(rest.substr(space)));
        if (!amplitude || !period || *period <= 0) {
            error = "wave needs an amplitude and a period in seconds";
            return false;
        }
        waveAmplitude_ = *amplitude;
        wavePeriod_ = *period;
        updateRelays();
        return true;
    }
    if (verb == "ignore") {
        const auto counted = commandAndCount(verb, rest, error);
        if (counted)
            ignored_[counted->first] = counted->second;
        return counted.has_value();
    }
    if (verb == "set") {
        const auto space = rest.find(' ');
        const std::string key(rest.substr(0, space));
        const std::string value(space == std::string_view::npos ? std::string_view{}
                                                                : trimBlanks(rest.substr(space)));
        const bool isNumber = num_.count(key) != 0;
        const bool isText = text_.count(key) != 0;
        const bool isAnswer = answerKeys().count(key) != 0;
        if (key.empty() || (!isNumber && !isText && !isAnswer)) {
            error = "unknown key '" + key + "'";
            return false;
        }
        if (value == "missing") {
            missing_.insert(key);
        } else if (value == "auto") {
            missing_.erase(key);
            raw_.erase(key);
            pinned_.erase(key);
        } else if (isAnswer) {
            error = "key '" + key + "' takes only 'missing' or 'auto'";
            return false;
        } else if (isText) {
            text_[key] = toLatin1(value);
            missing_.erase(key);
        } else if (const auto number = parseNumber(value)) {
            num_[key] = *number;
            raw_.erase(key);
            missing_.erase(key);
            if (derivedKeys().count(key))
                pinned_.insert(key);
        } else {
            raw_[key] = toLatin1(value); // answered as it stands, e.g. "12,5" or "0x03 3"
            missing_.erase(key);
        }
        updateRelays();
        return true;
    }
    error = "unknown control line '" + std::string(line) + "'";
    return false;
}

std::string Kt290Device::newline() const {
    return fault_ == Fault::NoCrLf ? std::string(1, CR) : std::string{CR, LF};
}

Kt290Device::Reaction Kt290Device::receiveByte(char byte) {
    Reaction reaction;
    if (byte == CR) {
        const std::string raw = line_;
        line_.clear();
        if (fault_ == Fault::Vanish && !trimBlanks(raw).empty()) {
            reaction.command = raw;
            reaction.vanish = true;
            fault_ = Fault::None;
            return reaction;
        }
        if (fault_ != Fault::Silent)
            reaction.chunks.push_back({0, newline()});
        executeLine(raw, reaction);
        return reaction;
    }
    if (fault_ != Fault::Silent)
        reaction.chunks.push_back({0, std::string(1, byte)});
    if (byte != LF && line_.size() < MaxLine)
        line_ += byte;
    return reaction;
}

bool Kt290Device::setUnknown(std::string_view mode) {
    static const std::map<std::string_view, Unknown> modes = {
        {"none", Unknown::None}, {"now", Unknown::Now}, {"late", Unknown::Late}};
    mode = trimBlanks(mode);
    const auto blank = mode.find(' ');
    const auto found = modes.find(mode.substr(0, blank));
    if (found == modes.end())
        return false;
    unknown_ = found->second;
    unknownText_ = blank == std::string_view::npos ? "?" : toLatin1(trimBlanks(mode.substr(blank)));
    return true;
}

std::vector<Kt290Device::Line> Kt290Device::notUnderstood() const {
    if (unknown_ == Unknown::None)
        return {};
    return {{unknownText_, 0, false, unknown_ == Unknown::Now}};
}

void Kt290Device::executeLine(const std::string &raw, Reaction &reaction) {
    const std::string command(trimBlanks(raw));
    if (command.empty()) {
        addAnswer(notUnderstood(), reaction);
        return;
    }
    reaction.command = raw;

    const auto blank = command.find(' ');
    const std::string name = command.substr(0, blank);
    const std::string argument(blank == std::string::npos
                                   ? std::string_view{}
                                   : trimBlanks(std::string_view(command).substr(blank)));

    std::vector<Line> lines;
    // An ignored set command is echoed and answered as usual but leaves the value as it was.
    if (auto ignored = ignored_.find(name); ignored != ignored_.end() && ignored->second > 0) {
        if (--ignored->second == 0)
            ignored_.erase(ignored);
    } else if (!applySetCommand(name, argument)) {
        bool known = true;
        lines = answerFor(name, argument, known);
        if (!known)
            lines = notUnderstood();
    }
    if (auto muted = muted_.find(command); muted != muted_.end() && muted->second > 0) {
        lines.clear();
        if (--muted->second == 0)
            muted_.erase(muted);
    }
    if (fault_ == Fault::Drop) {
        lines.clear();
        if (--faultArg_ <= 0)
            fault_ = Fault::None;
    }
    updateRelays();
    addAnswer(lines, reaction);
}

bool Kt290Device::applySetCommand(const std::string &name, const std::string &argument) {
    if (argument.empty()) {
        if (name == "res") { // simulation ends: measured input, output follows it again
            num_["input"] = 1;
            num_["maaus"] = 1;
            num_["kalr"] = 0;
            return true;
        }
        return name == "swr1"; // the setup is kept in the device's memory; nothing to show
    }
    static const std::map<std::string, std::string> targets = {
        {"kalr", "kalr"},     {"input", "input"}, {"maaus", "maaus"}, {"mvv0", "mvv0sim"},
        {"mas", "massim"},    {"R1POL", "R1POL"}, {"R2POL", "R2POL"}, {"al1hy", "al1hy"},
        {"al2hy", "al2hy"},   {"druck", "druck"}, {"vpoa", "vpoa"},   {"vpoe", "vpoe"},
        {"nullpo", "nullpo"}, {"sich", "sich"},
    };
    const auto target = targets.find(name);
    if (target == targets.end())
        return false;
    const auto value = parseNumber(argument);
    if (!value)
        return true; // the device ignores an argument it cannot read
    static const std::set<std::string> switches = {"kalr",  "input", "maaus",
                                                   "R1POL", "R2POL", "sich"};
    if (switches.count(name) && *value != 0 && *value != 1)
        return true;
    if (name == "druck" && *value != -1 && *value != 0 && *value != 1)
        return true;
    num_[target->second] = *value;
    raw_.erase(target->second);
    missing_.erase(target->second);
    return true;
}

// The answer to a question; empty for unknown commands (known false), which get the echo only
// unless the device answers them with "?".
std::vector<Kt290Device::Line> Kt290Device::answerFor(const std::string &name,
                                                      const std::string &argument, bool &known) {
    known = true;
    if (!argument.empty()) {
        known = false;
        return {};
    }
    if (name == "Name" || name == "name") {
        if (isMissing("name"))
            return {};
        return {{text_["name"], 0}};
    }
    if (name == "ver") {
        if (isMissing("ver"))
            return {};
        std::vector<Line> lines;
        if (!isMissing("swver"))
            lines.push_back({"SW-Version " + text_["swver"], 0});
        if (!isMissing("hwver"))
            lines.push_back({"HW-Version " + text_["hwver"], 0});
        return lines;
    }
    if (name == "spr")
        return setupPrint();
    if (name == "poti")
        return potiAnswer();
    if (name == "log")
        return logAnswer();
    if (numberQuestions().count(name)) {
        const bool oldType = type_ == Type::T01 || type_ == Type::T02;
        if (oldType && (name == "inpmv" || name == "inpv")) {
            known = false; // the old models do not know the input kind
            return {};
        }
        return numberAnswer(name);
    }
    known = false;
    return {};
}

void Kt290Device::addAnswer(const std::vector<Line> &lines, Reaction &reaction) {
    if (lines.empty() || fault_ == Fault::Silent)
        return;
    if (fault_ == Fault::Garbage) {
        std::uniform_int_distribution<int> length(8, 40);
        std::uniform_int_distribution<int> byte(0, 255);
        std::string bytes(static_cast<std::size_t>(length(random_)), '\0');
        for (char &c : bytes)
            c = static_cast<char>(byte(random_));
        reaction.chunks.push_back({lines.front().delayMs, bytes});
        return;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int delay = lines[i].delayMs;
        if (fault_ == Fault::Slow && !lines[i].prompt)
            delay += faultArg_ * static_cast<int>(i + 1);
        if (fault_ == Fault::Late && !lines[i].prompt)
            delay += faultArg_;
        const std::string text = lines[i].text + (lines[i].piece ? std::string() : newline());
        if (!reaction.chunks.empty() && reaction.chunks.back().delayMs == delay)
            reaction.chunks.back().bytes += text;
        else
            reaction.chunks.push_back({delay, text});
    }
}

std::string Kt290Device::floodText() {
    if (fault_ == Fault::Nul)
        return std::string(NulBurst, '\0');
    if (fault_ != Fault::Flood)
        return {};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "KT290 %08llu ABCDEFGHIJKLMNOPQRSTUVWXYZ",
                  static_cast<unsigned long long>(++floodCounter_));
    return buffer + newline();
}

double Kt290Device::num(const std::string &key) const {
    const auto found = num_.find(key);
    return found == num_.end() ? 0.0 : found->second;
}

void Kt290Device::setTime(double seconds) {
    time_ = seconds;
    if (waveAmplitude_ != 0.0)
        updateRelays();
}

double Kt290Device::effectiveInput() const {
    if (num("input") < 0.5)
        return num("mvv0sim");
    const double wave =
        wavePeriod_ > 0 ? waveAmplitude_ * std::sin(2.0 * std::numbers::pi * time_ / wavePeriod_)
                        : 0.0;
    return (num("kalr") >= 0.5 ? num("mvv0cal") : num("mvv0")) + wave;
}

// The output current: the simulated one after "maaus 0", else the input mapped onto 4-20 mA.
double Kt290Device::effectiveOutput() const {
    if (pinned_.count("mas"))
        return num("mas");
    if (num("maaus") < 0.5)
        return num("massim");
    const double x = effectiveInput();
    double out = x; // a current input is passed through
    if (isStrainGauge()) {
        const double span = num("vpoa") > 0 ? num("vpoa") : 2.0;
        switch (nearest(num("druck"))) {
        case -1:
            out = 4.0 - 16.0 * x / span;
            break; // tension: 4 mA at 0, negative signal
        case 0:
            out = 12.0 + 8.0 * x / span;
            break; // both directions: 12 mA at 0
        default:
            out = 4.0 + 16.0 * x / span;
            break; // pressure: 4 mA at 0, positive signal
        }
    }
    return std::clamp(out, 3.5, 21.0);
}

void Kt290Device::updateRelays() {
    const double signal = effectiveOutput();
    const char *points[2] = {"al1ma", "al2ma"};
    const char *hysteresis[2] = {"al1hy", "al2hy"};
    for (int i = 0; i < 2; ++i) {
        const double point = num(points[i]);
        if (signal > point)
            relayAbove_[i] = true;
        else if (signal < point - num(hysteresis[i]))
            relayAbove_[i] = false;
    }
}

double Kt290Device::derived(const std::string &key) const {
    if (pinned_.count(key) || !derivedKeys().count(key))
        return num(key);
    if (key == "mas")
        return effectiveOutput();
    if (key == "maist")
        return num("rar") < -0.5 ? 0.0 : effectiveOutput(); // an open loop carries no current
    // P2: a relay is energised below its switch point with polarity 0, above it with 1.
    int bits = 0;
    const char *polarities[2] = {"R1POL", "R2POL"};
    for (int i = 0; i < 2; ++i) {
        const bool energised = num(polarities[i]) >= 0.5 ? relayAbove_[i] : !relayAbove_[i];
        if (energised)
            bits |= 1 << i;
    }
    return bits;
}

std::vector<Kt290Device::Line> Kt290Device::numberAnswer(const std::string &key) const {
    if (isMissing(key))
        return {};
    if (const auto raw = raw_.find(key); raw != raw_.end())
        return {{key + " " + raw->second, 0}};
    const double value = key == "mvv0" ? effectiveInput() : derived(key);
    return {{key + " " + formatNumber(value), 0}};
}

std::string Kt290Device::valueText(const std::string &key, const char *format) const {
    if (const auto raw = raw_.find(key); raw != raw_.end())
        return raw->second;
    const double value = num(key);
    if (!format)
        return std::to_string(nearest(value));
    return printf1(format, value);
}

std::vector<Kt290Device::Line> Kt290Device::setupPrint() const {
    if (isMissing("spr"))
        return {};
    struct Pair {
        const char *label;
        std::string key;
        const char *format; // nullptr: a whole number
    };
    const std::vector<std::vector<Pair>> layout = {
        {{" Alarm1hysterese : ", "al1hy", "%f"}, {"   Alarm2hysterese : ", "al2hy", "%f"}},
        {{" Relais1polatit\xE4"
          "t: ",
          "R1POL", nullptr},
         {"   Relais2polatit\xE4"
          "t: ",
          "R2POL", nullptr}},
        {{" Druckrichtung   : ", "druck", nullptr}},
        {{" Nullpotimitte   : ", "nullpo", "%f"}},
        {{" 20mA Poti links : ", "vpoa", "%f"}},
        {{" 20mA Poti rechts: ", "vpoe", "%f"}},
        {{" Tastensperre    : ", "tasp", nullptr}},
        {{" Sicherheitsmodus: ", "sich", nullptr}},
        {{" Fabrikatationsnr: ", "fnr", nullptr}},
        {{" Filter: ", "filter", nullptr}},
        {{" mako: ", "mako", nullptr}, {"   makf: ", "makf", "%e"}},
        {{" maraf: ", "maraf", "%e"}, {"   rauf: ", "rauf", "%e"}},
        {{" uspf1: ", "uspf1", "%e"}, {"   uspf2: ", "uspf2", "%e"}},
        {{" ispf1: ", "ispf1", "%e"}, {"   ispf2: ", "ispf2", "%e"}},
        {{" mvf: ", "mvf", "%e"}, {"   usinf: ", "usinf", "%e"}},
        {{" maif: ", "maif", "%e"}, {"   dackor: ", "dackor", nullptr}},
    };
    std::vector<std::string> body;
    for (const auto &pairs : layout) {
        std::string text;
        for (const auto &pair : pairs) {
            if (!isMissing(pair.key))
                text += pair.label + valueText(pair.key, pair.format);
        }
        if (!text.empty())
            body.push_back(text);
    }
    std::string potis;
    for (int i = 0; i < 5; ++i) {
        const std::string key = "poti" + std::to_string(i);
        if (isMissing(key))
            continue;
        potis += (potis.empty() ? " poti[" : "  poti[") + std::to_string(i) +
                 "]: " + std::to_string(nearest(num(key) * 100.0)); // raw counts, 100 per percent
    }
    body.push_back(potis);

    unsigned sum = 0;
    for (const auto &line : body)
        for (const char c : line)
            sum += static_cast<unsigned char>(c);
    sum &= 0xFF;
    std::string head;
    if (!isMissing("version"))
        head += " Version: " + valueText("version");
    if (!isMissing("ort"))
        head += "   Ort: " + valueText("ort");
    char checksum[32];
    std::snprintf(checksum, sizeof checksum,
                  "   Pr\xFC"
                  "fsumme: %u, 0x%02X",
                  sum, sum);
    head += checksum;

    std::vector<Line> lines{{head, 0}};
    for (auto &line : body)
        lines.push_back({line, 0});
    return lines;
}

std::vector<Kt290Device::Line> Kt290Device::potiAnswer() const {
    if (isMissing("poti"))
        return {};
    std::vector<Line> lines;
    for (int i = 0; i < 5; ++i) {
        const std::string key = "poti" + std::to_string(i);
        if (isMissing(key))
            continue;
        const auto raw = raw_.find(key);
        const std::string value = raw != raw_.end() ? raw->second : formatNumber(num(key));
        lines.push_back({std::to_string(i) + ": " + PotiNames[i] + "=" + value + "%", 0});
    }
    return lines;
}

std::vector<Kt290Device::Line> Kt290Device::logAnswer() const {
    if (isMissing("log"))
        return {};
    std::vector<std::string> entries;
    const std::string &log = text_.at("log");
    std::size_t start = 0;
    while (start <= log.size()) {
        const auto bar = log.find('|', start);
        const std::string entry =
            log.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (!entry.empty())
            entries.push_back(entry);
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    const std::string head = "LogFile KT290 (" + std::to_string(entries.size()) +
                             " Eintr\xE4"
                             "ge)";
    std::vector<Line> lines;
    if (num("logstream") > 0.5) {
        std::string text = head + newline();
        for (const std::string &entry : entries)
            text += entry + newline();
        for (std::size_t at = 0; at < text.size(); at += StreamPiece)
            lines.push_back({text.substr(at, StreamPiece),
                             static_cast<int>(static_cast<double>(at) / LineBytesPerMs), true});
        return lines;
    }
    lines.push_back({head, 0});
    for (std::size_t i = 0; i < entries.size(); ++i)
        lines.push_back({entries[i], static_cast<int>(i / LogLinesPerBurst) * LogBurstMs});
    return lines;
}
