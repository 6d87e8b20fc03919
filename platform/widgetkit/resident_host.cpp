#include "platform/widgetkit/resident_host.h"

#include <fmt/format.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>  // program_invocation_short_name
#include <cmath>
#include <condition_variable>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <thread>

#include "platform/foundation/dispatch/dispatch_queue.h"
#include "platform/foundation/file_access.h"
#include "platform/foundation/output_file.h"
#include "platform/ui/desktop_appearance.h"
#include "platform/ui/renderer_module.h"
#include "platform/ui/view_dump.h"
#include "platform/widgetkit/date_format.h"
#include "platform/widgetkit/file_watch.h"
#include "platform/widgetkit/page_server.h"
#include "platform/widgetkit/resident_page.h"

namespace platform::widgetkit {
namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::ordered_json;
namespace fs = std::filesystem;

constexpr const char* kAppearances[] = {"light", "dark"};
// Bursts of writes (a journal, then the file; a temporary, then a rename)
// settle within this; the reload still starts well within a second.
constexpr std::chrono::milliseconds kQuiet{100};
constexpr std::chrono::milliseconds kLongestBurst{400};
constexpr int kMostBackoffDoublings = 4;

std::optional<std::string> systemDateText(std::optional<Clock::time_point> at) {
  if (!at) return std::nullopt;
  const auto offset =
      std::chrono::duration_cast<std::chrono::system_clock::duration>(*at - Clock::now());
  return iso8601String(std::chrono::system_clock::now() + offset);
}

Clock::time_point steadyTimeOf(std::chrono::system_clock::time_point date) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(date - std::chrono::system_clock::now());
}

// What a person or a screen reader gets from a drawn view: its texts in
// order, and the URL a tap opens (a view carries one link; with several,
// which one a tap opens is left open, as on the phone).
void readView(const ordered_json& node, std::vector<std::string>& texts, std::string& url) {
  if (node.is_object()) {
    if (auto runs = node.find("runs"); runs != node.end() && runs->is_array()) {
      std::string line;
      for (const auto& run : *runs) line += run.value("text", "");
      if (!line.empty()) texts.push_back(line);
    }
    if (node.value("type", "") == "widgetURL") url = node.value("url", "");
  }
  if (node.is_structured()) {
    for (const auto& child : node) readView(child, texts, url);
  }
}

// One appearance of one entry version, drawn the first time it is asked
// for (by the page, or by the main thread when it keeps files current) and
// never again: an entry nobody looks at costs no drawing.
class Picture {
 public:
  Picture(std::string kind, ui::View view, ui::RenderOptions render)
      : kind_(std::move(kind)), view_(std::move(view)), render_(render) {}

  // The PNG, or nullptr when it cannot be drawn (said once, on stderr).
  const std::string* png() {
    std::call_once(drawn_, [this] {
      // The graphics libraries are not known to draw safely on two threads
      // at once; the main thread draws under the same lock.
      static std::mutex renderer;
      std::lock_guard lock(renderer);
      auto png = ui::renderToPNGDataWithModule(view_, render_);
      view_ = ui::View();
      if (png.ok()) {
        bytes_ = std::move(png.value);
      } else {
        std::cerr << program_invocation_short_name << ": cannot draw " << kind_ << ": "
                  << png.status.localizedDescription() << "\n";
      }
    });
    return bytes_ ? &*bytes_ : nullptr;
  }

 private:
  std::string kind_;
  ui::View view_;
  ui::RenderOptions render_;
  std::once_flag drawn_;
  std::optional<std::string> bytes_;
};

// What the server's threads read, replaced whole by the main thread.
struct Published {
  std::mutex mutex;
  std::condition_variable changed;
  std::uint64_t version = 0;
  bool closing = false;
  std::string state = R"({"appearance":"light","widgets":[]})";
  std::string entries = "[]";
  std::map<std::string, std::shared_ptr<Picture>> images;  // "<kind>-<appearance>.png"
};

struct Slot {
  const WidgetConfiguration* widget = nullptr;
  WidgetFamily family = WidgetFamily::systemSmall;
  std::optional<HostTimeline> shown;
  std::uint64_t generation = 0;
  bool inFlight = false;
  Clock::time_point requestedAt;
  Clock::time_point deadline;
  std::optional<Clock::time_point> due;
  int failures = 0;
  std::uint64_t version = 0;
  ordered_json request, policy;
  std::string response;  // as the one-shot request writes it, dumped once
  std::vector<std::string> texts;
  std::string url;
  std::map<std::string, std::shared_ptr<Picture>> images;  // by appearance
};

