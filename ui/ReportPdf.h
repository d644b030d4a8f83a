#pragma once

// The report's PDFs, rendered from the report's model: overview.pdf with the
// study overview, and one PDF per participant or team with a page per trial.
// Tables are set in fixed-width type, their columns three blanks apart.

#include <QString>
#include <filesystem>
#include <vector>

#include "analysis/ReportModel.h"

namespace quarn {

// The table's lines: the header, then a line per row.
std::vector<QString> pdfTableLines(const ReportTable& table);

void writeOverviewPdf(const std::filesystem::path& path, const ReportModel& model);

// `team`: the section is a team's.
void writeSectionPdf(const std::filesystem::path& path, const ReportSection& section, bool team);

}  // namespace quarn
