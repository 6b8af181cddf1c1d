#pragma once
// Shared by the commands that take a datum by name: resolve it exactly as
// the datum list does, but refuse a name that is not in the table (the
// program itself would quietly fall back to WGS 84) and list close names.
#include <cmath>
#include <ostream>
#include <string>

#include "cli/args.h"
#include "geodesy/datum.h"

namespace quiltor::cli {

inline std::int32_t DatumByName(const std::string& name, const char* option) {
  const geodesy::DatumTable& datums = geodesy::Datums();
  if (datums.HasDatum(name)) return datums.FindDatum(name);
  std::string message = std::string("unknown datum \"") + name + "\" for --" + option + "; close names:";
  for (const std::string& close : datums.CloseNames(name, 5)) message += "\n  \"" + close + "\"";
  throw UsageError{message};
}

// Shows what went wrong while the datum file was read, once per command.
inline void ReportDatumFileProblems(std::ostream& err, const char* command) {
  for (const std::string& m : geodesy::DatumStartupMessages()) err << "quiltor-cli " << command << ": " << m << "\n";
}

// A positional number that must also be finite ("nan" and "inf" read as numbers).
inline double FinitePositional(const Args& args, std::size_t i, const std::string& what) {
  const double v = args.PositionalNumber(i, what);
  if (!std::isfinite(v)) throw UsageError{what + " must be a finite number"};
  return v;
}

}  // namespace quiltor::cli
