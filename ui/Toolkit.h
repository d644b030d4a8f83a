#pragma once

#include <chrono>
#include <stdexcept>
#include <string>

namespace quarn {

// Message box button styles used by the windows.
enum class MsgStyle {
  OkOnly,
  OkWarning,
  YesNo,
  YesNoWarning,
  YesNoQuestion,
  AbortRetryIgnore,
};

// Buttons a message box returns; the numbers are the classic button codes.
enum class MsgResult : int16_t { Ok = 1, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

// Thrown by Toolkit::EndApplication. Nothing catches it but the top of the
// event loop (and tests), so no further handler runs.
class ApplicationEnd : public std::exception {
 public:
  explicit ApplicationEnd(int code) : code_(code) {}
  int Code() const { return code_; }
  const char* what() const noexcept override { return "the application ends"; }

 private:
  int code_;
};

// The window system's services that code below the windows relies on. The
// application puts Qt behind it; tests put a scripted double behind it that
// answers the message boxes.
class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Shows a modal box and returns the button pressed. An empty title shows
  // the application's title. "\r\n" in the prompt breaks the line.
  virtual MsgResult MsgBox(const std::string& prompt, MsgStyle style,
                           const std::string& title = "") = 0;

  // Ends the application at once: throws ApplicationEnd.
  [[noreturn]] virtual void EndApplication(int code = 0) { throw ApplicationEnd(code); }

  // Lets pending window events run once.
  virtual void DoEvents() {}

  // Waits without busying the processor.
  virtual void Sleep(std::chrono::milliseconds duration) = 0;

  // The folder that holds the application's executable, without a trailing slash.
  virtual std::string AppFolder() = 0;

  // Whether a modal window of the session is open (a message box, the pause,
  // the wait for a locked database). The game stands still meanwhile: the
  // animation does not tick and no week is played, so that nothing changes
  // under a question.
  bool ModalOpen() const { return modalDepth_ > 0; }

  // Counts a modal window as open for its lifetime. Every MsgBox
  // implementation holds one while its box is up.
  class ModalScope {
   public:
    explicit ModalScope(Toolkit& toolkit) : toolkit_(toolkit) { ++toolkit_.modalDepth_; }
    ~ModalScope() { --toolkit_.modalDepth_; }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

   private:
    Toolkit& toolkit_;
  };

 private:
  int modalDepth_ = 0;
};

// The application's title, shown on message boxes that have none of their own.
inline constexpr const char* kAppTitle = "Quarn Game";

}  // namespace quarn
