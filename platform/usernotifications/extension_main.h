// NSExtensionMain: the executable entry of a notification service
// extension, standing in for the system that runs it. It reads a push
// payload, creates the principal class by its runtime name, calls the
// request entry point, runs the main queue until content is delivered or the
// time limit passes, then calls the expiry entry point and waits briefly.
//
//   <program> [--payload FILE|-] [--time-limit SECONDS] [--output FILE|-]
//
// Writes one line of JSON,
//   {"deliveredBy":"helper"|"expiry"|"system"|null,"content":{…}|null}
// ("system" when the payload does not start the extension).
// (content as toJSON of the first delivered content). Exit status: 0
// delivered, 1 nothing delivered, 2 usage error, unreadable, unusable or too
// deeply nested payload, or unwritable output (a message on standard error).
// Call from the process's main thread, once.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>
#include <vector>

namespace platform::usernotifications {

// What the extension's property list declares.
struct NSExtensionInfo {
  std::string bundleIdentifier;  // becomes the main bundle's identifier
  std::string principalClass;    // runtime name, see registerPrincipalClass
  std::string version;           // what --version prints
  std::string displayName;       // the sender a desktop notification names
  std::string iconPath;          // its icon, relative to the program's folder; may be missing
};

// How long the entry waits after calling the expiry entry point for a
// delivery it may still make from another thread.
inline constexpr std::chrono::milliseconds kExpiryGracePeriod{1000};

// The most objects and arrays a payload may nest: a push payload is a few
// kilobytes of shallow JSON, and one nested deeper is refused as unusable.
inline constexpr int kMaxPayloadNesting = 64;

// Never returns: ends the process with the exit status once the result is
// written, abandoning work still in flight.
[[noreturn]] int NSExtensionMain(int argc, char** argv, const NSExtensionInfo& info);

// The same with explicit arguments (args[0] is the program name) and
// streams: `in` for "--payload -", `out` for "--output -", help and version,
// `err` for messages. When `in` is a terminal and no --payload is given, the
// usage goes to `err` (exit status 2) instead of waiting for typing.
int runServiceExtension(const std::vector<std::string>& args, const NSExtensionInfo& info,
                        std::istream& in, std::ostream& out, std::ostream& err,
                        bool inputIsTerminal = false);

}  // namespace platform::usernotifications
