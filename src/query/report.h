// The single query's report text, shared by the window and the command line.
#pragma once

#include "rows/judgement.h"
#include "site/standard_site.h"

namespace kelvaro {

// The report's entries in order, each ended by "\r\n\r\n" (without the leading "\r\n").
TextList ReportEntries(const CurrentStandardRecord& record, const Text& address,
                       const Text& cleaned_number);
// The same, `current` saying whether the record is the number's own standard.
TextList ReportEntriesOf(const CurrentStandardRecord& record, const Text& address, bool current);
// The last entry, "说明：" and what the lookup found beyond the status (withdrawn, not yet in
// force, a successor coming, another edition in force), the parts joined by "；"; empty when
// there is nothing of the kind.
Text NoteEntry(const Judgement& judgement);
// The whole text the report box ends up holding: "\r\n" then every entry.
Text ReportText(const CurrentStandardRecord& record, const Text& address,
                const Text& cleaned_number);

}  // namespace kelvaro
