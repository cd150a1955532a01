// The single query's report text, shared by the window and the command line.
#pragma once

#include "site/standard_site.h"

namespace kelvaro {

// The report's entries in order, each ended by "\r\n\r\n" (without the leading "\r\n").
TextList ReportEntries(const CurrentStandardRecord& record, const Text& address,
                       const Text& cleaned_number);
// The same, `current` saying whether the record is the number's own standard.
TextList ReportEntriesOf(const CurrentStandardRecord& record, const Text& address, bool current);
// The whole text the report box ends up holding: "\r\n" then every entry.
Text ReportText(const CurrentStandardRecord& record, const Text& address,
                const Text& cleaned_number);

}  // namespace kelvaro
