// The inspector's listings: one row per record of a table, the summary of
// the whole folder, and the numbers still free to take.
#pragma once

#include <string>

#include "zarnoscope/inspected_folder.h"
#include "zarnoscope/report.h"

namespace zarno {

Report ParentListing(const InspectedFolder& folder);
Report LodListing(const InspectedFolder& folder);
Report TextureListing(const InspectedFolder& folder);
Report PaletteListing(const InspectedFolder& folder);
Report SummaryReport(const InspectedFolder& folder);

// The parent indices Rigwright installs (1 ... its limit - 1) and the texture
// identifiers Skinwright stores (0 ... its capacity - 1) that nothing holds,
// as ranges "4-4999": text lines or JSON.
std::string FreeNumbers(const InspectedFolder& folder, bool json);

}  // namespace zarno
