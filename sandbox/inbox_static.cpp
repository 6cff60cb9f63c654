#include "sandbox/inbox_static.h"

namespace vexa::sandbox {

namespace {

// Polls /inbox/api/version every second and fetches the page again when the store changed or a
// delivery state has moved since; the buttons post to the API with the header it asks for.
constexpr std::string_view kScript = R"js('use strict';
(() => {
  const body = document.body;
  const notice = document.getElementById('notice');
  let version = null;
  let next = null;
  let busy = false;

  const say = (text) => {
    notice.textContent = text;
    notice.hidden = !text;
  };

  const refresh = async () => {
    const live = document.getElementById('live');
    if (!live) return;
    const reply = await fetch(location.href, {credentials: 'same-origin', cache: 'no-store'});
    if (reply.status === 404 && body.dataset.back) {
      location.assign(body.dataset.back);
      return;
    }
    if (!reply.ok) throw new Error('the page answered ' + reply.status);
    const page = new DOMParser().parseFromString(await reply.text(), 'text/html');
    const fresh = page.getElementById('live');
    if (fresh) live.replaceWith(document.importNode(fresh, true));
  };

  const poll = async () => {
    if (busy) return;
    busy = true;
    try {
      const reply = await fetch(body.dataset.version, {credentials: 'same-origin', cache: 'no-store'});
      if (!reply.ok) throw new Error('the inbox answered ' + reply.status);
      const now = await reply.json();
      // The first answer may already be newer than the page it came with.
      const moved = next !== null && now.now >= next;
      if (version === null || now.version !== version || moved) await refresh();
      version = now.version;
      next = now.next;
      say('');
    } catch (error) {
      say('Not updating: ' + error.message);
    } finally {
      busy = false;
    }
  };

  const post = async (url, payload) => {
    const reply = await fetch(url, {
      method: 'POST',
      credentials: 'same-origin',
      headers: {'X-Vexa-Inbox': '1', 'Content-Type': 'application/json'},
      body: payload === undefined ? '' : JSON.stringify(payload),
    });
    const answer = await reply.json();
    if (!reply.ok) throw new Error(answer.error || 'the inbox answered ' + reply.status);
    return answer;
  };

  const questions = {
    cancel: () => confirm('Cancel this reservation? Its credit goes back to the account.') ? {} : null,
    delete: () => confirm('Delete this transfer? It leaves the log.') ? {} : null,
    clear: (button) => confirm('Delete every transfer of ' + button.closest('tr').dataset.user +
                               '? The account and its password stay.') ? {} : null,
    credit: (button) => {
      const text = prompt('New credit of ' + button.closest('tr').dataset.user, button.dataset.credit);
      if (text === null) return null;
      if (!/^[0-9]+$/.test(text.trim())) {
        say('The credit is a whole number, 0 or more.');
        return null;
      }
      return {payload: {credit: Number(text.trim())}};
    },
  };

  document.addEventListener('click', async (event) => {
    const button = event.target.closest('button[data-action]');
    if (!button || !questions[button.dataset.action]) return;
    const answer = questions[button.dataset.action](button);
    if (!answer) return;
    button.disabled = true;
    try {
      const result = await post(button.dataset.url, answer.payload);
      if (button.dataset.action === 'cancel' && result.result !== 'cancelled') {
        say('Not cancelled: the reservation is due or already cancelled.');
      }
      if (button.dataset.then) {
        location.assign(button.dataset.then);
        return;
      }
      await refresh();
    } catch (error) {
      say(error.message);
      button.disabled = false;
    }
  });

  if (document.getElementById('live')) {
    poll();
    setInterval(poll, 1000);
  }
})();
)js";

constexpr std::string_view kStyle = R"css(:root {
  color-scheme: light dark;
  --line: #8884;
  --muted: #777;
  --accent: #2a6fdb;
  --bubble: #e9e9ee;
  --bubble-text: #111;
}
* { box-sizing: border-box; }
body {
  margin: 0 auto;
  max-width: 70rem;
  padding: 0.75rem;
  font: 15px/1.45 system-ui, sans-serif;
}
h1 { font-size: 1.35rem; margin: 0.5rem 0; overflow-wrap: anywhere; }
h2 { font-size: 1.1rem; margin: 1.25rem 0 0.5rem; }
small { color: var(--muted); font-weight: normal; }
a { color: var(--accent); }
.crumbs { font-size: 0.9rem; overflow-wrap: anywhere; }
#notice { background: #fd4; color: #111; padding: 0.4rem 0.6rem; border-radius: 0.3rem; }
#notice[hidden] { display: none; }
.scroll { overflow-x: auto; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; padding: 0.35rem 0.5rem; border-bottom: 1px solid var(--line); vertical-align: top; }
td.num { text-align: right; }
td.text { max-width: 22rem; overflow-wrap: anywhere; }
td.actions, td.counts, td.phone, time, a.open { white-space: nowrap; }
button { font: inherit; padding: 0.3rem 0.7rem; border-radius: 0.3rem; border: 1px solid var(--line); cursor: pointer; }
form#filters { display: flex; flex-wrap: wrap; gap: 0.4rem 0.8rem; align-items: center; margin: 0.5rem 0 0.75rem; }
form#filters input, form#filters select { font: inherit; max-width: 12rem; }
.type { display: inline-block; font-size: 0.75rem; font-weight: bold; padding: 0 0.35rem; border-radius: 0.25rem;
        border: 1px solid currentColor; }
