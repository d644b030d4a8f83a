#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "db/ClassStore.h"

namespace quarn::server {

// The classes this process serves as last read from their database: the
// many students of a class who wait for its door to close ask here, and
// the class's row is read once in a while for all of them, not once a
// student.
class ClassBoard {
 public:
  // How old a class's row may be before the next look reads it again.
  static constexpr std::chrono::milliseconds kFreshFor{250};

  // The board of this process.
  static ClassBoard& shared();

  // The class `code` of the database at `place`: as read within kFreshFor,
  // else as `read` reads it now.
  std::optional<ClassRow> look(const std::string& place, const std::string& code,
                               const std::function<std::optional<ClassRow>()>& read);
  // The class as `read` reads it now, for the next looks too: where a
  // student must know the class as it stands at this moment.
  std::optional<ClassRow> readNow(const std::string& place, const std::string& code,
                                  const std::function<std::optional<ClassRow>()>& read);
  // The next look at the class reads it (a change made through this
  // process).
  void forget(const std::string& place, const std::string& code);

 private:
  struct Seen {
    std::optional<ClassRow> row;
    std::chrono::steady_clock::time_point at;
  };
  std::mutex m_mutex;
  std::map<std::string, Seen> m_seen;
};

}  // namespace quarn::server
