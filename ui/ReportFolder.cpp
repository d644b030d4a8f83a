#include "ui/ReportFolder.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <set>

#include "base/Errors.h"

namespace quarn {

namespace fs = std::filesystem;

namespace {

// The files a report writes beside its participants' PDFs and pictures/.
bool isReportDataFile(const std::string& name) {
  static const std::set<std::string> names = {"index.html", "overview.pdf", "measures.csv",
                                              "weeks.csv",  "fits.csv",     "summary.csv",
                                              "codebook.md"};
  return names.count(name) != 0;
}

// Why `folder` is not one a report wrote, naming the first entry that is
// not a report's; empty when it is one. A report's folder holds its page
// (with the report's title), the data files, the PDFs the page links to and
// pictures/ with PNG and SVG files, and nothing else.
std::optional<std::string> notAReport(const fs::path& folder) {
  const fs::path index = folder / "index.html";
  std::ifstream in(index, std::ios::binary);
  const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!fs::is_regular_file(fs::symlink_status(index)) ||
      page.find(kReportPageTitle) == std::string::npos) {
    return std::string("it holds no report's index.html");
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    const fs::file_status status = fs::symlink_status(entry.path());
    if (name == "pictures" && fs::is_directory(status)) {
      for (const fs::directory_entry& picture : fs::directory_iterator(entry.path())) {
        const std::string ext = picture.path().extension().string();
        if (!fs::is_regular_file(fs::symlink_status(picture.path())) ||
            (ext != ".png" && ext != ".svg")) {
          return "it holds pictures/" + picture.path().filename().string();
        }
      }
      continue;
    }
    const bool linkedPdf = entry.path().extension() == ".pdf" &&
                           page.find("href=\"" + name + "\"") != std::string::npos;
    if (!fs::is_regular_file(status) || !(isReportDataFile(name) || linkedPdf)) {
      return "it holds " + name;
    }
  }
  return std::nullopt;
}

}  // namespace

void writeReportFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw QuarnError(kErrFileNotFound, "Cannot write " + path.string());
}

void writeReportFile(const fs::path& path, const QByteArray& bytes) {
  writeReportFile(path, std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

StagingFolder::StagingFolder(const fs::path& target, bool replace) : m_target(target) {
  std::error_code error;
  if (fs::exists(m_target) && !fs::is_directory(m_target)) {
    throw QuarnError(kErrFileNotFound, m_target.string() + " is a file, not a folder");
  }
  if (fs::is_directory(m_target) && !fs::is_empty(m_target, error)) {
    if (!replace) {
      throw QuarnError(kErrFileNotFound, "The folder " + m_target.string() +
                                             " holds files already; --replace writes the "
                                             "report in place of an earlier report");
    }
    if (const std::optional<std::string> why = notAReport(m_target)) {
      throw QuarnError(kErrFileNotFound, "The folder " + m_target.string() +
                                             " is not an earlier report's (" + *why +
                                             "): --replace replaces only a folder a report "
                                             "wrote. Choose an empty or new folder");
    }
  }
  const fs::path parent = m_target.parent_path().empty() ? fs::path(".") : m_target.parent_path();
  m_path = parent / ("." + m_target.filename().string() + ".writing-" + std::to_string(::getpid()));
  // The report is made beside the target: a parent that takes no new
  // folder is named, not the hidden folder that could not be made.
  try {
    fs::create_directories(parent);
    fs::remove_all(m_path);
    fs::create_directories(m_path / "pictures");
  } catch (const fs::filesystem_error& e) {
    throw QuarnError(kErrFileNotFound, "Cannot write the report into " + m_target.string() +
                                           ": it is made in a new folder beside it first, and " +
                                           parent.string() + " takes none (" + e.code().message() +
                                           ")");
  }
}

StagingFolder::~StagingFolder() {
  std::error_code ignored;
  if (!m_committed) fs::remove_all(m_path, ignored);
}

void StagingFolder::commit() {
  const fs::path old = m_path.string() + "-old";
  const bool hadTarget = fs::exists(m_target);
  if (hadTarget) fs::rename(m_target, old);
  try {
    fs::rename(m_path, m_target);
  } catch (...) {
    if (hadTarget) fs::rename(old, m_target);
    throw;
  }
  m_committed = true;
  std::error_code ignored;
  if (hadTarget) fs::remove_all(old, ignored);
}

}  // namespace quarn
