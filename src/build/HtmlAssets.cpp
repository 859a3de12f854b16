#include "HtmlAssets.h"

namespace HtmlAssets {

const char* const kStyleSheetName = "kivhelp.css";
const char* const kPopupScriptName = "kivhelp.js";
const char* const kSearchScriptName = "search.js";
const char* const kSearchDataName = "search-index.js";
const char* const kLooksName = "looks.css";

QByteArray styleSheet() {
    return R"css(html { font-family: Arial, "Liberation Sans", sans-serif; font-size: 10pt; }
body { margin: 0; background: #fff; color: #000; }
.kh-top { position: sticky; top: 0; z-index: 1; background: #f2f2f2;
          border-bottom: 1px solid #a0a0a0; padding: 4px 10px 6px; }
.kh-nav { font-size: 9pt; margin-bottom: 4px; }
.kh-nav a, .kh-nav span { margin-right: 1.2em; }
.kh-nav .kh-off { color: #a0a0a0; }
.kh-body { padding: 8px 10px 24px; }
p { margin: 0; white-space: pre-wrap; tab-size: 48px; overflow-wrap: break-word; }
p.kh-bullet { display: list-item; list-style: disc inside; }
a.kh-jump { color: #008000; text-decoration: underline; }
a.kh-popup { color: #008000; text-decoration: underline dotted; }
.kh-macro { color: #008000; text-decoration: underline; cursor: help; }
.kh-broken { color: #800000; text-decoration: underline wavy; cursor: help; }
.kh-button { font: inherit; font-size: 9pt; margin: 0 2px; }
.kh-missing { display: inline-block; border: 1px dashed #c00000; color: #c00000;
              background: #fff0f0; padding: 2px 6px; font-size: 9pt; }
.kh-bml { float: left; margin: 0 8px 4px 0; }
.kh-bmr { float: right; margin: 0 0 4px 8px; }
.kh-bmc { vertical-align: middle; }
.kh-popup-box { position: absolute; z-index: 2; max-width: 28em; background: #ffffe1;
                border: 1px solid #000; box-shadow: 3px 3px 0 rgba(0, 0, 0, 0.3);
                padding: 6px 8px; }
.kh-tree, .kh-tree ul { list-style: none; padding-left: 1.4em; margin: 0; }
.kh-tree { padding-left: 0; }
.kh-tree summary { cursor: pointer; font-weight: bold; }
.kh-tree li { margin: 2px 0; }
.kh-keywords { list-style: none; padding-left: 0; }
.kh-keywords ul { list-style: none; padding-left: 1.6em; }
.kh-results li { margin: 3px 0; }
h1 { font-size: 14pt; color: #0000ff; margin: 2px 0; }
)css";
}

QByteArray popupScript() {
    return R"js(// Pop-up links show the target topic in a box over the page; the topic's
// text is in a template of this page. Without one the link opens the topic.
// An address ending in #kh-pop-ID opens that pop-up when the page loads.
(function () {
  "use strict";
  var box = null;
  function close() {
    if (box) { box.parentNode.removeChild(box); box = null; }
  }
  function show(link) {
    var source = document.getElementById("kh-pop-" + link.getAttribute("data-popup"));
    if (!source || !source.content) return false;
    close();
    box = document.createElement("div");
    box.className = "kh-popup-box";
    box.setAttribute("role", "dialog");
    box.appendChild(source.content.cloneNode(true));
    document.body.appendChild(box);
    var r = link.getBoundingClientRect();
    var width = document.documentElement.clientWidth;
    var left = Math.max(4, Math.min(r.left, width - box.offsetWidth - 4));
    box.style.left = (left + window.scrollX) + "px";
    box.style.top = (r.bottom + window.scrollY + 4) + "px";
    return true;
  }
  document.addEventListener("click", function (event) {
    var link = event.target.closest ? event.target.closest("a.kh-popup") : null;
    if (!link) {
      if (box && !box.contains(event.target)) close();
      return;
    }
    if (show(link)) event.preventDefault();
  });
  document.addEventListener("keydown", function (event) {
    if (event.key === "Escape") close();
  });
  var wanted = /^#kh-pop-(.+)$/.exec(window.location.hash);
  if (wanted) {
    var id = decodeURIComponent(wanted[1]);
    var links = document.querySelectorAll("a.kh-popup");
    for (var i = 0; i < links.length; ++i)
      if (links[i].getAttribute("data-popup") === id) { show(links[i]); break; }
  }
})();
)js";
}

QByteArray searchScript() {
    return R"js(// The search page: the query comes as ?q=words; a topic is found when it
// has, for every word of the query, a word that starts with it.
(function () {
  "use strict";
  function words(text) {
    return text.normalize("NFD").replace(/\p{M}+/gu, "").toLowerCase()
      .split(/[^\p{L}\p{N}]+/u).filter(function (w) { return w.length > 0; });
  }
  var data = window.KIVHELP_SEARCH || { pages: [], words: {} };
  var query = new URLSearchParams(window.location.search).get("q") || "";
  var input = document.getElementById("kh-q");
  var status = document.getElementById("kh-status");
  var list = document.getElementById("kh-results");
  input.value = query;
  var terms = words(query);
  if (terms.length === 0) { status.textContent = "Type the words to look for."; return; }
  var keys = Object.keys(data.words);
  var found = null;
  terms.forEach(function (term) {
    var pages = {};
    keys.forEach(function (key) {
      if (key.lastIndexOf(term, 0) === 0)
        data.words[key].forEach(function (p) { pages[p] = true; });
    });
    if (found === null) { found = pages; return; }
    var both = {};
    Object.keys(found).forEach(function (p) { if (pages[p]) both[p] = true; });
    found = both;
  });
  var hits = Object.keys(found).map(Number).sort(function (a, b) {
    return data.pages[a][1].localeCompare(data.pages[b][1]) || a - b;
  });
  status.textContent = hits.length === 0 ? "No topic found."
    : hits.length === 1 ? "1 topic found." : hits.length + " topics found.";
  hits.forEach(function (p) {
    var item = document.createElement("li");
    var link = document.createElement("a");
    link.href = data.pages[p][0];
    link.textContent = data.pages[p][1];
    item.appendChild(link);
    list.appendChild(item);
  });
})();
)js";
}

} // namespace HtmlAssets
