#include "cli/args.h"

#include "common/text.h"

namespace quiltor::cli {

namespace {

bool LooksLikeOption(const std::string& a) {
  if (a.size() < 2 || a[0] != '-') return false;
  const char c = a[1];
  return !(c == '.' || (c >= '0' && c <= '9'));
}

std::string OptionName(const std::string& a) {
  if (a == "-o") return "output";
  if (a.rfind("--", 0) == 0) return a.substr(2);
  return a.substr(1);
}

}  // namespace

Args::Args(const std::vector<std::string>& argv, const std::set<std::string>& valued,
           const std::set<std::string>& flags) {
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (!LooksLikeOption(a)) {
      positionals_.push_back(a);
      continue;
    }
    std::string name = OptionName(a);
    std::optional<std::string> inlineValue;
    if (const auto eq = name.find('='); eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (flags.count(name) > 0 && !inlineValue) {
      flags_.insert(name);
    } else if (valued.count(name) > 0) {
      if (inlineValue) {
        values_[name].push_back(*inlineValue);
      } else if (i + 1 < argv.size()) {
        values_[name].push_back(argv[++i]);
      } else {
        throw UsageError{"option --" + name + " needs a value"};
      }
    } else {
      throw UsageError{"unknown option " + a};
    }
  }
}

std::optional<std::string> Args::Value(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

std::vector<std::string> Args::Values(const std::string& name) const {
  const auto it = values_.find(name);
  return it == values_.end() ? std::vector<std::string>{} : it->second;
}

std::optional<double> Args::Number(const std::string& name) const {
  const auto v = Value(name);
  if (!v) return std::nullopt;
  const auto d = TryParseDecimal(*v);
  if (!d) throw UsageError{"--" + name + " takes a number, not \"" + *v + "\""};
  return d;
}

std::optional<int> Args::Integer(const std::string& name) const {
  const auto v = Value(name);
  if (!v) return std::nullopt;
  const auto i = TryParseInt(*v);
  if (!i) throw UsageError{"--" + name + " takes a whole number, not \"" + *v + "\""};
  return *i;
}

double Args::PositionalNumber(std::size_t i, const std::string& what) const {
  if (i >= positionals_.size()) throw UsageError{"missing " + what};
  const std::string& s = positionals_[i];
  // "," is a decimal comma for ParseDecimal, but on a command line it is
  // more likely a typo between two numbers: refuse it.
  const auto d = s.find(',') == std::string::npos ? TryParseDecimal(s) : std::nullopt;
  if (!d) throw UsageError{what + " must be a number, not \"" + s + "\""};
  return *d;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          static const char* hex = "0123456789abcdef";
          out += "\\u00";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonNumber(double value, int decimals) { return FormatFixed(value, decimals); }

}  // namespace quiltor::cli
