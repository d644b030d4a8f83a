#pragma once

// Where a report is written: a hidden folder beside the target, put in the
// target's place only when every file is complete.

#include <QByteArray>
#include <filesystem>
#include <string>

namespace quarn {

// The title of a report's page, by which a folder is known as a report's.
inline constexpr const char* kReportPageTitle = "<title>Quarn Game results</title>";

// Writes `text` to `path`; raises QuarnError when it cannot (a full disk).
void writeReportFile(const std::filesystem::path& path, const std::string& text);
// Bytes encoded in memory are written as any other file, so that a failed
// write is seen: the image writers do not always tell.
void writeReportFile(const std::filesystem::path& path, const QByteArray& bytes);

// The report is written here and moved to the target only when complete:
// a failure leaves the target as it was and no half-written folder behind.
// Only a folder an earlier report wrote is replaced, never one holding
// anything else (the data folder, the researcher's own files).
class StagingFolder {
 public:
  // Raises QuarnError when the target is a file, holds files and `replace`
  // is not set, is not an earlier report's, or its parent takes no folder.
  StagingFolder(const std::filesystem::path& target, bool replace);
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  ~StagingFolder();

  const std::filesystem::path& path() const { return m_path; }

  // Puts the written folder in the target's place; the earlier folder, if
  // any, goes only once the new one stands.
  void commit();

 private:
  std::filesystem::path m_target;
  std::filesystem::path m_path;
  bool m_committed = false;
};

}  // namespace quarn
