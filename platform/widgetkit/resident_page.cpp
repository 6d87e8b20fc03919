#include "platform/widgetkit/resident_page.h"

namespace platform::widgetkit {

std::string_view residentPageHTML() {
  return R"html(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Widgets</title>
<style>
  body { font: 14px/1.5 system-ui, sans-serif; margin: 24px; background: #f2f2f7; color: #1c1c1e; }
  body.dark { background: #1c1c1e; color: #f2f2f7; }
  main { display: flex; flex-wrap: wrap; gap: 32px; align-items: flex-start; }
  figure { margin: 0; }
  button.widget { display: block; padding: 0; border: 0; background: none; cursor: pointer;
                  border-radius: 22px; }
  button.widget:focus-visible { outline: 3px solid #0a84ff; outline-offset: 3px; }
  figcaption { margin-top: 10px; white-space: pre-line; }
  #link { display: block; margin-top: 24px; min-height: 1.5em; font-weight: 600; }
  #status { opacity: 0.7; }
</style>
</head>
<body>
<h1>Widgets</h1>
<p id="status">Connecting…</p>
<main id="widgets"></main>
<output id="link" aria-live="polite"></output>
<script>
"use strict";
const board = document.getElementById("widgets");
const link = document.getElementById("link");
const status = document.getElementById("status");
const when = (iso) => iso ? new Date(iso).toLocaleString() : null;

function figureFor(widget) {
  let figure = document.getElementById(widget.kind);
  if (figure) return figure;
  figure = document.createElement("figure");
  figure.id = widget.kind;
  figure.innerHTML = '<button class="widget" type="button"><img></button><figcaption></figcaption>';
  figure.querySelector("button").addEventListener("click", () => {
    link.textContent = figure.dataset.url ? "Opens " + figure.dataset.url
                                          : "This widget carries no link";
  });
  board.appendChild(figure);
  return figure;
}

function show(state) {
  document.body.classList.toggle("dark", state.appearance === "dark");
  for (const widget of state.widgets) {
    const figure = figureFor(widget);
    figure.dataset.url = widget.url || "";
    figure.dataset.version = widget.version;
    const image = figure.querySelector("img");
    image.width = widget.width;
    image.height = widget.height;
    image.alt = widget.texts.join(", ");
    image.src = "/widgets/" + encodeURIComponent(widget.kind) + "-" + state.appearance +
                ".png?v=" + widget.version;
    const next = widget.reloading ? "now" : (when(widget.nextReload) || "when the app asks");
    figure.querySelector("figcaption").textContent =
        widget.kind + " (" + widget.family + ")\n" +
        "Entry of " + (when(widget.date) || "–") + " (" + widget.request + ")\n" +
        "Reload policy: " + (widget.policy || "none yet") + "\n" +
        "Next reload: " + next;
  }
  status.textContent = "Updated " + new Date().toLocaleTimeString();
}

const events = new EventSource("/events");
events.onmessage = (message) => show(JSON.parse(message.data));
events.onerror = () => { status.textContent = "The host is not answering; retrying…"; };
</script>
</body>
</html>
)html";
}

}  // namespace platform::widgetkit