class Host : public std::enable_shared_from_this<Host> {
 public:
  Host(const WidgetBundle& bundle, const std::vector<WidgetConfiguration>& widgets,
       const ResidentHostOptions& options, std::shared_ptr<Published> published)
      : bundle_(bundle), options_(options), published_(std::move(published)) {
    for (const auto& widget : widgets) {
      if (widget.families.empty()) continue;
      Slot slot;
      slot.widget = &widget;
      slot.family = widget.families.front();
      slots_.push_back(std::move(slot));
    }
    for (const auto& file : options_.watched) watchedPaths_.push_back(file.path);
    baseline_ = fingerprintOf(watchedPaths_);
  }

  void start() {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      const Slot& slot = slots_[i];
      if (!slot.widget->snapshot) continue;
      slot.widget->snapshot(context(slot), [weak = weak_from_this(), i](HostEntry entry) {
        foundation::DispatchQueue::main().async([weak, i, entry = std::move(entry)]() mutable {
          if (auto host = weak.lock()) host->snapshotArrived(i, std::move(entry));
        });
      });
    }
    reloadAll();
  }

  // Runs the main queue and the reload schedule until `stop` says so.
  void run(const std::function<bool()>& stop) {
    while (!stop()) {
      rescheduled_ = false;
      foundation::runMainQueueUntil([&] { return rescheduled_ || stop(); }, nextWake());
      const Clock::time_point now = Clock::now();
      for (Slot& slot : slots_) {
        if (slot.inFlight && now >= slot.deadline) {
          std::cerr << program_invocation_short_name << ": " << slot.widget->kind
                    << " gave no timeline within "
                    << std::chrono::duration<double>(options_.deadline).count() << " s\n";
          fail(slot);
        } else if (!slot.inFlight && slot.due && now >= *slot.due) {
          reload(slot);
        }
      }
    }
  }

  void reloadAll() {
    for (Slot& slot : slots_) reload(slot);
  }

  // A burst of touches settled: reload if someone other than the widgets
  // wrote a watched file.
  void filesChanged() {
    const Fingerprint now = fingerprintOf(watchedPaths_);
    bool foreign = false;
    bool own = false;
    for (const auto& file : options_.watched) {
      if (now.at(file.path) == baseline_[file.path]) continue;
      (file.writtenByWidgets ? own : foreign) = true;
    }
    if (foreign || (own && !anyInFlight())) {
      baseline_ = now;
      reloadAll();
    }
  }

 private:
  static TimelineProviderContext context(const Slot& slot) {
    return TimelineProviderContext::forFamily(slot.family);
  }

  bool anyInFlight() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.inFlight; });
  }

  Clock::time_point nextWake() const {
    Clock::time_point wake = Clock::now() + std::chrono::seconds(1);
    for (const Slot& slot : slots_) {
      if (slot.inFlight) wake = std::min(wake, slot.deadline);
      if (!slot.inFlight && slot.due) wake = std::min(wake, *slot.due);
    }
    return wake;
  }

  void reload(Slot& slot) {
    if (!slot.widget->timeline) return;
    const std::uint64_t generation = ++slot.generation;
    slot.inFlight = true;  // its due time is set again when it answers or fails
    slot.requestedAt = Clock::now();
    slot.deadline = slot.requestedAt + options_.deadline;
    bundle_.willAnswerWithin(options_.deadline);
    const std::size_t index = static_cast<std::size_t>(&slot - slots_.data());
    slot.widget->timeline(
        context(slot), [weak = weak_from_this(), index, generation](HostTimeline timeline) {
          foundation::DispatchQueue::main().async(
              [weak, index, generation, timeline = std::move(timeline)]() mutable {
                if (auto host = weak.lock())
                  host->timelineArrived(index, generation, std::move(timeline));
              });
        });
  }

  void snapshotArrived(std::size_t index, HostEntry entry) {
    Slot& slot = slots_[index];
    if (slot.shown) return;  // the timeline came first
    show(slot, HostTimeline{{std::move(entry)}, TimelineReloadPolicy::never()}, false);
  }

  void timelineArrived(std::size_t index, std::uint64_t generation, HostTimeline timeline) {
    Slot& slot = slots_[index];
    if (generation == slot.generation && slot.inFlight) {
      if (timeline.entries.empty()) {
        std::cerr << program_invocation_short_name << ": " << slot.widget->kind
                  << " gave a timeline without entries\n";
        fail(slot);
      } else {
        slot.inFlight = false;
        slot.failures = 0;
        schedule(slot, timeline);
        show(slot, std::move(timeline), true);
      }
    }
    // What the widgets wrote while answering is theirs, not the app's, and
    // so is a file they created by opening it.
    if (!anyInFlight()) {
      const Fingerprint now = fingerprintOf(watchedPaths_);
      for (const auto& file : options_.watched) {
        FileStamp& before = baseline_[file.path];
        if (file.writtenByWidgets || !before.exists) before = now.at(file.path);
      }
    }
  }

  Clock::time_point earliestReload(const Slot& slot) const {
    return slot.requestedAt +
           options_.interval * (1 << std::min(slot.failures, kMostBackoffDoublings));
  }

  void schedule(Slot& slot, const HostTimeline& timeline) {
    const Clock::time_point earliest = earliestReload(slot);
    switch (timeline.policy.kind()) {
      case TimelineReloadPolicy::Kind::never:
        slot.due.reset();
        break;
      case TimelineReloadPolicy::Kind::atEnd:
        slot.due = std::max(earliest, steadyTimeOf(timeline.entries.back().date));
        break;
      case TimelineReloadPolicy::Kind::after:
        slot.due = std::max(earliest, steadyTimeOf(timeline.policy.date()));
        break;
    }
  }

  void fail(Slot& slot) {
    slot.inFlight = false;
    ++slot.generation;  // a late answer is no longer awaited
    ++slot.failures;
    slot.due = earliestReload(slot);
    publish();
    rescheduled_ = true;
  }

  void show(Slot& slot, HostTimeline timeline, bool fromTimeline) {
    ++slot.version;
    const HostEntry& entry = timeline.entries.front();
    const ordered_json view = ui::dumpView(entry.view);
    slot.texts.clear();
    slot.url.clear();
    readView(view, slot.texts, slot.url);

    ordered_json entries = ordered_json::array();
    for (const HostEntry& each : timeline.entries) {
      ordered_json item = {{"date", iso8601String(each.date)}};
      const ordered_json data = ordered_json::parse(each.data, nullptr, false);
      if (data.is_object()) item.update(data);
      item["view"] = &each == &entry ? view : ui::dumpView(each.view);
      entries.push_back(std::move(item));
    }
    slot.request = fromTimeline ? "timeline" : "snapshot";
    slot.policy = fromTimeline ? ordered_json(std::string(policyName(timeline.policy)))
                               : ordered_json(nullptr);
    slot.response = ordered_json{{"request", slot.request},
                                 {"kind", slot.widget->kind},
                                 {"family", std::string(familyName(slot.family))},
                                 {"policy", slot.policy},
                                 {"entries", std::move(entries)}}
                        .dump();
    draw(slot, entry);
    slot.shown = std::move(timeline);
    publish();
    rescheduled_ = true;
  }

  // The pictures are drawn when asked for, unless files are to be kept.
  void draw(Slot& slot, const HostEntry& entry) {
    slot.images.clear();
    for (const char* appearance : kAppearances) {
      ui::RenderOptions render;
      render.size = displaySizeOf(slot.family);
      render.scale = options_.scale;
      render.colorScheme =
          std::string_view(appearance) == "dark" ? ui::ColorScheme::dark : ui::ColorScheme::light;
      auto& picture = slot.images[appearance] =
          std::make_shared<Picture>(slot.widget->kind, entry.view, render);
      if (options_.pngDirectory.empty()) continue;
      const std::string* png = picture->png();
      if (!png) continue;
      const auto written = foundation::replaceFileAtomically(
          fs::path(options_.pngDirectory) / (slot.widget->kind + "-" + appearance + ".png"), *png,
          0644);
      if (!written.ok())
        std::cerr << program_invocation_short_name << ": " << written.localizedDescription()
                  << "\n";
    }
  }

  void publish() {
    ordered_json widgets = ordered_json::array();
    std::string entries;
    std::map<std::string, std::shared_ptr<Picture>> images;
    for (const Slot& slot : slots_) {
      if (!slot.shown) continue;
      const Size size = displaySizeOf(slot.family);
      const auto next = systemDateText(slot.inFlight ? std::nullopt : slot.due);
      widgets.push_back({{"kind", slot.widget->kind},
                         {"family", std::string(familyName(slot.family))},
                         {"width", size.width},
                         {"height", size.height},
                         {"version", slot.version},
                         {"request", slot.request},
                         {"policy", slot.policy},
                         {"date", iso8601String(slot.shown->entries.front().date)},
                         {"nextReload", next ? ordered_json(*next) : ordered_json(nullptr)},
                         {"reloading", slot.inFlight},
                         {"texts", slot.texts},
                         {"url", slot.url}});
      entries += (entries.empty() ? "" : ",") + slot.response;
      for (const auto& [appearance, picture] : slot.images) {
        images[slot.widget->kind + "-" + appearance + ".png"] = picture;
      }
    }
    const ordered_json state = {{"appearance", options_.appearance}, {"widgets", widgets}};
    {
      std::lock_guard lock(published_->mutex);
      published_->state = state.dump();
      published_->entries = "[" + entries + "]";
      published_->images = std::move(images);
      ++published_->version;
    }
    published_->changed.notify_all();
  }

  const WidgetBundle& bundle_;
  const ResidentHostOptions& options_;
  std::shared_ptr<Published> published_;
  std::vector<Slot> slots_;
  std::vector<fs::path> watchedPaths_;
  Fingerprint baseline_;
  bool rescheduled_ = false;
};

