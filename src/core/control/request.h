#pragma once

// The control protocol that scripts, control systems and plenvo-ctl speak
// with the panel, over the local socket or TCP: plain text, one command per
// line (LF or CR LF, at most kMaxLine bytes, printable ASCII), one answer
// line per command.
//
//   status                          ok power on input yuv ... volume 31
//   status json (or --json)         ok {"power": "on", ..., "volume": 31}
//   set NAME VALUE [NAME VALUE ...] ok, once every setting is sent in the
//                                   order given
//   watch [json | --json]           ok, then one line per change the unit
//                                   reports ("bright 40" or {"bright": 40})
//                                   and per change of the port's line
//                                   ("port COM1 opened") until the client
//                                   closes the connection
//   raise                           ok, the panel comes forward
//   device PORT DEVICE              ok, DEVICE is behind port 1 or 2 from
//                                   now on, as --com1 and --com2 put it
//   listen [HOST:]PORT              ok, the protocol is served on TCP there
//                                   too, as --listen serves it
//   ping                            ok
//   help                            ok commands: ...; settings: ...
//   web                             ok http://HOST:PORT/?token=...: the web
//                                   page's link (on the local socket only)
//
// `device` and `listen` are what a second start of the program hands to the
// running one; they are taken on the local socket only.
//
// Anything else gets "error" and the reason, which names what is wrong and
// lists what would be valid:
//
//   set brite 40                    error unknown setting "brite"
//                                   (settings: power, input, ...)
//
// Commands, names and words may be written in any case; blank lines get no
// answer. The status pairs are the words `set` takes, so the answer to
// `status` with its "ok" replaced by "set" puts every setting back.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/line_splitter.h"
#include "control/setting_table.h"
#include "wire/device_state.h"

namespace plenvo::control {

enum class Verb { None, Status, Set, Watch, Raise, Device, Listen, Ping, Help, Web };

struct Request {
    Verb verb = Verb::None;  // None: a blank line
    bool json = false;       // status json, watch json
    std::vector<Assignment> settings;
    int port = 0;          // device
    std::string argument;  // device: the device, the rest of the line; listen: the address
    // Not empty: the line is no valid command; answer error_answer(error).
    std::string error;
};

// One line, without its line end.
Request parse_request(std::string_view line);
// A line as the splitter cut it; an overlong one is refused.
Request parse_request(const LineSplitter::Line& line);

std::string ok_answer(std::string_view text = {});
std::string error_answer(std::string_view reason);
// The reason an error answer gives; nothing when `answer` is not one.
std::optional<std::string> error_reason(std::string_view answer);
std::string status_answer(const DeviceState& s, bool json);
std::string help_answer();

}  // namespace plenvo::control
