#pragma once

#include <string_view>

namespace quarn::server {

// A file of the participant's page, built into the program: a classroom
// network needs nothing else, and nothing is read from disk while serving.
struct PageAsset {
  std::string_view path;  // as requested, e.g. "/" or "/page.js"
  std::string_view contentType;
  std::string_view body;
};

// The page's file served at `path`; nullptr when there is none.
const PageAsset* findPageAsset(std::string_view path);

}  // namespace quarn::server
