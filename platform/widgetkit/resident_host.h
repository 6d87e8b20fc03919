// The resident widget host: one warm process that keeps every widget of a
// bundle on screen, the way the phone's host does between requests.
//
// It holds one timeline per widget kind: at start each widget's snapshot is
// shown at once and its timeline asked for. A timeline is asked for again
// by its reload policy (atEnd once the entry's date has passed, after its
// date, never by itself), never sooner than `interval` after the previous
// request, and later still after requests that failed (no answer within the
// deadline, or no entry). When a watched file changes on disk (the app wrote
// something the widgets read) every widget is reloaded within a second.
//
// A page on 127.0.0.1 shows the widgets as they are drawn, kept current by
// Server-Sent Events; GET /entries answers the entries as the one-shot
// requests write them; POST /reload asks every widget again.
//
// Thread rule: run it on the thread that is to run the main queue; it
// returns after SIGINT or SIGTERM.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/widgetkit/bundle_entry.h"

namespace platform::widgetkit {

// A file whose change on disk is the app asking for a reload. The widgets
// may write some such files themselves while they answer (a stored
// snapshot): a change made while a request was out is then taken for the
// widgets' own, not the app's.
struct WatchedFile {
  std::filesystem::path path;
  bool writtenByWidgets = false;
};

struct ResidentHostOptions {
  int port = 0;  // 0: any free port
  std::chrono::milliseconds interval = std::chrono::minutes(15);
  std::chrono::milliseconds deadline = std::chrono::seconds(30);  // per request
  std::string appearance = "light";                               // of the page
  double scale = 2;          // pixels per point of the drawings
  std::string pngDirectory;  // when set: <kind>-<appearance>.png on every new entry
  std::vector<WatchedFile> watched;
};

// Serves until SIGINT or SIGTERM; returns the exit status (0 then, 1 when
// the port or the files cannot be had).
int runResidentHost(const WidgetBundle& bundle, const ResidentHostOptions& options);

// The `serve` command line (argv[0] is "serve"); returns the exit status.
int serveWidgetBundle(const WidgetBundle& bundle, std::vector<WatchedFile> watched, int argc,
                      const char* const* argv);

}  // namespace platform::widgetkit
