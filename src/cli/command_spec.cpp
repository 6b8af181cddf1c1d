#include "cli/command_spec.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "common/text.h"

namespace quiltor::cli {

namespace {

constexpr std::size_t kHelpWidth = 100;

// "-0.1" and "-.5" are values; "-" alone is an operand (a conventional
// name for standard input or output).
bool LooksLikeOption(const std::string& a) {
  if (a.size() < 2 || a[0] != '-') return false;
  const char c = a[1];
  return !(c == '.' || (c >= '0' && c <= '9'));
}

const OptionSpec* FindShort(const CommandSpec& spec, char letter) {
  for (const OptionSpec& o : spec.options)
    if (o.shortName != 0 && o.shortName == letter) return &o;
  return nullptr;
}

void CheckValue(const OptionSpec& option, const std::string& value) {
  const std::string name(option.name);
  if (option.kind == ValueKind::Number && !TryParseDecimal(value))
    throw UsageError("--" + name + " takes a number, not \"" + value + "\"");
  if (option.kind == ValueKind::Integer && !TryParseInt(value))
    throw UsageError("--" + name + " takes a whole number, not \"" + value + "\"");
}

// "--zone N", "-o OUT.png", "--json".
std::string Synopsis(const OptionSpec& o) {
  std::string text(o.shortName != 0 ? 1 : 2, '-');
  if (o.shortName != 0) {
    text += o.shortName;
  } else {
    text += o.name;
  }
  if (o.kind != ValueKind::Flag) text.append(" ").append(o.valueName);
  return text;
}

std::string UsageItem(const OptionSpec& o) {
  std::string text = o.required ? Synopsis(o) : std::string("[").append(Synopsis(o)).append("]");
  return o.repeated ? text + "..." : text;
}

// Words laid out in lines of at most kHelpWidth, continuation lines indented.
void AppendWrapped(std::string& out, std::string first, const std::vector<std::string>& words, std::size_t indent) {
  std::string line = std::move(first);
  for (const std::string& w : words) {
    if (w.empty()) continue;
    if (line.size() + 1 + w.size() > kHelpWidth && line.size() > indent) {
      out += line + "\n";
      line = std::string(indent, ' ');
      line += w;
    } else {
      if (!line.empty() && line.back() != ' ') line += ' ';
      line += w;
    }
  }
  out += line + "\n";
}

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : text) {
    if (c == ' ') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

void AppendUsage(std::string& out, const CommandSpec& spec) {
  const std::string command = "quiltor-cli " + std::string(spec.name);
  std::vector<std::string> items;
  for (const OptionSpec& o : spec.options) items.push_back(UsageItem(o));
  const std::vector<std::string_view> forms = spec.forms.empty() ? std::vector<std::string_view>{""} : spec.forms;
  for (const std::string& w : SplitWords(forms[0])) items.push_back(w);
  AppendWrapped(out, "usage: " + command, items, 9);
  // The other forms show only what they need beside the options.
  for (std::size_t i = 1; i < forms.size(); ++i) {
    std::vector<std::string> rest;
    for (const OptionSpec& o : spec.options)
      if (o.required) rest.push_back(UsageItem(o));
    rest.push_back("[options]");
    for (const std::string& w : SplitWords(forms[i])) rest.push_back(w);
    AppendWrapped(out, "       " + command, rest, 9);
  }
}

void AppendOptions(std::string& out, const CommandSpec& spec) {
  if (spec.options.empty()) return;
  std::vector<std::string> left;
  std::size_t width = 0;
  for (const OptionSpec& o : spec.options) {
    std::string text = o.shortName != 0 ? std::string("-").append(1, o.shortName).append(", --") : "    --";
    text += o.name;
    if (o.kind != ValueKind::Flag) text.append(" ").append(o.valueName);
    if (o.repeated) text += "...";
    width = std::max(width, text.size());
    left.push_back(std::move(text));
  }
  width = std::min<std::size_t>(width, 30);
  out += "\noptions:\n";
  for (std::size_t i = 0; i < left.size(); ++i) {
    std::string first = "  " + left[i];
    if (first.size() > width + 2) {
      out += first + "\n";
      first.clear();
    }
    first.resize(width + 4, ' ');
    std::vector<std::string> words = SplitWords(spec.options[i].help);
    if (spec.options[i].required) words.push_back("(required)");
    AppendWrapped(out, first, words, width + 4);
  }
}

}  // namespace

std::vector<OptionSpec> OptionList(std::initializer_list<std::vector<OptionSpec>> groups) {
  std::vector<OptionSpec> all;
  for (const auto& g : groups) all.insert(all.end(), g.begin(), g.end());
  return all;
}

const OptionSpec* CommandSpec::FindOption(std::string_view optionName) const {
  for (const OptionSpec& o : options)
    if (o.name == optionName) return &o;
  return nullptr;
}

std::string HelpText(const CommandSpec& spec) {
  std::string out;
  AppendUsage(out, spec);
  if (!spec.description.empty()) {
    out += "\n";
    out += spec.description;
  }
  AppendOptions(out, spec);
  out += "\n";
  if (!spec.example.empty()) out += "Example: " + std::string(spec.example) + "\n";
  if (!spec.exitCodes.empty()) AppendWrapped(out, "Exit codes:", SplitWords(spec.exitCodes), 2);
  return out;
}

bool HelpWanted(const std::vector<std::string>& argv) {
  for (const std::string& a : argv) {
    if (a == "--") return false;
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

Args::Args(const CommandSpec& spec, const std::vector<std::string>& argv) : spec_(&spec) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (optionsEnded || !LooksLikeOption(a)) {
      positionals_.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = a.rfind("--", 0) == 0 ? a.substr(2) : a.substr(1);
    std::optional<std::string> inlineValue;
    if (const auto eq = name.find('='); eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const OptionSpec* option = name.size() == 1 ? FindShort(spec, name[0]) : spec.FindOption(name);
    if (option == nullptr) throw UsageError("unknown option " + a);
    const std::string canonical(option->name);
    if (option->kind == ValueKind::Flag) {
      if (inlineValue) throw UsageError("--" + canonical + " takes no value");
      flags_.push_back(canonical);
      continue;
    }
    if (!inlineValue && i + 1 >= argv.size()) throw UsageError("option --" + canonical + " needs a value");
    const std::string value = inlineValue ? *inlineValue : argv[++i];
    CheckValue(*option, value);
    given_.emplace_back(canonical, value);
  }
  for (const OptionSpec& o : spec.options) {
    if (!o.required || Has(o.name) || Flag(o.name)) continue;
    throw UsageError(Synopsis(o) + " is required");
  }
}

const OptionSpec& Args::Declared(std::string_view name) const {
  const OptionSpec* option = spec_->FindOption(name);
  if (option == nullptr)
    throw std::logic_error("--" + std::string(name) + " is not an option of " + std::string(spec_->name));
  return *option;
}

bool Args::Flag(std::string_view name) const {
  Declared(name);
  return std::find(flags_.begin(), flags_.end(), name) != flags_.end();
}

bool Args::Has(std::string_view name) const { return Value(name).has_value(); }

std::optional<std::string> Args::Value(std::string_view name) const {
  Declared(name);
  for (auto it = given_.rbegin(); it != given_.rend(); ++it)
    if (it->first == name) return it->second;
  return std::nullopt;
}

std::vector<std::string> Args::Values(std::string_view name) const {
  Declared(name);
  std::vector<std::string> values;
  for (const auto& [n, v] : given_)
    if (n == name) values.push_back(v);
  return values;
}

std::optional<double> Args::Number(std::string_view name) const {
  if (Declared(name).kind != ValueKind::Number)
    throw std::logic_error("--" + std::string(name) + " is not declared as a number");
  const auto v = Value(name);
  return v ? TryParseDecimal(*v) : std::nullopt;
}

std::optional<int> Args::Integer(std::string_view name) const {
  if (Declared(name).kind != ValueKind::Integer)
    throw std::logic_error("--" + std::string(name) + " is not declared as a whole number");
  const auto v = Value(name);
  if (!v) return std::nullopt;
  return TryParseInt(*v);
}

std::optional<int> Args::IntegerWithin(std::string_view name, int low, int high) const {
  const std::optional<int> value = Integer(name);
  if (value && (*value < low || *value > high)) {
    throw UsageError("--" + std::string(name) + " takes " + FormatInt(low) + " to " + FormatInt(high) + ", not " +
                     FormatInt(*value));
  }
  return value;
}

double Args::PositionalNumber(std::size_t i, const std::string& what) const {
  if (i >= positionals_.size()) throw UsageError("missing " + what);
  const std::string& s = positionals_[i];
  // "," is a decimal comma for ParseDecimal, but on a command line it is
  // more likely a typo between two numbers: refuse it.
  const auto d = s.find(',') == std::string::npos ? TryParseDecimal(s) : std::nullopt;
  if (!d) throw UsageError(what + " must be a number, not \"" + s + "\"");
  return *d;
}

void Args::ExpectPositionals(std::size_t count, const std::string& what) const {
  if (positionals_.size() == count) return;
  if (count == 0) throw UsageError("unexpected argument \"" + positionals_[0] + "\"");
  throw UsageError(what);
}

void RequireFolders(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) throw UsageError("no such folder: " + folder);
  }
}

void CheckLatLon(double latitude, double longitude, const std::string& latitudeName,
                 const std::string& longitudeName) {
  if (!(std::fabs(latitude) <= 90.0))
    throw UsageError(latitudeName + " must lie within -90 to 90, not " + FormatShortest(latitude));
  if (!(std::fabs(longitude) <= 180.0))
    throw UsageError(longitudeName + " must lie within -180 to 180, not " + FormatShortest(longitude));
}

void Console::Note(const std::string& text) const {
  err << "quiltor-cli " << command_ << ": " << text << "\n";
}

std::function<void(const std::string&)> Console::NoteSink() const {
  return [this](const std::string& text) { Note(text); };
}

}  // namespace quiltor::cli
