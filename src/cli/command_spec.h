#pragma once
// Every quiltor-cli command is one declared CommandSpec: its options (name,
// value type, help line, whether required or repeated) and its operands.
// Parsing and the command's --help both come from it, so the two cannot
// drift apart. Adding an option is one line in the command's spec, e.g.
//   Integer("threads", "N", "worker threads of the create (default: one per core)"),
// and reading it one call: args.Integer("threads").
//
// The command line itself: "--name value" or "--name=value"; "-o" for
// "--output" where a command has it; a single dash before a long name is
// accepted too ("-json"). An argument starting with "-" and a digit or "."
// is a value, not an option ("-0.1"), and "--" ends the options: everything
// after it is an operand ("-- -33.9 151.2").
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/command_failure.h"

namespace quiltor::cli {

enum class ValueKind {
  Flag,     // no value
  Text,     // any text
  Number,   // a decimal number, read locale-independently
  Integer,  // a whole number
};

struct OptionSpec {
  std::string_view name;       // "zone" for --zone
  ValueKind kind = ValueKind::Flag;
  std::string_view valueName;  // what the help shows for the value ("N", "DIR"); empty for a flag
  std::string_view help;       // one line for the options list of --help
  bool required = false;
  bool repeated = false;       // may be given several times, all values kept in order
  char shortName = 0;          // 'o' for -o

  constexpr OptionSpec Required() const {
    OptionSpec o = *this;
    o.required = true;
    return o;
  }
  constexpr OptionSpec Repeated() const {
    OptionSpec o = *this;
    o.repeated = true;
    return o;
  }
  constexpr OptionSpec Short(char letter) const {
    OptionSpec o = *this;
    o.shortName = letter;
    return o;
  }
};

constexpr OptionSpec Flag(std::string_view name, std::string_view help) {
  return {name, ValueKind::Flag, {}, help};
}
constexpr OptionSpec Text(std::string_view name, std::string_view valueName, std::string_view help) {
  return {name, ValueKind::Text, valueName, help};
}
constexpr OptionSpec Number(std::string_view name, std::string_view valueName, std::string_view help) {
  return {name, ValueKind::Number, valueName, help};
}
constexpr OptionSpec Integer(std::string_view name, std::string_view valueName, std::string_view help) {
  return {name, ValueKind::Integer, valueName, help};
}

// The options of several groups in order (a command's own and a shared
// group such as the destination options).
std::vector<OptionSpec> OptionList(std::initializer_list<std::vector<OptionSpec>> groups);

class Args;
class Console;

struct CommandSpec {
  std::string_view name;
  std::string_view summary = {};             // one line for "quiltor-cli --help"
  std::vector<OptionSpec> options = {};
  std::vector<std::string_view> forms = {};  // the operands of each way to call it ("LATITUDE LONGITUDE")
  std::string_view description = {};         // what the command does, for --help
  std::string_view example = {};             // one command line, or empty
  std::string_view exitCodes = {};           // "0 written, 1 ..., 2 bad arguments."
  std::function<int(const Args&, const Console&)> run = {};  // returns the exit code or throws CommandFailure

  const OptionSpec* FindOption(std::string_view optionName) const;
};

// The text of "quiltor-cli NAME --help".
std::string HelpText(const CommandSpec& spec);

// True when "--help" or "-h" comes before any "--": the help is shown
// whatever else the command line holds.
bool HelpWanted(const std::vector<std::string>& argv);

// The arguments of one command, parsed against its spec. Every accessor
// takes a name the spec declares (anything else is a programming error and
// throws std::logic_error), so that code and spec cannot disagree.
class Args {
 public:
  // Throws UsageError for an unknown option, a missing or malformed value,
  // or a required option not given.
  Args(const CommandSpec& spec, const std::vector<std::string>& argv);

  bool Flag(std::string_view name) const;
  bool Has(std::string_view name) const;
  std::optional<std::string> Value(std::string_view name) const;  // the last one given
  std::vector<std::string> Values(std::string_view name) const;   // all, in order
  std::optional<double> Number(std::string_view name) const;
  std::optional<int> Integer(std::string_view name) const;
  // Integer, refused (UsageError naming the option and the range) outside
  // low..high: what a window's field would limit without a word.
  std::optional<int> IntegerWithin(std::string_view name, int low, int high) const;

  // Every valued option in command-line order, for commands whose answers
  // follow the order in which different options were given.
  const std::vector<std::pair<std::string, std::string>>& Given() const { return given_; }

  const std::vector<std::string>& Positionals() const { return positionals_; }
  // Positional i as a finite number; UsageError naming `what` when absent
  // or malformed.
  double PositionalNumber(std::size_t i, const std::string& what) const;
  // UsageError unless there are exactly `count` operands; `what` names them.
  void ExpectPositionals(std::size_t count, const std::string& what) const;

 private:
  const OptionSpec& Declared(std::string_view name) const;

  const CommandSpec* spec_;
  std::vector<std::pair<std::string, std::string>> given_;
  std::vector<std::string> flags_;
  std::vector<std::string> positionals_;
};

// UsageError "no such folder: DIR" for the first of `folders` that is not
// a folder: a folder that is not there is a bad argument for every command.
void RequireFolders(const std::vector<std::string>& folders);

// UsageError unless latitude lies within -90..90 and longitude within
// -180..180; the message names the value by `latitudeName` or
// `longitudeName` ("LATITUDE", "--latlon latitude").
void CheckLatLon(double latitude, double longitude, const std::string& latitudeName,
                 const std::string& longitudeName);

// Where a command writes: results to `out`, notes and reasons to `err`,
// every note prefixed with the command's name.
class Console {
 public:
  Console(std::string_view command, std::ostream& out, std::ostream& err) : command_(command), out(out), err(err) {}

  // "quiltor-cli COMMAND: text" on stderr.
  void Note(const std::string& text) const;
  // Note as a callback, for the loaders that report through a MessageSink.
  std::function<void(const std::string&)> NoteSink() const;

 private:
  std::string_view command_;

 public:
  std::ostream& out;
  std::ostream& err;
};

}  // namespace quiltor::cli
