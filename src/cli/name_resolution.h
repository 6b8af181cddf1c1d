#pragma once
// How every command reads a projection or datum name typed by the user:
// the exact name; else the first name equal to it ignoring case; else the
// one name that starts with it ignoring case or whose short name it is in
// brackets ("utm" for "(UTM) Universal Transverse Mercator", "trans" for
// "Transverse Mercator" when no other name starts so). Anything else is
// refused with the close names, or with the names it could mean.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/projection_catalogue.h"

namespace quiltor::cli {

class Console;

// The name of `names` meant by `typed`; UsageError otherwise. `what` and
// `option` name it in the message ("projection", "projection").
std::string ResolveName(std::string_view typed, const std::vector<std::string>& names, std::string_view what,
                        std::string_view option);

// A datum of the datum table by name, as ResolveName reads it (the table
// itself matches whole names ignoring case and would fall back to WGS 84).
std::int32_t ResolveDatum(std::string_view typed, std::string_view option);

// The display names of the projections a destination map may use.
std::vector<std::string> DestinationProjectionNames();
// The display names of every row of a projection catalogue.
std::vector<std::string> CatalogueProjectionNames(const geodesy::ProjectionCatalogue& catalogue);

// Shows what went wrong while the datum file was read.
void NoteDatumFileProblems(const Console& console);

}  // namespace quiltor::cli
