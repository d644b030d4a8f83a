#pragma once

#include <algorithm>
#include <charconv>
#include <map>
#include <string>
#include <vector>

#include "tools/Commands.h"

namespace quarn::admin {

// The arguments of a command: the positional ones in order, and the value of
// each "--name VALUE" option.
struct ParsedArguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;

  std::string option(const std::string& name) const {
    const auto found = options.find(name);
    return found == options.end() ? "" : found->second;
  }
  bool has(const std::string& name) const { return options.count(name) != 0; }
};

// Options not in `known` or `flags`, an option given twice or without its
// value, or a count of positional arguments other than `positional` raise
// UsageError with `usage`. A flag takes no value; has() tells it was given.
inline ParsedArguments parseArguments(const std::vector<std::string>& args,
                                      const std::vector<std::string>& known, size_t positional,
                                      const std::string& usage,
                                      const std::vector<std::string>& flags = {}) {
  ParsedArguments parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].rfind("--", 0) != 0) {
      parsed.positional.push_back(args[i]);
      continue;
    }
    if (std::find(flags.begin(), flags.end(), args[i]) != flags.end()) {
      if (parsed.options.count(args[i]) != 0) throw UsageError("usage: quarngame-admin " + usage);
      parsed.options[args[i]] = "";
      continue;
    }
    bool isKnown = false;
    for (const std::string& k : known) isKnown = isKnown || k == args[i];
    if (!isKnown || i + 1 >= args.size() || parsed.options.count(args[i]) != 0) {
      throw UsageError("usage: quarngame-admin " + usage);
    }
    parsed.options[args[i]] = args[i + 1];
    ++i;
  }
  if (parsed.positional.size() != positional) throw UsageError("usage: quarngame-admin " + usage);
  return parsed;
}

// A whole number from `lowest` to `highest` given for `option`.
template <typename Number>
Number wholeNumber(const std::string& text, const std::string& option, Number lowest,
                   Number highest) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < lowest ||
      value > highest) {
    throw UsageError(option + " must be a whole number from " + std::to_string(lowest) + " to " +
                     std::to_string(highest) + ", not " + text);
  }
  return value;
}

}  // namespace quarn::admin
