// The pieces every browser check shares: a runner of named checks with a time
// limit each, a watch on script errors, failed loads and dialogs in every page
// and frame of a browser context, and helpers that find the console's frames,
// image buttons and tables.
'use strict';

const DEFAULT_TIMEOUT_MS = 15000;

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function withTimeout(promise, ms, what) {
  let timer;
  const limit = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`${what}: no result within ${ms} ms`)), ms);
  });
  return Promise.race([promise, limit]).finally(() => clearTimeout(timer));
}

// Records what goes wrong in a browser context. Loads that fail count only
// when they are of our own installation (under `base`) and not listed in
// `foreign` (programs of the suite that this tree does not ship).
class Watch {
  constructor(base, foreign = []) {
    this.base = base;
    this.foreign = foreign;
    this.problems = [];
    this.dialogs = [];
    this.answer = true;
  }

  attach(context) {
    const watchPage = (page) => {
      page.on('pageerror', (e) => this.problems.push(`script error on ${page.url()}: ${e.message}`));
      page.on('console', (m) => {
        // Failed loads are judged by the response watch below, which knows their address.
        if (m.type() === 'error' && !m.text().startsWith('Failed to load resource')) this.problems.push(`console error on ${page.url()}: ${m.text()}`);
      });
      if (process.env.ZA_DEBUG) page.on('framenavigated', (f) => console.log(`  -> ${f.name() || '(top)'} ${f.url()}`));
      page.on('dialog', (d) => {
        this.dialogs.push({ type: d.type(), message: d.message() });
        if (process.env.ZA_DEBUG) console.log(`  ${d.type()}: ${d.message()}`);
        const reply = d.type() === 'confirm' && !this.answer ? d.dismiss() : d.accept();
        reply.catch(() => {});
      });
    };
    context.pages().forEach(watchPage);
    context.on('page', watchPage);
    context.on('response', (r) => {
      if (r.status() >= 400 && this.ours(r.url())) this.problems.push(`HTTP ${r.status()} for ${r.url()}`);
    });
    context.on('requestfailed', (r) => {
      const why = r.failure() ? r.failure().errorText : 'failed';
      // A frame that is navigated again before it finished aborts its load.
      if (why !== 'net::ERR_ABORTED' && this.ours(r.url())) this.problems.push(`${why} for ${r.url()}`);
    });
  }

  ours(url) {
    return url.startsWith(this.base) && !this.foreign.some((f) => url.includes(f));
  }

  // Problems recorded since the last call.
  take() {
    const found = this.problems;
    this.problems = [];
    return found;
  }

  lastDialog() {
    return this.dialogs[this.dialogs.length - 1];
  }
}

// Images in any frame of the page that the browser could not show.
async function brokenImages(page) {
  const broken = [];
  for (const frame of page.frames()) {
    const found = await frame
      .evaluate(() =>
        Array.from(document.images)
          .filter((img) => img.complete && img.naturalWidth === 0)
          .map((img) => img.src))
      .catch(() => []); // a frame torn down while it is read has no images left
    broken.push(...found);
  }
  return broken;
}

// Runs named checks in order; a failing check is reported and the next one
// still runs. Each check also fails on script errors, failed loads of our own
// tree and broken images that appeared while it ran.
class Runner {
  constructor(watch, log = console.log) {
    this.watch = watch;
    this.log = log;
    this.results = [];
  }

  async check(name, fn, { page, timeoutMs = 60000 } = {}) {
    const started = Date.now();
    const failures = [];
    try {
      await withTimeout(Promise.resolve().then(fn), timeoutMs, name);
    } catch (e) {
      failures.push(e && e.message ? e.message.split('\n')[0] : String(e));
    }
    if (page && !page.isClosed()) {
      await sleep(200); // late image and script loads of the last page
      for (const src of await brokenImages(page)) failures.push(`broken image ${src}`);
    }
    failures.push(...this.watch.take());
    const ok = failures.length === 0;
    this.results.push({ name, ok, failures });
    this.log(`${ok ? 'ok  ' : 'FAIL'} ${name} (${Date.now() - started} ms)`);
    failures.forEach((f) => this.log(`       ${f}`));
    return ok;
  }

  summary() {
    const failed = this.results.filter((r) => !r.ok);
    const passed = this.results.length - failed.length;
    failed.forEach((r) => this.log(`  failed: ${r.name}`));
    this.log(`browser checks: ${passed} passed, ${failed.length} failed`);
    return failed.length === 0 && this.results.length > 0;
  }
}

function assert(condition, message) {
  if (!condition) throw new Error(message);
}

// The frame named `name` once it has loaded an address containing `part`.
async function frameNamed(page, name, part = '', timeoutMs = DEFAULT_TIMEOUT_MS) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const frame = page.frames().find((f) => f.name() === name && f.url().includes(part));
    if (frame) {
      await frame.waitForLoadState('load', { timeout: Math.max(1, deadline - Date.now()) });
      return frame;
    }
    if (Date.now() > deadline) {
      const seen = page.frames().map((f) => `${f.name() || '(top)'}=${f.url()}`).join(', ');
      throw new Error(`frame "${name}" never loaded an address with "${part}"; frames: ${seen}`);
    }
    await sleep(100);
  }
}

// Does `action` and returns the frame `name` after its next load of an
// address containing `part` (a new load, not one from before the action).
async function navigates(page, name, part, action, timeoutMs = DEFAULT_TIMEOUT_MS) {
  const seen = page.waitForEvent('framenavigated', {
    predicate: (f) => f.name() === name && f.url().includes(part),
    timeout: timeoutMs,
  });
  seen.catch(() => {}); // when the action fails, its own error is the one to report
  await action();
  const frame = await seen;
  await frame.waitForLoadState('load', { timeout: timeoutMs });
  return frame;
}

// The link around the image button whose picture is `gif` (the style's
// GIF file of that name).
function imageButton(frame, gif) {
  return frame.locator(`a:has(img[src$="/${gif}.gif"])`);
}

// The rows of the frame's tables that have `columns` cells, as the text of
// each cell, heading rows included. The console's tables put an empty gap
// cell, without attributes, between two columns; those are left out.
async function tableRows(frame, columns) {
  return frame.evaluate((n) => {
    const blank = (c) => c.attributes.length === 0 && c.textContent.replace(/[\s\u00a0]/g, '') === '';
    return Array.from(document.querySelectorAll('tr'))
      .map((tr) => Array.from(tr.children).filter((c) => /^T[DH]$/.test(c.tagName)))
      .map((cells) => (cells.length > 1 && cells.length % 2 === 1 && cells.every((c, i) => i % 2 === 0 || blank(c))
        ? cells.filter((_, i) => i % 2 === 0) : cells))
      .filter((cells) => cells.length === n)
      .map((cells) => cells.map((c) => c.innerText.trim()));
  }, columns);
}

async function bodyText(frame) {
  return frame.evaluate(() => (document.body ? document.body.innerText : ''));
}

module.exports = {
  DEFAULT_TIMEOUT_MS, Watch, Runner, assert, sleep, withTimeout, frameNamed, navigates, imageButton,
  tableRows, bodyText, brokenImages,
};
