#include "sim/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/Errors.h"

namespace quarn {

namespace {

namespace fs = std::filesystem;

// Closes the descriptor however the read ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

bool inside(const fs::path& folder, const fs::path& file) {
  const auto [f, p] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
  return f == folder.end() && p != file.end();
}

}  // namespace

std::string readInputFile(const std::string& folder, const std::string& name,
                          const std::string& what) {
  const auto refuse = [&what](int number, const std::string& reason) {
    return QuarnError(number, what + " " + reason);
  };
  const fs::path relative(name);
  if (name.empty() || relative.is_absolute() || relative.has_root_name() ||
      relative.has_root_directory()) {
    throw refuse(kErrInvalidPlan, "is not a file name inside the Input folder");
  }
  if (std::any_of(relative.begin(), relative.end(), [](const fs::path& p) { return p == ".."; })) {
    throw refuse(kErrInvalidPlan, "leads out of the Input folder (\"..\")");
  }

  std::error_code ec;
  const fs::path base = fs::canonical(folder, ec);
  if (ec) throw refuse(kErrFileNotFound, "was not found: the Input folder does not exist");
  // canonical() resolves links without opening anything, so a link that
  // leads out of the folder is seen before the file is touched.
  const fs::path target = fs::canonical(base / relative, ec);
  if (ec) {
    std::error_code ignored;
    if (!fs::exists(fs::symlink_status(base / relative, ignored))) {
      throw refuse(kErrFileNotFound, "was not found");
    }
    throw refuse(kErrFileNotFound, "cannot be read (" + ec.message() + ")");
  }
  if (!inside(base, target)) throw refuse(kErrInvalidPlan, "leads out of the Input folder");

  // Opened without blocking, so that a FIFO cannot hang the reader before
  // the type check below refuses it.
  Descriptor file(::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.get() < 0) {
    throw refuse(kErrFileNotFound, "cannot be read (" + std::string(std::strerror(errno)) + ")");
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw refuse(kErrInvalidPlan, "is not a regular file");
  }
  const std::string tooLarge = "is larger than " + std::to_string(kMaxInputBytes) + " bytes";
  if (static_cast<size_t>(info.st_size) > kMaxInputBytes) throw refuse(kErrInvalidPlan, tooLarge);

  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw refuse(kErrFileNotFound, "cannot be read (" + std::string(std::strerror(errno)) + ")");
    }
    if (got == 0) break;
    content.append(buffer, static_cast<size_t>(got));
    if (content.size() > kMaxInputBytes) throw refuse(kErrInvalidPlan, tooLarge);
  }
  return content;
}

}  // namespace quarn
