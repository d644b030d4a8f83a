#pragma once

#include <QKeyEvent>
#include <QObject>
#include <functional>
#include <optional>

namespace quarn {

// A key as the entry boxes' filters see it: a typed character, Backspace or
// Enter. Keys that type nothing (arrows, Delete, Tab, Escape) are none of
// these and pass unfiltered.
struct TypedKey {
  enum class Kind { Character, Backspace, Enter };
  Kind kind = Kind::Character;
  QChar character;  // of a Character; Ctrl+V counts as the control character 0x16
  // Pressed with Ctrl (or Meta): an editing command such as Ctrl+A rather
  // than typing; Ctrl+V is one too.
  bool withControl = false;

  bool isDigit() const {
    return kind == Kind::Character && character >= QChar('0') && character <= QChar('9');
  }
  bool is(char c) const { return kind == Kind::Character && character == QChar(c); }
};

// What `event` types, if anything.
std::optional<TypedKey> typedKey(const QKeyEvent& event);

// Passes the typed keys of `target` to `swallow`, which returns true to keep
// a key from the box.
class KeyFilter : public QObject {
 public:
  KeyFilter(QObject* target, std::function<bool(const TypedKey&)> swallow);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<bool(const TypedKey&)> m_swallow;
};

}  // namespace quarn
