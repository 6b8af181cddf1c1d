#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace quiltor::cli {
namespace {

TEST(JsonWriter, LaysOutNestedValues) {
  JsonWriter json;
  json.BeginObject()
      .String("title", "a")
      .Number("scale", 2.5, 3)
      .Integer("width", -7)
      .Bool("ok", true)
      .Key("points")
      .BeginArray()
      .BeginObject()
      .Integer("x", 1)
      .EndObject()
      .BeginObject()
      .EndObject()
      .EndArray()
      .StringArray("errors", {})
      .StringArray("log", {"x", "y"})
      .EndObject();
  EXPECT_EQ(json.Text(),
            R"({"title": "a", "scale": 2.500, "width": -7, "ok": true, "points": [{"x": 1}, {}], "errors": [], )"
            R"("log": ["x", "y"]})");
}

TEST(JsonWriter, NumbersThatJsonCannotHoldAreNull) {
  JsonWriter json;
  json.BeginArray()
      .Number(std::nan(""), 6)
      .Number(std::numeric_limits<double>::infinity(), 2)
      .Number(-std::numeric_limits<double>::infinity(), 2)
      .Number(0.126, 2)
      .EndArray();
  EXPECT_EQ(json.Text(), "[null, null, null, 0.13]");
}

TEST(JsonWriter, EscapesAndWritesValidUtf8) {
  const struct {
    std::string text;
    std::string quoted;
  } cases[] = {
      {"say \"hi\"\\", R"("say \"hi\"\\")"},
      {"a\nb\tc\rd", R"("a\nb\tc\rd")"},
      {std::string("\x01\x1f\x7f", 3), R"("\u0001\u001f\u007f")"},
      {"Z\xC3\xBCrich \xE2\x82\xAC", "\"Z\xC3\xBCrich \xE2\x82\xAC\""},  // already UTF-8: unchanged
      {"Z\xFCrich \x80", "\"Z\xC3\xBCrich \xE2\x82\xAC\""},              // Windows-1252
      {"\xC3", "\"\xC3\x83\""},                                          // a cut sequence
  };
  for (const auto& c : cases) EXPECT_EQ(JsonQuoted(c.text), c.quoted) << c.text;
}

TEST(JsonWriter, RefusesUnbalancedOutput) {
  JsonWriter open;
  open.BeginObject().Key("a");
  EXPECT_THROW(open.Text(), std::logic_error);
  JsonWriter keyInArray;
  keyInArray.BeginArray();
  EXPECT_THROW(keyInArray.Key("a"), std::logic_error);
  JsonWriter twoValues;
  twoValues.Integer(1);
  EXPECT_THROW(twoValues.Integer(2), std::logic_error);
}

}  // namespace
}  // namespace quiltor::cli