// The page's answer to `request`. A page of another site may reach this
// port through a name that it points at 127.0.0.1 (DNS rebinding); such a
// request names that host, and `hosts` are the names this port is.
PageReply answer(const PageRequest& request, const std::shared_ptr<Published>& published,
                 const std::set<std::string>& hosts, const std::weak_ptr<Host>& host) {
  if (!hosts.count(request.host))
    return {421, "text/plain", "Misdirected request: this host serves 127.0.0.1 only.\n"};
  const std::string_view path = request.path;
  if (request.method == "POST") {
    if (path != "/reload") return {404};
    foundation::DispatchQueue::main().async([host] {
      if (auto live = host.lock()) live->reloadAll();
    });
    return {202};
  }
  if (path == "/") return {200, "text/html; charset=utf-8", std::string(residentPageHTML())};
  if (path == "/entries") {
    std::lock_guard lock(published->mutex);
    return {200, "application/json", published->entries};
  }
  if (path == "/events") {
    auto seen = std::make_shared<std::uint64_t>(0);
    PageReply events{200, "text/event-stream"};
    events.stream = [published, seen]() -> std::optional<std::string> {
      std::unique_lock lock(published->mutex);
      published->changed.wait_for(lock, std::chrono::seconds(15), [&] {
        return published->closing || published->version != *seen;
      });
      if (published->closing) return std::nullopt;
      if (published->version == *seen) return ": still here\n\n";
      *seen = published->version;
      return "data: " + published->state + "\n\n";
    };
    return events;
  }
  const std::string_view image = path.substr(std::min(path.size(), sizeof "/widgets/" - 1));
  if (!path.starts_with("/widgets/") || !image.ends_with(".png") ||
      image.find('/') != std::string_view::npos)
    return {404};
  // Drawn here, on the server's thread, outside the lock the main thread
  // publishes under.
  std::shared_ptr<Picture> picture;
  {
    std::lock_guard lock(published->mutex);
    const auto found = published->images.find(std::string(image));
    if (found != published->images.end()) picture = found->second;
  }
  const std::string* png = picture ? picture->png() : nullptr;
  if (!png) return {404};
  return {200, "image/png", *png};
}

}  // namespace

