#include "platform/usernotifications/extension_main.h"

#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "platform/foundation/bundle.h"
#include "platform/foundation/container.h"
#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/foundation/file_access.h"
#include "platform/foundation/output_file.h"
#include "platform/foundation/program_folder.h"
#include "platform/foundation/status.h"
#include "platform/usernotifications/delivered_attachments.h"
#include "platform/usernotifications/desktop_notifier.h"
#include "platform/usernotifications/notification_request.h"
#include "platform/usernotifications/service_extension.h"

namespace platform::usernotifications {
namespace {

using foundation::DispatchQueue;
using foundation::Result;
using foundation::Status;
using Fields = UNNotificationContent::Fields;

constexpr double kDefaultTimeLimitSeconds = 30;
constexpr double kMinTimeLimitSeconds = 0.001;
constexpr double kMaxTimeLimitSeconds = 86400;
// A push payload is at most a few kilobytes; anything far beyond is not one.
constexpr std::size_t kMaxPayloadBytes = 1u << 20;

// The first content delivered for the request, and by which path. Written
// on the main queue; read there and after the run loop has stopped.
struct Delivery {
  std::mutex mutex;
  std::optional<Fields> content;
  const char* deliveredBy = nullptr;
  // True only while the expiry entry point runs on the main queue.
  std::atomic<bool> expiryRunning{false};

  bool delivered() {
    std::lock_guard<std::mutex> lock(mutex);
    return content.has_value();
  }
  void record(Fields fields, const char* by) {
    std::lock_guard<std::mutex> lock(mutex);
    if (content) return;  // the first delivery is the one shown
    content = std::move(fields);
    deliveredBy = by;
  }
};

// The callback handed to the extension: callable from any thread, any number
// of times. The content is read at the moment of the call (that is what is
// shown), and the record is made on the main queue.
ContentHandler makeContentHandler(std::shared_ptr<Delivery> delivery) {
  return [delivery](std::shared_ptr<UNNotificationContent> content) {
    if (!content) return;
    Fields fields = content->fields();
    const char* by = DispatchQueue::isMainThread() && delivery->expiryRunning ? "expiry" : "helper";
    DispatchQueue::main().async([delivery, fields = std::move(fields), by]() mutable {
      delivery->record(std::move(fields), by);
    });
  };
}

Result<std::string> readAll(std::istream& stream, const std::string& name) {
  std::string bytes;
  char buffer[8192];
  while (stream.read(buffer, sizeof(buffer)) || stream.gcount() > 0) {
    bytes.append(buffer, static_cast<std::size_t>(stream.gcount()));
    if (bytes.size() > kMaxPayloadBytes) {
      return Status::TooLarge("payload " + name + " is larger than 1 MiB");
    }
  }
  if (stream.bad()) {
    return Status::IOError("cannot read payload " + name);
  }
  return bytes;
}

Result<std::string> readPayloadBytes(const std::string& source, std::istream& in) {
  if (source == "-") return readAll(in, "from standard input");
  // A FIFO or a device named as the payload must not stall the delivery.
  auto bytes = foundation::readRegularFile(source, kMaxPayloadBytes);
  if (!bytes.ok())
    return Status::IOError("cannot read payload: " + bytes.status.localizedDescription());
  return bytes;
}

Result<nlohmann::json> parsePayload(const std::string& bytes, const std::string& source) {
  const std::string name = source == "-" ? "from standard input" : source;
  // Copying, converting and writing a JSON value recurse once per level, so
  // a megabyte of "[" would overflow the stack long after parsing (which does
  // not recurse) succeeded. Deeper values are dropped as they are read.
  bool tooDeep = false;
  const nlohmann::json::parser_callback_t limitDepth =
      [&tooDeep](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
        const bool opens = event == nlohmann::json::parse_event_t::object_start ||
                           event == nlohmann::json::parse_event_t::array_start;
        if (opens && depth >= kMaxPayloadNesting) tooDeep = true;
        return !tooDeep;
      };
  try {
    nlohmann::json payload = nlohmann::json::parse(bytes, limitDepth);
    if (tooDeep) {
      return Status::Parse("payload " + name + " is nested deeper than " +
                           std::to_string(kMaxPayloadNesting) + " levels");
    }
    return payload;
  } catch (const nlohmann::json::parse_error& error) {
    // The library's message names the byte where reading stopped.
    std::string detail = error.what();
    if (auto colon = detail.find("parse error"); colon != std::string::npos)
      detail = detail.substr(colon);
    return Status::Parse("payload " + name + " is not JSON: " + detail);
  } catch (const nlohmann::json::exception& error) {
    // Well-formed yet unreadable, such as a number past the range of a double
    // ("number overflow parsing '1e400'"); the library's tag is dropped.
    std::string detail = error.what();
    if (auto tagEnd = detail.find("] "); tagEnd != std::string::npos)
      detail = detail.substr(tagEnd + 2);
    return Status::Parse("payload " + name + " is unusable JSON: " + detail);
  }
}

std::string programName(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty()) return "extension";
  return std::filesystem::path(args[0]).filename().string();
}

constexpr const char* kHelpFooter = R"(The payload is a push payload as a push server sends it:
  {"aps":{"alert":...,"badge":...,"sound":...,"mutable-content":1,...},...}
The system hands it to the extension only when "aps" has "mutable-content": 1
and an alert; any other notification is shown as it came ("deliveredBy":
"system"). A payload without "aps" is no notification. A member of the wrong
type (a badge that is text, say) is left out with a note on standard error.

Writes one line of JSON:
  {"deliveredBy":"helper"|"expiry"|"system"|null,"content":{"title":...,
   "subtitle":...,"body":...,"badge":...,"sound":...,"categoryIdentifier":...,
   "threadIdentifier":...,"attachments":[{"identifier":...,"url":...,"type":...}],
   "userInfo":{...}}}
Attachment files are moved to $QUORVEL_HOME/System/Notifications/Attachments;
those of the last KEPT notifications with attachments are kept.

Example:
  PROGRAM --payload push.json --output result.json

Environment:
  QUORVEL_HOME   where the extension's files live
                 (default ${XDG_DATA_HOME:-$HOME/.local/share}/quorvel)
  XDG_DATA_HOME  see QUORVEL_HOME

Exit status: 0 delivered, 1 nothing delivered, 2 usage error, unreadable or
unusable payload, or unwritable output.)";

