#ifndef QM_EMBEDCONFIG_CONFIGREPORT_H
#define QM_EMBEDCONFIG_CONFIGREPORT_H

// The configuration check's report: for people, and for build scripts.

#include <string>
#include <string_view>

#include "embed-config/ConfigCheck.h"

// The report for people: what is read and done, then one line per finding
// ("warning: [Section] Key: ..."), then the counts; lines end with CR LF.
std::u16string FormatReportText(const TConfigReport& report, std::u16string_view config);

// The report as one JSON object (UTF-8, one line) for build scripts; target
// is empty for a check alone.
std::string FormatReportJson(const TConfigReport& report, std::u16string_view config, std::u16string_view target,
                             bool embedded);

#endif
