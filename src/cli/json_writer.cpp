#include "cli/json_writer.h"

#include <cmath>
#include <stdexcept>

#include "common/text.h"

namespace quiltor::cli {

std::string JsonQuoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char ch : ValidUtf8(text)) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (open_.empty()) {
    if (!text_.empty()) throw std::logic_error("JSON: a second value at the top level");
    return;
  }
  if (open_.back().object) throw std::logic_error("JSON: a value without a key in an object");
  if (!open_.back().empty) text_ += ", ";
  open_.back().empty = false;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  if (open_.empty() || !open_.back().object || afterKey_) throw std::logic_error("JSON: a key outside an object");
  if (!open_.back().empty) text_ += ", ";
  open_.back().empty = false;
  text_ += JsonQuoted(key) + ": ";
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::BeginObject() {
  BeforeValue();
  text_ += "{";
  open_.push_back({true, true});
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  if (open_.empty() || !open_.back().object || afterKey_) throw std::logic_error("JSON: unbalanced object");
  open_.pop_back();
  text_ += "}";
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  BeforeValue();
  text_ += "[";
  open_.push_back({false, true});
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  if (open_.empty() || open_.back().object) throw std::logic_error("JSON: unbalanced array");
  open_.pop_back();
  text_ += "]";
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view value) {
  BeforeValue();
  text_ += JsonQuoted(value);
  return *this;
}

JsonWriter& JsonWriter::Number(double value, int decimals) {
  if (!std::isfinite(value)) return Null();
  BeforeValue();
  text_ += FormatFixed(value, decimals);
  return *this;
}

JsonWriter& JsonWriter::Integer(std::int64_t value) {
  BeforeValue();
  text_ += FormatInt(value);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  text_ += "null";
  return *this;
}

JsonWriter& JsonWriter::StringArray(std::string_view key, const std::vector<std::string>& values) {
  Key(key).BeginArray();
  for (const std::string& v : values) String(v);
  return EndArray();
}

const std::string& JsonWriter::Text() const {
  if (!open_.empty() || afterKey_) throw std::logic_error("JSON: an object or array is still open");
  return text_;
}

}  // namespace quiltor::cli