int runResidentHost(const WidgetBundle& bundle, const ResidentHostOptions& options) {
  // The signals are read, not caught, so a drawing being written is never
  // cut short; threads started from here on inherit the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);

  if (!options.pngDirectory.empty()) {
    std::error_code error;
    fs::create_directories(options.pngDirectory, error);
  }
  std::vector<fs::path> watchedPaths;
  for (const auto& file : options.watched) watchedPaths.push_back(file.path);
  auto watch = FileWatch::open(watchedPaths);
  if (!watch.ok()) {
    std::cerr << program_invocation_short_name << ": " << watch.status.localizedDescription()
              << "\n";
    return 1;
  }

  auto published = std::make_shared<Published>();
  std::set<std::string> hosts;
  std::weak_ptr<Host> weakHost;
  // Set before the server listens, and the server stops before they go.
  auto server = makePageServer(
      [&](const PageRequest& request) { return answer(request, published, hosts, weakHost); });
  if (!server.ok()) {
    std::cerr << program_invocation_short_name
              << ": cannot serve: " << server.status.localizedDescription() << "\n";
    return 1;
  }
  const int port = (*server.value)->bind(options.port);
  if (port == -1 || signalFd == -1) {
    std::cerr << program_invocation_short_name << ": cannot listen on 127.0.0.1:" << options.port
              << "\n";
    return 1;
  }
  hosts = {fmt::format("127.0.0.1:{}", port), fmt::format("localhost:{}", port)};

  const std::vector<WidgetConfiguration> widgets = startBundle(bundle);
  auto host = std::make_shared<Host>(bundle, widgets, options, published);
  weakHost = host;

  std::thread serving([&server] { (*server.value)->listen(); });
  std::thread watching([&watch, weak = std::weak_ptr<Host>(host)] {
    while ((*watch.value)->wait(kQuiet, kLongestBurst)) {
      foundation::DispatchQueue::main().async([weak] {
        if (auto host = weak.lock()) host->filesChanged();
      });
    }
  });
  std::cerr << "serving the widgets on http://127.0.0.1:" << port << "/\n";

  host->start();
  bool stopped = false;
  host->run([&] {
    signalfd_siginfo info{};
    if (!stopped && ::read(signalFd, &info, sizeof info) == sizeof info) stopped = true;
    return stopped;
  });

  (*watch.value)->stop();
  {
    std::lock_guard lock(published->mutex);
    published->closing = true;
  }
  published->changed.notify_all();
  (*server.value)->stop();
  serving.join();
  watching.join();
  ::close(signalFd);
  return 0;
}

