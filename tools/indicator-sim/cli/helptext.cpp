#include "tools/indicator-sim/cli/helptext.h"

#include <string>

#include "protocols/formats/registry.h"

namespace indicatorsim {

namespace {

constexpr std::string_view kBeforeProtocols = R"(Usage: indicator-sim (--link PATH | --device DEVICE [--settings B,P,D,S] | --tcp [ADDR:]PORT) [OPTIONS]
       indicator-sim (--link PATH | --device DEVICE) --replay FILE [--speed X] [OPTIONS]

Acts as a weighing indicator on a serial line: sends weight frames on its own or answers weight
requests, in any of twelve formats, takes zero and tare commands, with faults on demand; or
plays a recording of what a port received back with its timing.

The line, one of:
  --link PATH            create a pseudo-terminal in raw mode and a symbolic link PATH to the
                         device the tool under test opens; missing folders are created, an
                         existing symbolic link is replaced, any other file there is refused;
                         the link is removed on exit
  --device DEVICE        a real serial device, e.g. /dev/ttyUSB0
  --tcp [ADDR:]PORT      an indicator's own TCP port (address 127.0.0.1 unless given; port 0
                         takes a free one, which the ready line names as tcp://ADDR:PORT): one
                         client at a time, the next once it leaves; frames go nowhere while
                         none is connected; paced at --baud
  --settings B,P,D,S     the device's baud, parity (N, E, O), data bits (5-8) and stop bits
                         (1, 2); default 9600,N,8,1; rates without a standard constant, such as
                         28400 or 152000, are set as custom rates; with --line-model the
                         pseudo-terminal's line
  --baud RATE            the baud a pseudo-terminal or --tcp stands for, to pace frames
                         (default 9600; not with --line-model, which takes it from --settings)
  --line-model           pseudo-terminal only: before each write, read the settings the other
                         side has set (baud, custom rates too, data bits, parity, stop bits,
                         INPCK, IGNPAR, PARMRK) and deliver what a receiver set up so would
                         make of a line driven at --settings, bit by bit: at another baud or
                         framing the bytes arrive garbled, as on a real line. A byte failing
                         its parity or stop bit comes as sampled without INPCK; with INPCK it
                         is dropped under IGNPAR, else comes as FF 00 and the byte under
                         PARMRK, else as 00. Frames are paced at the framing of --settings.
                         A real device does all this itself, so --device refuses it

The protocol:
)";

constexpr std::string_view kAfterProtocols = R"(  --formats FILE         read the formats described in FILE (TOML, as for scale-read);
                         --protocol NAME then speaks one of them: each frame from its send
                         template, sent unasked, or where it has a request, as the answer to
                         it (its zero, tare and clear-tare commands are carried out unanswered)
  --rate FPS             the frames per second of the protocols that send unasked, and the
                         pace at which the others' weight moves (default 10); held to what
                         the line carries at its baud (10 bits a byte on a pseudo-terminal,
                         the device's framing otherwise), with a note on stderr
  --reply-delay MS       command, sics, ad, sbi, sma, 8217: time from a request to its answer
                         (default 20)
  --answer-delay MS      the same as --reply-delay: a long one answers late
  --drop RATE            command, sics, ad, sbi, sma, 8217: the share of requests left
                         unanswered (default 0)
  --stream               sics, sbi, sma, 8217: also send the weight frame unasked, at --rate
  --toledo-checksum on|off
                         toledo: end each frame with its checksum byte (default on)

Zero, tare and capacity, in the formats from toledo on:
  Zero makes the weight shown 0 from the weight now on; tare switches to net with the gross
  weight now as tare; clear-tare goes back to gross. Frames say motion while the weight changes
  from one frame to the next (walk, ramp) and stable while it holds.
  --capacity KG          above KG gross the frames report an overload (toledo SWB bit 2, sics
                         S +, ad OL, sbi H, sma and rice-lake and cardinal O, 8217 status bit
                         1, weigh-tronix dashes, a described format's send-overload, and
                         below minus KG its send-underload), as they do for a weight too wide
                         for them; zero and tare are then refused (sics Z +, T +)
  --refuse COMMAND       zero, tare or clear-tare, again or comma separated for more: refuse
                         it and answer as the indicator does (sics Z I, T I, TAC I; sma
                         status E or T; 8217 status bit 3; ad and sbi say nothing)

The weight, one value per frame or reply:
  --weight fixed:VALUE        VALUE every time, e.g. fixed:-12.345 (a "-0" keeps its sign)
  --weight ramp:FROM:TO:STEP  FROM, FROM+STEP, ... up to TO, then FROM again (down if TO < FROM)
  --weight walk:SEED[:MAX]    a random walk within -MAX..MAX (default 100) that settles, moves
                              on and crosses zero now and then; the same for the same SEED
                              (default walk:1)
  --decimals N                0 to 4 digits after the point (fixed, ramp: as many as the values
                              have; walk: 3); values are rounded to them
  Weights must fit the frame: six digits, or for shentong six characters with sign and point
  (99.999, -9.999 at three decimals; no negative weight at four), or the format's weight
  field (cardinal, weigh-tronix: six characters with the point). A walk's MAX is cut to fit.

Faults, each on the given share RATE of frames or replies (0 to 1):
  --bad-checksum RATE    a wrong checksum digit (continuous, command) or byte (toledo), or a
                         wrong check of a described format that has one
  --lowercase RATE       checksum letters in lower case (continuous, command); a checksum
                         of digits alone has none, so that frame goes out intact
  --stray RATE           1 to 4 stray bytes just before the frame (never 02, 03 or "=")
  --cut RATE             the frame in two writes with a pause between the halves
  --cut-pause MS         that pause (default 30); a longer one holds back the next frame
  --noise RATE           1 to 16 random bytes after the frame
  --silence EVERY:LONG   after each EVERY ms of sending, LONG ms without a byte; requests
                         that fall due meanwhile go unanswered
  --unplug-after MS      close the line and end after MS, as if the cable was pulled
  --seed N               seed for the fault choices and dropped requests; without it one is
                         taken from the clock and shown on stderr

Replaying a recording:
  --replay FILE          send FILE's reads back instead of simulating an indicator, each in one
                         write at its recorded time after the line came up; the run ends once
                         the last one is out (and read, or a second later). FILE is a header
                         line "# port=Com1 settings=9600,N,8,1 protocol=continuous start=...",
                         then one line per read, "0.100231 02 2B 30 ... 03": seconds since the
                         first read with six decimals, the bytes in hexadecimal; "#" comments
                         and empty lines are skipped. It is read and checked whole before the
                         line comes up. Requests from the line are not answered. Goes with the
                         line options, --line-model, --duration and --verbose only
  --speed X              play X times as fast, above 0 (default 1; 0.5 is half as fast)

Running:
  --duration MS          end by itself after MS
  --verbose              print every event on stdout (below)
  -V, --version          print "indicator-sim VERSION" and end
  -h, --help             this text

Output on stdout, line by line:
  ready /dev/pts/4       once the line is up (always); a test can wait for it
With --verbose, one line per event, milliseconds since the line came up first:
  100.052 tx 02 2D 30 31 32 33 34 35 33 31 46 03 -12.345kg
                         bytes written and the reading the tool should show for them
  200.047 tx 02 2D 30 31 32 33 -
                         a write that is not one intact frame: "-", nothing to show (replayed
                         writes show the reading of the frame they are, if they are exactly one)
  200.047 delivered 9600,N,8,1 F8 08
                         --line-model: what the other side received for the write above, at
                         its settings (M, S: mark, space parity); "-" for nothing
  310.502 rx 02 41 42 30 33 03
                         bytes read from the line
  310.502 request        a complete request recognised (in every protocol)
  310.502 request sics SI
                         a request of the formats from toledo on, with the format and its
                         name, recognised for every format whatever the protocol ("ESC P",
                         "W"; "unknown TEXT" for a command the protocol's own format lacks)
Notes and errors go to stderr.

Exit status: 0 ended (--duration, --unplug-after, SIGINT, SIGTERM, the replay's last line);
1 the line could not be set up or failed, or the recording could not be read or has a malformed
line (the message names the file and the line); 2 bad command line.

Examples:
  indicator-sim --link /tmp/scale/Com1 --weight fixed:-12.345 --verbose
  indicator-sim --link /tmp/scale/Com1 --protocol command --weight ramp:0:50:0.25 --drop 0.1
  indicator-sim --link /tmp/scale/Com1 --protocol shentong --weight walk:7:500 --decimals 1
  indicator-sim --link /tmp/scale/Com1 --protocol sics --weight walk:3:50 --refuse zero --verbose
  indicator-sim --link /tmp/scale/Com1 --protocol toledo --capacity 60 --toledo-checksum off
  indicator-sim --link /tmp/scale/Com1 --rate 80 --cut 0.1 --noise 0.05 --seed 42
  indicator-sim --link /tmp/scale/Com1 --silence 3000:800 --unplug-after 10000
  indicator-sim --device /dev/ttyUSB0 --settings 28400,E,7,1 --bad-checksum 0.05
  indicator-sim --link /tmp/scale/Com1 --protocol shentong --settings 19200,N,8,1 --line-model
  indicator-sim --link /tmp/scale/Com1 --replay session.rec --speed 2
  indicator-sim --link /tmp/scale/Com1 --formats line.toml --protocol my-line --verbose
)";

// "  --protocol NAME" and each format's own lines, in the column the other options' texts start.
std::string protocolHelp() {
    constexpr std::size_t kColumn = 25;
    std::string text;
    for (const scale::FormatUnit* unit : scale::formatUnits()) {
        std::string option = "  --protocol " + std::string(unit->format.name);
        option.append(option.size() + 2 <= kColumn ? kColumn - option.size() : 2, ' ');
        text += option;
        for (const char c : unit->speakingHelp) {
            text += c;
            if (c == '\n') {
                text.append(kColumn, ' ');
            }
        }
        text += '\n';
    }
    return text;
}

}  // namespace

std::string_view helpText() {
    static const std::string text =
        std::string(kBeforeProtocols) + protocolHelp() + std::string(kAfterProtocols);
    return text;
}

}  // namespace indicatorsim
