// vtk290-sim: plays a KT 290 switching amplifier on a pseudo-terminal.

#include "ptydevice_posix.h"
#include "simulator.h"

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

const char *const Usage = R"(Usage: vtk290-sim [OPTIONS]

Plays a KT 290 switching amplifier on a pseudo-terminal. Prints "PORT <path>" on standard
output once the port is ready (and again after each "plug"); open that path at 19200 baud.

Options:
  --type T          device type: X1 (strain gauge, default), X2 (current input), 03,
                    01 (old strain-gauge model), 02 (old current model)
  --fault F [N]     start with a fault (see below)
  --unknown MODE    what an empty line or an unknown command gets: none (echo only, default),
                    now ("?" at once), late ("?" after the answer delay of "late"/"slow")
  --link PATH       make PATH a symbolic link to the port (replaced if it exists, removed at
                    the end and on unplug); PORT then names PATH
  --transcript FILE append every event to FILE: "<seconds> OPEN|CLOSE|PLUG|UNPLUG",
                    "<seconds> BYTE <hex>" per received byte, "<seconds> CMD <text>" per command
  --no-stdin        do not read control lines (for a simulator started in the background);
                    otherwise the end of standard input ends the simulator
  --help            this text

Faults:
  none              normal device
  silent            no echo, no answer
  nocrlf            every CR LF the device sends (echo included) becomes a CR alone
  garbage           random bytes instead of each answer
  nul               endless NUL bytes until the fault is changed (echo and answers go on)
  flood             endless text until the fault is changed (echo and answers go on)
  slow MS           each answer line MS ms later than the one before (the first MS ms late)
  late MS           every answer MS ms after the command's CR (the echo comes at once)
  drop N            echo only for the next N commands (default 1), then normal again
  vanish            the port disappears at the next command, as if unplugged

Control lines on standard input (each acknowledged by "OK <line>" or "ERR <line>" on
standard output, errors explained on standard error):
  fault F [N]       as above
  wave A PERIOD     the measured input swings as a sine of amplitude A (mV/V, or mA on a
                    current input) and PERIOD seconds around its value; "wave 0 1" stops it
  set KEY VALUE     a number, or a text that is answered as it stands (e.g. "12,5");
                    "missing": no answer (echo only); "auto": back to the device's own value
                    number keys: fnr tasp fehl inpmv inpv p0 mvv0 mvv0cal mvv0sim mas massim
                      maist P2 al1ma al2ma al1hy al2hy R1POL R2POL sich druck vpoa vpoe nullpo
                      uspv ispma ispk umv usinv rar kalr input maaus version ort filter mako
                      makf maraf rauf uspf1 uspf2 ispf1 ispf2 mvf usinf maif dackor poti0..poti4
                    text keys: name swver hwver log (entries separated by "|")
                    logstream 1: the log comes as one stream paced like the line, not in
                      bursts of two entries 0.1 s apart
                    whole answers (missing/auto only): spr poti ver
                    mas, maist and P2 follow the input unless set; "auto" lets them follow again
  unknown MODE [T]  as --unknown; T answers instead of "?"
  mute CMD [N]      echo only for the next N (default 1) times CMD arrives
  ignore NAME [N]   the next N (default 1) set commands NAME (e.g. "al1hy") are echoed but
                    not stored, as if the device had not taken them
  type T            change the device type (input values go back to that type's defaults)
  unplug            close the port (and remove the link)
  plug              a new port (and link); prints PORT again
  quit              end
)";

} // namespace

int main(int argc, char **argv) {
    Simulator::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "vtk290-sim: " << arg << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << Usage;
            return 0;
        } else if (arg == "--type") {
            const auto type = Kt290Device::parseType(value());
            if (!type) {
                std::cerr << "vtk290-sim: unknown type " << argv[i] << " (X1, X2, 03, 01, 02)\n";
                return 2;
            }
            options.type = *type;
        } else if (arg == "--fault") {
            options.fault = value();
            const bool counted =
                options.fault == "slow" || options.fault == "late" || options.fault == "drop";
            if (counted && i + 1 < argc && argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9')
                options.fault += std::string(" ") + argv[++i];
        } else if (arg == "--unknown") {
            options.unknown = value();
        } else if (arg == "--link") {
            options.link = value();
        } else if (arg == "--transcript") {
            options.transcript = value();
        } else if (arg == "--no-stdin") {
            options.watchStdin = false;
        } else {
            std::cerr << "vtk290-sim: unknown option " << arg << " (see --help)\n";
            return 2;
        }
    }

    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    PtyDevice::ignoreBrokenPipe();

    Simulator simulator(options);
    return simulator.run(stopRequested);
}
