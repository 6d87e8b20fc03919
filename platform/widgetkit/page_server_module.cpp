// The entry of libquorvel_serve.so: PageServer on cpp-httplib.
#include <httplib.h>
#include <sys/socket.h>

#include "platform/widgetkit/page_server.h"

namespace platform::widgetkit {
namespace {

class HttplibPageServer final : public PageServer {
 public:
  explicit HttplibPageServer(PageHandler handle) : handle_(std::move(handle)) {
    // cpp-httplib would share the port (SO_REUSEPORT) with a server already
    // on it, and the kernel would split the requests between the two; only
    // a lingering closed socket may be reused.
    server_.set_socket_options([](int socket) {
      const int yes = 1;
      ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server_.set_default_headers({{"Cache-Control", "no-store"}});
    const auto serve = [this](const httplib::Request& request, httplib::Response& response) {
      PageReply reply = handle_({request.method, request.path, request.get_header_value("Host")});
      response.status = reply.status;
      if (reply.stream) {
        response.set_chunked_content_provider(
            reply.contentType,
            [stream = std::move(reply.stream)](std::size_t, httplib::DataSink& sink) {
              const std::optional<std::string> piece = stream();
              if (!piece) {
                sink.done();
                return true;
              }
              return sink.write(piece->data(), piece->size());
            });
      } else if (!reply.contentType.empty()) {
        response.set_content(std::move(reply.body), reply.contentType);
      }
    };
    server_.Get(".*", serve);
    server_.Post(".*", serve);
  }

  int bind(int port) override {
    if (port == 0) return server_.bind_to_any_port("127.0.0.1");
    return server_.bind_to_port("127.0.0.1", port) ? port : -1;
  }
  void listen() override { server_.listen_after_bind(); }
  void stop() override { server_.stop(); }

 private:
  PageHandler handle_;
  httplib::Server server_;
};

std::unique_ptr<PageServer> make(PageHandler handle) {
  return std::make_unique<HttplibPageServer>(std::move(handle));
}

}  // namespace
}  // namespace platform::widgetkit

extern "C" __attribute__((visibility("default"))) const platform::widgetkit::PageServerModule*
quorvel_page_server_module() {
  static const platform::widgetkit::PageServerModule module{
      platform::widgetkit::kPageServerModuleInterfaceVersion, platform::widgetkit::make};
  return &module;
}
