#pragma once
// A small command-line parser shared by every quiltor-cli command:
// "--name value", "--name=value", repeated options, flags and positionals.
// Numbers are read locale-independently. A negative number is a positional
// ("-0.1"), not an option.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quiltor::cli {

// Thrown for bad arguments; the command prints the message and exits 2.
struct UsageError {
  std::string message;
};

class Args {
 public:
  // `valued` lists the options that take a value, `flags` those that do not
  // ("-o" is always an alias of "--output").
  Args(const std::vector<std::string>& argv, const std::set<std::string>& valued, const std::set<std::string>& flags);

  bool Flag(const std::string& name) const { return flags_.count(name) > 0; }
  bool Has(const std::string& name) const { return values_.count(name) > 0; }
  std::optional<std::string> Value(const std::string& name) const;  // the last one given
  std::vector<std::string> Values(const std::string& name) const;  // all, in order
  std::optional<double> Number(const std::string& name) const;     // UsageError when not a number
  std::optional<int> Integer(const std::string& name) const;       // UsageError when not an integer
  const std::vector<std::string>& Positionals() const { return positionals_; }

  // Positional i as a number; UsageError naming `what` when absent or malformed.
  double PositionalNumber(std::size_t i, const std::string& what) const;

 private:
  std::map<std::string, std::vector<std::string>> values_;
  std::set<std::string> flags_;
  std::vector<std::string> positionals_;
};

// Minimal JSON text building: one object per command result.
std::string JsonString(const std::string& text);
std::string JsonNumber(double value, int decimals);

}  // namespace quiltor::cli
