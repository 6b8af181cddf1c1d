#pragma once
// The JSON objects the commands print with --json, built value by value so
// that every brace, comma and escape is placed in one place:
//   JsonWriter json;
//   json.BeginObject().String("title", map.title).Number("metresPerPixel", mpp, 6).EndObject();
//   out << json.Text() << "\n";
// Layout: ", " between members and elements, ": " after a key. Strings come
// out escaped and as valid UTF-8 (see ValidUtf8); a number that is NaN or
// infinite is written as null, since JSON has no such numbers.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quiltor::cli {

class JsonWriter {
 public:
  // Elements of an array, or the value after Key().
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& String(std::string_view value);
  JsonWriter& Number(double value, int decimals);  // fixed decimals; null when not finite
  JsonWriter& Integer(std::int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // Members of an object.
  JsonWriter& Key(std::string_view key);  // then one value, object or array
  JsonWriter& String(std::string_view key, std::string_view value) { return Key(key).String(value); }
  JsonWriter& Number(std::string_view key, double value, int decimals) { return Key(key).Number(value, decimals); }
  JsonWriter& Integer(std::string_view key, std::int64_t value) { return Key(key).Integer(value); }
  JsonWriter& Bool(std::string_view key, bool value) { return Key(key).Bool(value); }
  JsonWriter& Null(std::string_view key) { return Key(key).Null(); }
  JsonWriter& StringArray(std::string_view key, const std::vector<std::string>& values);

  // The text written so far; std::logic_error while an object or array is
  // still open.
  const std::string& Text() const;

 private:
  void BeforeValue();

  struct Level {
    bool object;  // an object, not an array
    bool empty;   // nothing written in it yet
  };
  std::string text_;
  std::vector<Level> open_;  // the objects and arrays not yet closed, innermost last
  bool afterKey_ = false;
};

// A JSON string literal, quotes included.
std::string JsonQuoted(std::string_view text);

}  // namespace quiltor::cli