.count, .state { display: inline-block; font-size: 0.8rem; padding: 0 0.35rem; border-radius: 0.25rem;
                 border: 1px solid var(--line); }
.state-delivered { color: #1a7f37; }
.state-pending { color: #9a6700; }
.state-reserved { color: #2a6fdb; }
.state-cancelled { color: var(--muted); text-decoration: line-through; }
.state-no-such-number { color: #cf222e; }
dl.facts { display: grid; grid-template-columns: max-content 1fr; gap: 0.25rem 0.75rem; margin: 0.5rem 0; }
dl.facts dt { color: var(--muted); }
dl.facts dd { margin: 0; overflow-wrap: anywhere; }
.text { white-space: pre-wrap; }
.pictures { display: flex; flex-wrap: wrap; gap: 0.75rem; }
figure { margin: 0; max-width: 100%; }
img.picture { max-width: 100%; height: auto; display: block; }
figcaption { font-size: 0.85rem; color: var(--muted); }
.receivers { display: grid; grid-template-columns: repeat(auto-fill, minmax(17rem, 1fr)); gap: 0.75rem; }
.receiver { border: 1px solid var(--line); border-radius: 0.6rem; padding: 0.6rem; }
.screen { background: #8881; border-radius: 0.5rem; padding: 0.5rem; }
.bubble { background: var(--bubble); color: var(--bubble-text); border-radius: 1rem 1rem 1rem 0.25rem;
          padding: 0.5rem 0.75rem; max-width: 95%; overflow-wrap: anywhere; }
.bubble p { margin: 0.2rem 0; }
.bubble .from { font-size: 0.8rem; color: #555; }
.bubble .subject { font-weight: bold; }
.bubble img.attached { max-width: 100%; height: auto; display: block; border-radius: 0.5rem; margin: 0.3rem 0; }
.who, .when { margin: 0.4rem 0 0; font-size: 0.9rem; overflow-wrap: anywhere; }
.receiver[data-state="cancelled"] .bubble { opacity: 0.55; }
/* On a phone each row becomes a card of its cells, rather than a table wider than the screen. */
@media (max-width: 40rem) {
  body { padding: 0.5rem; font-size: 14px; }
  thead { display: none; }
  tr { display: block; padding: 0.4rem 0; border-bottom: 1px solid var(--line); }
  td { display: inline-block; border: none; padding: 0.1rem 0.4rem 0.1rem 0; max-width: 100%; }
  td.text { display: block; max-width: none; }
  td.counts, td.actions { display: block; white-space: normal; }
  td[data-label]::before { content: attr(data-label) " "; color: var(--muted); }
}
)css";

constexpr StaticFile kFiles[] = {
    {"text/javascript; charset=utf-8", kScript},
    {"text/css; charset=utf-8", kStyle},
};

}  // namespace

const StaticFile* FindStaticFile(std::string_view name) {
    if (name == "inbox.js") return &kFiles[0];
    if (name == "inbox.css") return &kFiles[1];
    return nullptr;
}

}  // namespace vexa::sandbox
