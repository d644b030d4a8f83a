#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarn {

// What a student gives to join a class: a name (the program makes the User
// ID) or the User ID itself.
enum class ClassIdentity { Name, Id };
// How a team setting's students are put into teams: each into the next team
// with an open stage as they arrive, or all at once, shuffled, when the door
// closes.
enum class ClassForming { Arrival, Random };
// Open: students join. Closed: the door is shut (random forming has placed
// everyone). Started, Paused: as the teacher says. Ended: nobody joins or
// plays on through the class.
enum class ClassState { Open, Closed, Started, Paused, Ended };
// What the teacher may say to every student of a class at once: go on past
// the pause they wait at, or leave training for the experiment.
enum class ClassWord { PassPause, EndTraining };

// The stored words of the enums (datClass's Identity, Forming, State), and
// back; nothing for a word this version does not know.
std::string_view classIdentityName(ClassIdentity identity);
std::string_view classFormingName(ClassForming forming);
std::string_view classStateName(ClassState state);
std::optional<ClassIdentity> classIdentityOf(std::string_view word);
std::optional<ClassForming> classFormingOf(std::string_view word);
std::optional<ClassState> classStateOf(std::string_view word);

// A class: a row of datClass.
struct ClassRow {
  std::string code;  // kClassCodeLength characters of kClassCodeAlphabet
  std::string setting;
  // The teacher's password as a salted hash (hashClassPassword), as opened;
  // never read back (see ClassStore::passwordOpens).
  std::string password;
  ClassIdentity identity = ClassIdentity::Name;
  ClassForming forming = ClassForming::Arrival;
  // What becomes of the students left over when a team setting's students do
  // not fill whole teams: kLeftoverSmallTeam or kLeftoverSpread.
  std::string leftover;
  // The simulated player (a Name of tblPlayer) that plays a smaller team's
  // open stages.
  std::string leftoverPlayer;
  ClassState state = ClassState::Open;
  std::string opened;  // when, UTC: YYYY-MM-DD HH:MM:SS
  // How often the teacher passed the pause, and ended training, for
  // everyone: a student acts on a count above the one it saw when it came
  // to its pause or began its training.
  int64_t pausesPassed = 0;
  int64_t trainingsEnded = 0;

  friend bool operator==(const ClassRow&, const ClassRow&) = default;
};

// The last team is smaller; its open stages are played by leftoverPlayer.
inline constexpr const char* kLeftoverSmallTeam = "";
// The students are spread over the teams so that their sizes differ by one
// at most; each smaller team's open stages are played by leftoverPlayer.
inline constexpr const char* kLeftoverSpread = "spread";

// A student of a class: a row of datClassMember.
struct ClassStudent {
  std::string code;
  std::string subject;  // the User ID the student plays under
  std::string name;     // the name the student gave (a class of names), else ''
  int64_t arrival = 0;  // the order of arrival in the class, from 1
  std::string team;     // the team the program placed the student in; '' before

  friend bool operator==(const ClassStudent&, const ClassStudent&) = default;
};

// A class's code: short, easy to read out and to type (no 0/O, 1/I).
inline constexpr std::string_view kClassCodeAlphabet = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
inline constexpr size_t kClassCodeLength = 6;

// A new code, drawn from the system's cryptographic random source: a code
// cannot be foretold from the codes of other classes.
std::string drawClassCode();
// The code as a student may type it (letter case and blanks aside), in the
// stored form; nothing when it cannot be a code.
std::optional<std::string> normalClassCode(std::string_view typed);

// The teacher's password as datClass keeps it: a random salt and the
// PBKDF2-HMAC-SHA256 of the password under it. Never the password itself.
std::string hashClassPassword(const std::string& password);
// Whether `password` is the one `stored` was made from (compared in constant
// time).
bool classPasswordMatches(const std::string& stored, const std::string& password);
// The hash of `password` as hashClassPassword made it under `head`, a
// stored hash's scheme, iterations and salt ("pbkdf2-sha256$ITERATIONS$SALT"):
// what the stored hash is when `password` is right. Nothing when `head` is
// not such.
std::optional<std::string> classPasswordHashUnder(const std::string& head,
                                                  const std::string& password);

// The classes of an experiment database (datClass) and their students
// (datClassMember). Both engines keep them; every write is one transaction.
class ClassStore {
 public:
  virtual ~ClassStore() = default;

  // Stores the new class `row` under a code that no class has: row.code when
  // it is free, else codes from `drawCode` until one is. Returns the code.
  virtual std::string open(ClassRow row, const std::function<std::string()>& drawCode) = 0;
  // The class of `code` (as normalClassCode gives it), if there is one.
  virtual std::optional<ClassRow> find(const std::string& code) = 0;
  // Every class, the latest opened first.
  virtual std::vector<ClassRow> list() = 0;
  // Whether `password` is the teacher's password of the class `code`. The
  // stored hash is not read out: a server's workstation login may check a
  // password, not take the hash away to guess at.
  virtual bool passwordOpens(const std::string& code, const std::string& password) = 0;
  // Sets the class's state; false when there is no such class.
  virtual bool setState(const std::string& code, ClassState state) = 0;
  // Counts the teacher's `word` to everyone in the class (see
  // ClassRow::pausesPassed); false when there is no such class.
  virtual bool giveWord(const std::string& code, ClassWord word) = 0;

  // Records that `subject` joined the class (as `name`), in order of
  // arrival; a student who joins again keeps the row it has. Returns the
  // student's row.
  virtual ClassStudent arrive(const std::string& code, const std::string& subject,
                              const std::string& name) = 0;
  // The student of the class who gave `name` (letter case aside): the one
  // who gave it before (the same student coming back), else a new one whose
  // User ID the program makes, the class's code and its arrival
  // ("K7PQ2M-007"), unless datUser holds that User ID already.
  virtual ClassStudent arriveNamed(const std::string& code, const std::string& name) = 0;
  // The class's students, by arrival.
  virtual std::vector<ClassStudent> students(const std::string& code) = 0;
  // The student of the class who gave `name` (letter case aside), if any:
  // a name given again is the same student coming back.
  virtual std::optional<ClassStudent> studentNamed(const std::string& code,
                                                   const std::string& name) = 0;
  // Records the team the program placed the student in.
  virtual void place(const std::string& code, const std::string& subject,
                     const std::string& team) = 0;
  // Places the student (who arrived) in the class's first team, in the
  // order of classTeamName, that has fewer than `size` students, counted
  // in the same transaction; a student placed before keeps its team.
  // Returns the team.
  virtual std::string placeByArrival(const std::string& code, const std::string& subject,
                                     int size) = 0;
};

// The name of the class's team `number` (from 1): the class's code and T01,
// T02, ..., T100 ("K7PQ2M-T01"), so that two classes on one setting never
// share a team.
std::string classTeamName(const std::string& code, int number);

// Whether the teacher's password opens the class of `code`.
bool teacherPasswordOpens(ClassStore& store, const std::string& code, const std::string& password);

// The class store of stores that keep no classes: refuses every use.
ClassStore& refusingClassStore();

}  // namespace quarn