int serveWidgetBundle(const WidgetBundle& bundle, std::vector<WatchedFile> watched, int argc,
                      const char* const* argv) {
  CLI::App app{
      "Keeps the widgets on screen in one warm process and serves them on "
      "http://127.0.0.1:PORT/ until SIGINT or SIGTERM."};
  app.name(argv[0]);  // the caller names it, with its own command word
  app.footer(R"(The page shows every widget as drawn, its texts, the time of its entry, its
reload policy and when the next reload is due, and follows new entries as
they arrive (Server-Sent Events, GET /events). GET /entries answers the
current entries as a JSON list of responses in the form the one-shot
requests write; POST /reload asks every widget again, as the app would.
A widget is asked again by its reload policy, never sooner than --interval
after its previous request (later after failures), and every widget at
once when the app writes what the widgets read.

Exit status: 0 after SIGINT or SIGTERM, 1 when the port or the files to
watch cannot be had, 2 usage error.)");
  ResidentHostOptions options;
  options.watched = std::move(watched);
  using Seconds = std::chrono::duration<double>;
  double interval = Seconds(options.interval).count();
  double deadline = Seconds(options.deadline).count();
  app.add_option("--port", options.port,
                 fmt::format("Port on 127.0.0.1 (default {}: a free one, printed)", options.port))
      ->check(CLI::Range(0, 65535));
  app.add_option(
         "--interval", interval,
         fmt::format("Least seconds between two requests of one widget (default {})", interval))
      ->check(CLI::Range(0.05, 604800.0));
  app.add_option("--deadline", deadline,
                 fmt::format("Seconds to wait for each answer (default {})", deadline))
      ->check(CLI::Range(0.05, 86400.0));
  std::string appearance = "system";
  app.add_option("--appearance", appearance,
                 "Appearance of the page; system follows the desktop (default system)")
      ->check(CLI::IsMember({"light", "dark", "system"}));
  app.add_option(
         "--scale", options.scale,
         fmt::format("Pixels per point of the drawings, 1 to 3 (default {})", options.scale))
      ->check(CLI::Range(1.0, 3.0));
  app.add_option("--png-dir", options.pngDirectory,
                 "Keep <kind>-<appearance>.png of every widget current in DIR")
      ->type_name("DIR");
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e, std::cout, std::cerr);
  } catch (const CLI::ParseError& e) {
    std::cerr << program_invocation_short_name
              << ": bad command line: " << foundation::escapedForm(e.what()) << "\n";
    return kExitUsage;
  }
  if (!std::isfinite(interval) || !std::isfinite(deadline) || !std::isfinite(options.scale)) {
    std::cerr << program_invocation_short_name
              << ": --interval, --deadline and --scale must be finite numbers\n";
    return kExitUsage;
  }
  if (appearance == "system") {
    appearance = ui::desktopColorScheme() == ui::ColorScheme::dark ? "dark" : "light";
  }
  options.appearance = appearance;
  options.interval = std::chrono::milliseconds(std::llround(interval * 1000));
  options.deadline = std::chrono::milliseconds(std::llround(deadline * 1000));
  return runResidentHost(bundle, options);
}

}  // namespace platform::widgetkit
