#include "cli/name_resolution.h"

#include "cli/command_spec.h"
#include "common/text.h"
#include "geodesy/datum.h"

namespace quiltor::cli {

namespace {

constexpr std::size_t kCloseNameCount = 5;

std::string QuotedList(const std::vector<std::string>& names) {
  std::string list;
  for (const auto& n : names) list += "\n  \"" + n + "\"";
  return list;
}

}  // namespace

std::string ResolveName(std::string_view typed, const std::vector<std::string>& names, std::string_view what,
                        std::string_view option) {
  for (const std::string& name : names)
    if (name == typed) return name;
  const std::string wanted = ToUpperAscii(TrimSpaces(typed));
  for (const std::string& name : names)
    if (ToUpperAscii(name) == ToUpperAscii(typed)) return name;
  std::vector<std::string> starting;
  for (const std::string& name : names) {
    const std::string upper = ToUpperAscii(name);
    if (!wanted.empty() && (upper.rfind(wanted, 0) == 0 || upper.rfind("(" + wanted + ")", 0) == 0))
      starting.push_back(name);
  }
  if (starting.size() == 1) return starting[0];
  std::string named(what);
  named.append(" \"").append(typed).append("\" for --").append(option);
  if (starting.size() > 1) throw UsageError(named + " is ambiguous; it may be:" + QuotedList(starting));
  throw UsageError("unknown " + named + "; close names:" + QuotedList(CloseNames(typed, names, kCloseNameCount)));
}

std::int32_t ResolveDatum(std::string_view typed, std::string_view option) {
  const geodesy::DatumTable& datums = geodesy::Datums();
  if (datums.HasDatum(typed)) return datums.FindDatum(typed);
  return datums.FindDatum(ResolveName(typed, datums.OfferedNames(), "datum", option));
}

std::vector<std::string> DestinationProjectionNames() {
  std::vector<std::string> names;
  for (const auto& p : geodesy::DestinationProjections()) names.emplace_back(p.displayName);
  return names;
}

std::vector<std::string> CatalogueProjectionNames(const geodesy::ProjectionCatalogue& catalogue) {
  std::vector<std::string> names;
  for (const auto& row : catalogue.Rows()) names.push_back(row.ProjCode);
  return names;
}

void NoteDatumFileProblems(const Console& console) {
  for (const std::string& m : geodesy::DatumStartupMessages()) console.Note(m);
}

}  // namespace quiltor::cli
