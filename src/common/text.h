#pragma once
// Text and number helpers shared by every subsystem. Numbers are read and
// written with std::from_chars / std::to_chars only, so the decimal point is
// always "." whatever locale the process runs in.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quiltor {

// Removes leading and trailing spaces (spaces only; tabs stay).
std::string TrimSpaces(std::string_view text);

// True for a text that is empty after removing leading spaces.
bool IsBlank(std::string_view text);

// ASCII upper case (the map file keywords and switches are ASCII).
std::string ToUpperAscii(std::string_view text);

// Reads a decimal number: surrounding spaces removed, "," taken as ".", a
// leading "+" allowed. The whole text must be the number; nullopt otherwise
// (an empty text included).
std::optional<double> TryParseDecimal(std::string_view text);

// TryParseDecimal with 0 for an empty or malformed text.
double ParseDecimal(std::string_view text);

// Reads a whole 32-bit integer ("+" allowed); nullopt when the whole trimmed
// text is not one.
std::optional<std::int32_t> TryParseInt(std::string_view text);

// The n-th (1-based) comma-separated field of a line with spaces trimmed.
// Fewer than n fields, or an empty field: the default. A field of spaces
// only yields an empty text, not the default.
std::string CsvField(std::string_view line, int n, std::string_view fallback);

// The n-th field as a real: absent or empty gives the default; every
// character but digits, "+", "-", ".", "E", "e" becomes a space; a field with
// no digits reads as 0; a malformed number reads as its longest valid prefix.
double CsvFloat(std::string_view line, int n, double fallback);

// The n-th field as an integer: only digits, "+" and "-" survive the filter;
// when what remains is not an integer ("12.5" becomes "12 5") the default.
std::int32_t CsvInt(std::string_view line, int n, std::int32_t fallback);

// Pads a number text on the left with "0" to `width` characters.
std::string ZeroPad(std::string_view text, int width);

// Fixed-point text with `decimals` digits after ".", e.g. FormatFixed(1.5, 3)
// is "1.500". Non-finite values are written as "0" followed by the decimals.
std::string FormatFixed(double value, int decimals);

// FormatFixed padded on the left with spaces to at least `width` characters
// (the Pascal "v:width:decimals" form used by the map file writer).
std::string FormatFixedWidth(double value, int width, int decimals);

// The shortest text that reads back as the same double.
std::string FormatShortest(double value);

std::string FormatInt(std::int64_t value);

// The words of a line separated by runs of blanks and tabs; views into `text`.
std::vector<std::string_view> SplitBlanks(std::string_view text);

// ValidUtf8 with every control character (C0, DEL and C1) replaced by "?",
// so that a title or path never sends raw control bytes to a terminal.
std::string PrintableText(std::string_view text);

// Levenshtein distance between two texts (bytes), for "did you mean" lists
// of close datum and projection names.
std::size_t EditDistance(std::string_view a, std::string_view b);

// Up to `count` of `names` closest to what was typed, for a "did you mean"
// list: names containing it (ignoring case) first, then by edit distance,
// where a name that starts like what was typed is close even when it goes on
// for longer ("Ord Srvy" for "Ord Srvy Grt Britn"). Ties keep list order.
std::vector<std::string> CloseNames(std::string_view typed, const std::vector<std::string>& names, std::size_t count);

// The text as UTF-8: itself when it already is valid UTF-8, otherwise every
// byte read as Windows-1252 (the code page of map files written on Windows).
std::string ValidUtf8(std::string_view text);

}  // namespace quiltor
