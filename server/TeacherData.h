#pragma once

// What the teacher's page and the projector read and change in the
// database: the class (its setting, password and state), the live view of
// its setting, the played trials its charts are drawn from, and the
// replacement of a team member.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/RecordedTrial.h"
#include "db/ClassStore.h"
#include "db/TeamStore.h"
#include "game/LabWatch.h"

namespace quarn::server {

// A class as the teacher's page needs it.
struct ClassRecord {
  std::string code;
  std::string setting;
  std::string state;  // "open", "closed", "started", "paused" or "ended"
};

// Used by one thread at a time (the class's monitor). Every read and change
// may raise a QuarnError (the database cannot be reached, or refuses).
class TeacherData {
 public:
  virtual ~TeacherData() = default;
  // The class of `code`; none when there is no such class.
  virtual std::optional<ClassRecord> find(const std::string& code) = 0;
  // Whether `password` is the class's teacher password.
  virtual bool passwordMatches(const std::string& code, const std::string& password) = 0;
  virtual void setState(const std::string& code, const std::string& state) = 0;
  // Starts the class (see startClass: an open class's door closes first);
  // false when it ended.
  virtual bool start(const std::string& code) = 0;
  // Gives the teacher's word to every student of the class, in whichever
  // server process the student plays (see ClassStore::giveWord).
  virtual void tell(const std::string& code, ClassWord word) = 0;
  // The live view of the students of `setting` at `now` (seconds since
  // 1970).
  virtual LabWatch watch(const std::string& setting, int64_t now) = 0;
  // The setting's experiment trials as recorded, a team's members joined.
  virtual std::vector<RecordedTrial> trials(const std::string& setting) = 0;
  // The simulated players a member may be replaced by.
  virtual std::vector<std::string> players() = 0;
  // Replaces `member` of `team` by `player` (see TeamStore::replace).
  virtual TeamTrialMember replace(const std::string& setting, const std::string& team,
                                  int16_t member, const std::string& player) = 0;
};

// The class data of the database the server plays on (data/ of
// `appFolder`: its quarn.conf, else its quarn.mdb).
std::unique_ptr<TeacherData> openTeacherData(const std::string& appFolder);

}  // namespace quarn::server
