#include "common/text.h"

#include <algorithm>
#include <array>
#include <vector>
#include <charconv>
#include <cmath>

namespace quiltor {

std::string TrimSpaces(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

bool IsBlank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

namespace {

// from_chars takes no leading "+"; accept one (and only one) ourselves.
std::string_view DropPlus(std::string_view s) {
  if (s.size() > 1 && s.front() == '+' && s[1] != '-' && s[1] != '+') s.remove_prefix(1);
  return s;
}

// Parses the longest valid prefix of `s` as a double; nullopt when no prefix is.
std::optional<double> ParsePrefix(std::string_view s, bool whole) {
  s = DropPlus(s);
  double value = 0;
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) return std::nullopt;
  if (ec != std::errc()) return std::nullopt;
  if (whole && ptr != s.data() + s.size()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

// Field n of a line without trimming; nullopt when the line has fewer fields.
std::optional<std::string_view> RawField(std::string_view line, int n) {
  if (n < 1) return std::nullopt;
  std::size_t start = 0;
  for (int i = 1; i < n; ++i) {
    const auto comma = line.find(',', start);
    if (comma == std::string_view::npos) return std::nullopt;
    start = comma + 1;
  }
  const auto end = line.find(',', start);
  return line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

// Replaces every character not in `keep` by a space and trims the result.
std::string FilterChars(std::string_view text, std::string_view keep) {
  std::string out(text);
  for (char& c : out) {
    const bool digit = c >= '0' && c <= '9';
    if (!digit && keep.find(c) == std::string_view::npos) c = ' ';
  }
  return TrimSpaces(out);
}

}  // namespace

std::optional<double> TryParseDecimal(std::string_view text) {
  std::string s = TrimSpaces(text);
  for (char& c : s) {
    if (c == ',') c = '.';
  }
  if (s.empty()) return std::nullopt;
  return ParsePrefix(s, true);
}

double ParseDecimal(std::string_view text) { return TryParseDecimal(text).value_or(0.0); }

std::optional<std::int32_t> TryParseInt(std::string_view text) {
  const std::string s = TrimSpaces(text);
  const std::string_view v = DropPlus(s);
  if (v.empty()) return std::nullopt;
  std::int32_t value = 0;
  const auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
  if (ec != std::errc() || ptr != v.data() + v.size()) return std::nullopt;
  return value;
}

std::string CsvField(std::string_view line, int n, std::string_view fallback) {
  const auto raw = RawField(line, n);
  if (!raw || raw->empty()) return std::string(fallback);
  return TrimSpaces(*raw);
}

double CsvFloat(std::string_view line, int n, double fallback) {
  const auto raw = RawField(line, n);
  if (!raw || raw->empty()) return fallback;
  const std::string filtered = FilterChars(*raw, "+-.Ee");
  if (filtered.find_first_of("0123456789") == std::string::npos) return 0.0;
  return ParsePrefix(filtered, false).value_or(0.0);
}

std::int32_t CsvInt(std::string_view line, int n, std::int32_t fallback) {
  const auto raw = RawField(line, n);
  if (!raw || raw->empty()) return fallback;
  return TryParseInt(FilterChars(*raw, "+-")).value_or(fallback);
}

std::string ZeroPad(std::string_view text, int width) {
  std::string out(text);
  if (static_cast<int>(out.size()) < width) out.insert(0, static_cast<std::size_t>(width) - out.size(), '0');
  return out;
}

std::string FormatFixed(double value, int decimals) {
  if (!std::isfinite(value)) value = 0.0;
  std::array<char, 400> buf{};
  const auto [ptr, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return "0";
  std::string out(buf.data(), ptr);
  if (out.size() > 1 && out.front() == '-' && out.find_first_not_of("-0.") == std::string::npos) out.erase(0, 1);
  return out;
}

std::string FormatFixedWidth(double value, int width, int decimals) {
  std::string out = FormatFixed(value, decimals);
  if (static_cast<int>(out.size()) < width) out.insert(0, static_cast<std::size_t>(width) - out.size(), ' ');
  return out;
}

std::string FormatShortest(double value) {
  if (!std::isfinite(value)) return "0";
  std::array<char, 64> buf{};
  const auto [ptr, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  return ec == std::errc() ? std::string(buf.data(), ptr) : std::string("0");
}

std::string FormatInt(std::int64_t value) {
  std::array<char, 24> buf{};
  const auto [ptr, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  return std::string(buf.data(), ec == std::errc() ? ptr : buf.data());
}

std::string PrintableText(std::string_view text) {
  const std::string utf8 = ValidUtf8(text);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    // C1 controls are U+0080..U+009F, written as C2 80..C2 9F.
    if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      out += '?';
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      out += '?';
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<std::string> CloseNames(std::string_view typed, const std::vector<std::string>& names, std::size_t count) {
  const std::string wanted = ToUpperAscii(TrimSpaces(typed));
  struct Candidate {
    bool contains;
    std::size_t distance;
    std::size_t index;
  };
  std::vector<Candidate> candidates;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string upper = ToUpperAscii(TrimSpaces(names[i]));
    const bool contains = !wanted.empty() && upper.find(wanted) != std::string::npos;
    const std::size_t distance =
        std::min(EditDistance(wanted, upper), EditDistance(wanted, upper.substr(0, wanted.size())) + 1);
    candidates.push_back({contains, distance, i});
  }
  std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& x, const Candidate& y) {
    if (x.contains != y.contains) return x.contains;
    return x.distance < y.distance;
  });
  std::vector<std::string> close;
  for (const Candidate& c : candidates) {
    if (close.size() >= count) break;
    close.push_back(names[c.index]);
  }
  return close;
}

namespace {

// Length of the UTF-8 sequence starting at text[i], 0 when it is not a
// valid one (overlong forms, surrogates and code points past U+10FFFF
// included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Windows-1252 bytes 0x80..0x9F; the five it leaves undefined keep their
// own code point, as browsers read them.
constexpr std::uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

std::vector<std::string_view> SplitBlanks(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

std::string ValidUtf8(std::string_view text) {
  bool valid = true;
  for (std::size_t i = 0; i < text.size() && valid;) {
    const std::size_t length = Utf8SequenceLength(text, i);
    valid = length > 0;
    i += length;
  }
  if (valid) return std::string(text);
  std::string out;
  out.reserve(text.size() * 2);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
  }
  return out;
}

}  // namespace quiltor
