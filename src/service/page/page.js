// The page of wyc-cli serve: sends the article and the switches to
// /api/rewrite as JSON and shows the result with the replaced words marked.
"use strict";

(function () {
  const $ = (id) => document.getElementById(id);
  const status = $("status");
  let lastText = "";

  function say(text, isError) {
    status.textContent = text;
    status.className = isError ? "note error" : "note";
  }

  // The result as text nodes, each replaced word in a <mark>: the text is
  // never read as markup.
  function show(text, marks) {
    const box = $("result");
    box.replaceChildren();
    let at = 0;
    for (const [begin, end] of marks || []) {
      if (begin > at) box.append(text.slice(at, begin));
      const mark = document.createElement("mark");
      mark.textContent = text.slice(begin, end);
      box.append(mark);
      at = end;
    }
    box.append(text.slice(at));
  }

  function protectedWords() {
    return $("protect").value.split(/\r?\n/).map((w) => w.trim()).filter((w) => w);
  }

  async function run() {
    const request = {
      content: $("source").value,
      synonyms: $("synonyms").checked,
      shuffle: $("shuffle").checked,
      strip_breaks: $("strip-breaks").checked,
      strip_spaces: $("strip-spaces").checked,
      keyword: $("keyword").value,
      frequency: Number($("frequency").value) || 5,
      marks: $("marks").checked,
      html: $("html").value,
      protect: protectedWords(),
    };
    const headers = { "Content-Type": "application/json" };
    const token = $("token").value.trim();
    if (token) headers.Authorization = "Bearer " + token;
    $("run").disabled = true;
    say("正在生成……", false);
    try {
      const reply = await fetch("/api/rewrite", {
        method: "POST", headers, body: JSON.stringify(request),
      });
      const answer = await reply.json();
      if (!reply.ok) {
        say(answer.message || "生成失败（" + reply.status + "）", true);
        return;
      }
      lastText = answer.text;
      show(answer.text, answer.marks);
      $("originality").textContent = "原创度：" + answer.originality + "%";
      $("replacements").textContent = "替换 " + answer.replacements + " 处";
      $("copy").disabled = false;
      say(answer.reason || "", false); // why a page gave no article
    } catch (e) {
      say("无法连接服务：" + e.message, true);
    } finally {
      $("run").disabled = false;
    }
  }

  async function copy() {
    try {
      await navigator.clipboard.writeText(lastText);
    } catch (e) {
      // Without the clipboard interface (a plain-http address other than
      // localhost): copy through a selection.
      const area = document.createElement("textarea");
      area.value = lastText;
      document.body.append(area);
      area.select();
      document.execCommand("copy");
      area.remove();
    }
    say("新文章已复制到剪贴板", false);
  }

  function clear() {
    $("source").value = "";
    lastText = "";
    show("", []);
    $("originality").textContent = "";
    $("replacements").textContent = "";
    $("copy").disabled = true;
    say("", false);
  }

  function syncShuffle() {
    $("shuffle-options").disabled = !$("shuffle").checked;
  }

  async function loadHealth() {
    try {
      const health = await (await fetch("/api/health")).json();
      $("loaded").textContent = "词库：" + health.pairs + " 对同义词，" + health.protected + " 个保护词";
      $("token-row").hidden = !health.token;
    } catch (e) {
      say("无法连接服务：" + e.message, true);
    }
  }

  $("run").addEventListener("click", run);
  $("copy").addEventListener("click", copy);
  $("clear").addEventListener("click", clear);
  $("shuffle").addEventListener("change", syncShuffle);
  syncShuffle();
  loadHealth();
})();
