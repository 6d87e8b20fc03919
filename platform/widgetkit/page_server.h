// The resident host's HTTP server on 127.0.0.1. cpp-httplib, and OpenSSL
// that it links, cost a program about 6 MB and 3 ms to load, so the server
// lives in the module libquorvel_serve.so, loaded only by a program that
// serves; the one-shot requests never load it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/foundation/status.h"

namespace platform::widgetkit {

struct PageRequest {
  std::string method;  // "GET", "POST"...
  std::string path;    // without the query
  std::string host;    // the Host field, as sent
};

struct PageReply {
  PageReply(int status = 200, std::string contentType = {}, std::string body = {})
      : status(status), contentType(std::move(contentType)), body(std::move(body)) {}
  int status;
  std::string contentType;  // none: no body
  std::string body;
  // When set, the body is sent in pieces as they come: each call waits for
  // the next and returns it, or nothing once the stream ends.
  std::function<std::optional<std::string>()> stream;
};

// Called on the server's threads, one call per request.
using PageHandler = std::function<PageReply(const PageRequest&)>;

// Every reply carries "Cache-Control: no-store": the pages are live.
class PageServer {
 public:
  virtual ~PageServer() = default;
  // Listens on 127.0.0.1:`port` (0: any free one; a port a live server
  // holds is refused); the port, or -1.
  virtual int bind(int port) = 0;
  // Serves until stop() is called from another thread.
  virtual void listen() = 0;
  virtual void stop() = 0;
};

// The calls of the module, built from this tree.
struct PageServerModule {
  int interfaceVersion = 0;
  std::unique_ptr<PageServer> (*make)(PageHandler handle) = nullptr;
};
inline constexpr int kPageServerModuleInterfaceVersion = 1;
inline constexpr const char* kPageServerModuleEntry = "quorvel_page_server_module";

// A server from the module (loaded on first use, from beside the program),
// or why there is none.
foundation::Result<std::unique_ptr<PageServer>> makePageServer(PageHandler handle);

}  // namespace platform::widgetkit
