// The entry of libquorvel_tls.so: TLS streams on OpenSSL.
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "platform/net/tls_module.h"

namespace platform::net {
namespace {

// One context for the process: loading the trusted certificates is the
// costly part, and it does not change between requests.
SSL_CTX* context() {
  static SSL_CTX* const shared = [] {
    SSL_CTX* made = SSL_CTX_new(TLS_client_method());
    if (!made) return made;
    SSL_CTX_set_min_proto_version(made, TLS1_2_VERSION);
    SSL_CTX_set_verify(made, SSL_VERIFY_PEER, nullptr);
    // A connection cut without TLS's own close reads as an end; the HTTP
    // framing then tells a whole body from a cut one.
    SSL_CTX_set_options(made, SSL_OP_IGNORE_UNEXPECTED_EOF);
    if (SSL_CTX_set_default_verify_paths(made) != 1) {
      SSL_CTX_free(made);
      return static_cast<SSL_CTX*>(nullptr);
    }
    return made;
  }();
  return shared;
}

// OpenSSL writes with write(2), which raises SIGPIPE on a connection the
// peer has closed; that must end the transfer, not the program. The signal
// is held for the calling thread while OpenSSL runs, and one it raised is
// taken back.
class QuietPipe {
 public:
  QuietPipe() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &saved_);
  }
  ~QuietPipe() {
    const timespec now{};
    if (!pendingBefore_) sigtimedwait(&pipe_, nullptr, &now);
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
  }

 private:
  sigset_t pipe_, saved_;
  bool pendingBefore_ = false;
};

class TLSStream final : public ByteStream {
 public:
  TLSStream(SSL* ssl, int fd) : ssl_(ssl), fd_(fd) {}
  ~TLSStream() override {
    SSL_free(ssl_);
    ::close(fd_);
  }

  // Runs `step` (an SSL call on this stream) until it gets past the
  // socket's waits; its result, or how it failed.
  template <typename Step>
  Moved run(Step step, Clock::time_point until) {
    const QuietPipe quiet;
    for (;;) {
      ERR_clear_error();
      size_t moved = 0;
      const int result = step(moved);
      if (result == 1) return {moved};
      switch (SSL_get_error(ssl_, result)) {
        case SSL_ERROR_WANT_READ:
          if (!waitReady(fd_, POLLIN, until)) return {0, Transport::kTimedOut};
          continue;
        case SSL_ERROR_WANT_WRITE:
          if (!waitReady(fd_, POLLOUT, until)) return {0, Transport::kTimedOut};
          continue;
        case SSL_ERROR_ZERO_RETURN:
          return {0};
        case SSL_ERROR_SSL:
          return {0, SSL_get_verify_result(ssl_) != X509_V_OK ? Transport::kCertificate
                                                              : Transport::kTLS};
        default:
          return {0, Transport::kLost};
      }
    }
  }

  Moved handshake(Clock::time_point until) {
    return run([this](size_t&) { return SSL_connect(ssl_); }, until);
  }
  Moved read(char* data, size_t size, Clock::time_point until) override {
    return run([&](size_t& moved) { return SSL_read_ex(ssl_, data, size, &moved); }, until);
  }
  Moved write(const char* data, size_t size, Clock::time_point until) override {
    return run([&](size_t& moved) { return SSL_write_ex(ssl_, data, size, &moved); }, until);
  }

 private:
  SSL* ssl_;
  int fd_;
};

std::unique_ptr<ByteStream> secure(int fd, const std::string& host, Clock::time_point until,
                                   Transport& outcome) {
  SSL_CTX* shared = context();
  SSL* ssl = shared ? SSL_new(shared) : nullptr;
  if (!ssl) {
    ::close(fd);
    outcome = Transport::kTLS;
    return nullptr;
  }
  auto stream = std::make_unique<TLSStream>(ssl, fd);
  // An IP literal is checked against the certificate's addresses (and sent
  // no server name); anything else is a host name.
  const bool named =
      X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str()) == 1 ||
      (SSL_set1_host(ssl, host.c_str()) == 1 && SSL_set_tlsext_host_name(ssl, host.c_str()) == 1);
  if (!named || SSL_set_fd(ssl, fd) != 1) {
    outcome = Transport::kTLS;
    return nullptr;
  }
  outcome = stream->handshake(until).outcome;
  if (outcome == Transport::kDone && SSL_is_init_finished(ssl) != 1) outcome = Transport::kLost;
  if (outcome != Transport::kDone) return nullptr;
  return stream;
}

}  // namespace
}  // namespace platform::net

extern "C" __attribute__((visibility("default"))) const platform::net::TLSModule*
quorvel_tls_module() {
  static const platform::net::TLSModule module{platform::net::kTLSModuleInterfaceVersion,
                                               platform::net::secure};
  return &module;
}