// The footer with the program's name and the number of notifications kept.
std::string helpFooter(const std::string& program) {
  std::string text = kHelpFooter;
  text.replace(text.find("KEPT"), 4, std::to_string(kKeptNotificationAttachments));
  text.replace(text.find("PROGRAM"), 7, program);
  return text;
}

void printNotes(std::ostream& err, const std::string& program, const std::string& what,
                const std::vector<std::string>& notes) {
  for (const std::string& note : notes)
    err << program << ": " << what << ": " << foundation::escapedForm(note) << "\n";
}

}  // namespace

int runServiceExtension(const std::vector<std::string>& args, const NSExtensionInfo& info,
                        std::istream& in, std::ostream& out, std::ostream& err,
                        bool inputIsTerminal) {
  const std::string program = programName(args);
  std::string payloadSource = "-";
  std::string outputTarget = "-";
  double timeLimitSeconds = kDefaultTimeLimitSeconds;

  CLI::App app("Runs the notification service extension on one push payload, as the system would.",
               program);
  app.footer(helpFooter(program));
  app.set_version_flag("--version", info.version.empty() ? std::string("unknown") : info.version,
                       "Print the version and exit");
  CLI::Option* payloadOption =
      app.add_option("--payload", payloadSource,
                     "Push payload (JSON) to read; - (the default) for standard input")
          ->type_name("FILE|-");
  app.add_option("--time-limit", timeLimitSeconds,
                 "Seconds before the expiry entry point is called")
      ->type_name("SECONDS")
      ->capture_default_str();
  app.add_option("--output", outputTarget,
                 "Where to write the result (JSON); - (the default) for standard output")
      ->type_name("FILE|-");
  bool show = false;
  app.add_flag("--show", show,
               "Also show the delivered notification on the desktop (through the session "
               "bus's notification server); when it cannot be shown, a note says why");

  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  if (argv.empty()) argv.push_back("extension");
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help, out, err);
  } catch (const CLI::CallForVersion& version) {
    return app.exit(version, out, err);
  } catch (const CLI::ParseError& error) {
    err << program << ": bad command line: " << foundation::escapedForm(error.what()) << "\nRun '"
        << program << " --help' for the usage.\n";
    return 2;
  }
  if (payloadOption->count() == 0 && inputIsTerminal) {
    // Waiting silently for a payload typed at a terminal helps nobody.
    err << app.help();
    return 2;
  }
  // Written as a negated range test so that "nan" is refused too.
  if (!(timeLimitSeconds >= kMinTimeLimitSeconds && timeLimitSeconds <= kMaxTimeLimitSeconds)) {
    err << program << ": bad --time-limit: it must be between 0.001 and 86400 seconds\n";
    return 2;
  }

  auto bytes = readPayloadBytes(payloadSource, in);
  if (!bytes.ok()) {
    err << program << ": " << foundation::escapedForm(bytes.status.localizedDescription()) << "\n";
    return 2;
  }
  auto payload = parsePayload(*bytes.value, payloadSource);
  if (!payload.ok()) {
    err << program << ": " << foundation::escapedForm(payload.status.localizedDescription())
        << "\n";
    return 2;
  }
  foundation::setMainBundleIdentifier(info.bundleIdentifier);
  std::vector<std::string> notes;
  auto request = UNNotificationRequest::fromPayload(*payload.value, &notes);
  if (!request.ok()) {
    err << program
        << ": unusable payload: " << foundation::escapedForm(request.status.localizedDescription())
        << "\n";
    return 2;
  }
  printNotes(err, program, "payload member left out", notes);

  auto delivery = std::make_shared<Delivery>();
  if (!startsServiceExtension(*payload.value)) {
    delivery->record((*request.value)->content()->fields(), "system");
  } else {
    std::shared_ptr<UNNotificationServiceExtension> service =
        createPrincipalClass(info.principalClass);
    if (!service) {
      err << program << ": cannot start the extension: no principal class named \""
          << info.principalClass << "\" is registered\n";
      return 1;
    }
    const auto delivered = [&delivery] { return delivery->delivered(); };
    const auto timeLimit = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(timeLimitSeconds));

    DispatchQueue::main().async(
        [service, request = *request.value, handler = makeContentHandler(delivery)] {
          service->didReceiveNotificationRequest(request, handler);
        });
    if (!foundation::runMainQueueUntil(delivered, std::chrono::steady_clock::now() + timeLimit)) {
      DispatchQueue::main().async([service, delivery] {
        delivery->expiryRunning = true;
        service->serviceExtensionTimeWillExpire();
        delivery->expiryRunning = false;
      });
      foundation::runMainQueueUntil(delivered,
                                    std::chrono::steady_clock::now() + kExpiryGracePeriod);
    }
  }

  nlohmann::ordered_json result;
  std::optional<UNNotificationContent::Fields> shown;
  {
    std::lock_guard<std::mutex> lock(delivery->mutex);
    notes.clear();
    if (delivery->content && foundation::isPlainFileName(info.bundleIdentifier)) {
      takeOverAttachments(*delivery->content, foundation::extensionContainer(info.bundleIdentifier),
                          (*request.value)->identifier(), notes);
    }
    result["deliveredBy"] = delivery->deliveredBy ? nlohmann::ordered_json(delivery->deliveredBy)
                                                  : nlohmann::ordered_json(nullptr);
    result["content"] =
        delivery->content ? toJSON(*delivery->content) : nlohmann::ordered_json(nullptr);
    if (show && delivery->content) shown = *delivery->content;
  }
  printNotes(err, program, "attachment", notes);
  // Payload texts need not be valid UTF-8; replace what is not rather than fail.
  const std::string line =
      result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  if (outputTarget == "-") {
    errno = 0;
    out << line << std::flush;
    if (!out) {
      err << program
          << ": cannot write standard output: " << std::strerror(errno != 0 ? errno : EIO) << "\n";
      return 2;
    }
  } else if (Status written = platform::foundation::writeOutputFile(outputTarget, line);
             !written.ok()) {
    err << program << ": " << foundation::escapedForm(written.localizedDescription()) << "\n";
    return 2;
  }
  if (shown) {
    const auto icon = info.iconPath.empty() ? std::filesystem::path()
                                            : foundation::programFolder() / info.iconPath;
    const DesktopApp app{
        info.displayName.empty() ? program : info.displayName,
        std::filesystem::is_regular_file(icon) ? icon.lexically_normal().string() : std::string()};
    if (Status status = showOnDesktop(*shown, app); !status.ok()) {
      err << program << ": not shown on the desktop: " << status.localizedDescription() << "\n";
    }
  }
  return result["deliveredBy"].is_null() ? 1 : 0;
}

int NSExtensionMain(int argc, char** argv, const NSExtensionInfo& info) {
  std::vector<std::string> args(argv, argv + argc);
  int status =
      runServiceExtension(args, info, std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) == 1);
  // The system ends an extension's process once it has its answer; work
  // still in flight (an image transfer past the time limit) is abandoned, not
  // waited for. Ending here, without exit-time clean-up, also keeps library
  // tear-down (TLS, for one) from racing such a transfer's thread.
  // Standard output that could not be written (--help into /dev/full, say)
  // is an unwritable output, whatever was delivered.
  // (Status 2 has said what failed already.)
  if (status != 2 && foundation::finishStandardOutput(status, programName(args)) != status) {
    status = 2;
  }
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace platform::usernotifications
