#pragma once

#include <memory>
#include <string>

namespace quarn::server {

// The connection of a page, as what serves it sees it. Both calls may come
// from any thread and return at once.
class PageLink {
 public:
  virtual ~PageLink() = default;
  // Writes `text` to the page after what was given before.
  virtual void deliver(std::string text) = 0;
  // Writes what was given, then closes the connection.
  virtual void close() = 0;
};

// What serves a page's WebSocket: a participant's session, or a class's
// teacher's page. Each call returns at once; the work runs on the host's own
// strand, in the order of the calls.
class PageHost {
 public:
  virtual ~PageHost() = default;
  // `page` shows the host from now on.
  virtual void attach(std::shared_ptr<PageLink> page) = 0;
  // `page` is gone.
  virtual void detach(std::shared_ptr<PageLink> page) = 0;
  // A text message from the page.
  virtual void receive(std::string text) = 0;
};

}  // namespace quarn::server
