// TLS through a module. OpenSSL costs a program about 3 MB and 3 ms to load
// and set up, so the HTTP client loads libquorvel_tls.so on its first https
// request instead of at start-up; http and file requests never load it.
#pragma once

#include <memory>
#include <string>

#include "platform/net/socket_stream.h"

namespace platform::net {

// The calls of the module. It is built from this tree, so the stream
// crosses as it is.
struct TLSModule {
  int interfaceVersion = 0;
  // The connected, non-blocking socket `fd` wrapped in TLS once the
  // handshake is done and `host`'s certificate is verified against the
  // system's trusted ones (by name, or by address for an IP literal). The
  // stream owns `fd`; on failure `fd` is closed and `outcome` says why.
  std::unique_ptr<ByteStream> (*secure)(int fd, const std::string& host, Clock::time_point until,
                                        Transport& outcome) = nullptr;
};
inline constexpr int kTLSModuleInterfaceVersion = 1;
inline constexpr const char* kTLSModuleEntry = "quorvel_tls_module";

}  // namespace platform::net
