// Feeds every console event every parameter the console reads, holding
// script in the forms an attacker would try (a "javascript:" address, markup,
// a quote that ends a script literal, the same percent-encoded), then clicks
// every script link of every resulting page and frame, and on the pages that
// show request text every link. Fails when any of it runs (a dialog that
// carries the marker, or the marker set in a window) or a link leads to a
// script address.
// Started by scripts/test-browser.sh after the console checks, with the same
// environment (ZA_BASE_URL, ZA_ADMIN_LOGIN, ZA_ADMIN_PASSWORD, ZA_CHROMIUM).
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');
const { DEFAULT_TIMEOUT_MS, Watch, Runner, assert, imageButton } = require('./harness');

const WHOLE_RUN_MS = 280000;
const BASE = (process.env.ZA_BASE_URL || '').replace(/\/$/, '');
const CONSOLE = `${BASE}/admin/bin/operadmin.cgi`;
const MARK = 'ZAHIT';

const EVENTS = ['front', 'navbar', 'genManageUsersPage', 'genManagerUsersNavbar', 'resSearchCondPage',
  'genResUsagePage', 'genResUsageHeading', 'genUserDiskUsage', 'genUidResUsage', 'groupResSearchCondPage',
  'genGroupDiskUsage', 'genGroupResUsage', 'genGroupOwnedPage', 'operOnGroup', 'genViewLogFileSplitPage',
  'genViewLogFileChoicePage', 'genViewLogFileStartMsgPage', 'genViewLogFilePage', 'genLogFileOperPage',
  'operOnLogFile', 'genDeletedUsersPage', 'operOnUser', 'createNewAccount', 'createNewAccountProcess',
  'app_common_prog_about', 'app_common_prog_help'];
const PARAMS = ['days', 'fromPage', 'gbytes', 'gname', 'groups', 'last_count', 'msg_type', 'oper_uid_val',
  'operation', 'orig_owner', 'password1', 'password2', 'res_type', 'selectedOwner', 'selection', 'selector',
  'sub_program', 'ubytes', 'uid', 'users', 'login'];
// A value that starts as a script address and then tries markup, a quote
// that ends a script literal (also as the browser's own percent-decoding of a
// script address would produce it) and a mail address with added headers.
const PAYLOAD = `javascript:alert('${MARK}')//<img src=x onerror="window.top.${MARK}=1">` +
  `<script>window.top.${MARK}=1</script>x');alert('${MARK}');('x\\');alert('${MARK}');// ` +
  `%27);alert(%27${MARK}%27);(%27 mailto:a@b?bcc=e@v`;
// The selections that put request text into headings and messages.
const FOCUSED = [
  { program: 'genGroupDiskUsage', selection: 'group_name', field: 'gname' },
  { program: 'genResUsageHeading', res_type: 'users', selection: 'gt_u', field: 'ubytes' },
  { program: 'genResUsageHeading', res_type: 'users', selection: 'top_u', field: 'users' },
  { program: 'genResUsageHeading', res_type: 'groups', selection: 'gt_g', field: 'gbytes' },
  { program: 'genResUsageHeading', res_type: 'groups', selection: 'top_g', field: 'groups' },
  { program: 'createNewAccountProcess', field: 'uid' },
  { program: 'createNewAccountProcess', uid: 'qa.new', field: 'login' },
  { program: 'genUidResUsage', field: 'uid' },
];

function addressOf(params) {
  return `${CONSOLE}?${Object.entries(params).map(([k, v]) => `${k}=${encodeURIComponent(v)}`).join('&')}`;
}

// Every event with every parameter, then the focused selections; the
// second field says whether links that leave the page are followed too.
function addresses() {
  const out = [];
  for (const program of EVENTS) {
    const params = { program };
    for (const p of PARAMS) params[p] = PAYLOAD;
    out.push([addressOf(params), false]);
  }
  for (const f of FOCUSED) {
    const params = { ...f };
    delete params.field;
    params[f.field] = PAYLOAD;
    out.push([addressOf(params), true]);
  }
  return out;
}

// True when the marker was set in any frame of the page.
async function markerSet(page) {
  for (const frame of page.frames()) {
    if (await frame.evaluate((m) => Boolean(window.top[m] || window[m]), MARK).catch(() => false)) return true;
  }
  return false;
}

// Clicks every script link of every frame (confirmations are declined) and,
// when `follow` is set, every other link too, going back to `address` after
// each. A link that is not followed must lead to an ordinary address.
// Returns the number of links clicked.
async function clickLinks(page, address, follow) {
  let clicked = 0;
  const links = [];
  for (const frame of page.frames()) {
    const count = await frame.locator('a[href]').count().catch(() => 0);
    for (let i = 0; i < count; i++) links.push({ name: frame.name(), i });
  }
  for (const { name, i } of links) {
    const frame = name ? page.frame({ name }) : page.mainFrame();
    if (!frame) continue;
    const link = frame.locator('a[href]').nth(i);
    const href = await link.getAttribute('href', { timeout: 2000 }).catch(() => null);
    if (href === null) continue;
    const script = /^\s*javascript:/i.test(href);
    if (!script && /^\s*(vbscript|data):/i.test(href)) throw new Error(`link to ${href} on ${address}`);
    if (!script && !follow) continue;
    await link.click({ timeout: 3000, noWaitAfter: true }).catch(() => {});
    clicked++;
    await page.waitForTimeout(100);
    if (await markerSet(page)) throw new Error(`script ran after clicking ${href} on ${address}`);
    if (!script) await page.goto(address).catch(() => {});
  }
  return clicked;
}

async function main() {
  const watch = new Watch(BASE, ['/admin/bin/roomadmin.cgi', '/help/', '/selector/']);
  watch.answer = false;  // every confirmation is declined: nothing is deleted
  const run = new Runner(watch);
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'za-hostile-profile-'));
  const context = await chromium.launchPersistentContext(dir, {
    executablePath: process.env.ZA_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--headless', '--disable-gpu', '--no-first-run', '--disable-background-networking'],
    timeout: 30000,
  });
  watch.attach(context);
  const page = context.pages()[0] || await context.newPage();
  page.setDefaultTimeout(DEFAULT_TIMEOUT_MS);
  try {
    await run.check('the administrator logs in', async () => {
      await page.goto(`${BASE}/`);
      await page.fill('form[name="loginform"] input[name="login"]', process.env.ZA_ADMIN_LOGIN);
      await page.fill('form[name="loginform"] input[name="password"]', process.env.ZA_ADMIN_PASSWORD);
      await Promise.all([page.waitForNavigation(), imageButton(page.mainFrame(), 'mlogin').click()]);
      assert(!(await page.locator('form[name="loginform"]').count()), 'still on the login page');
    }, { page });
    await run.check('no parameter value runs script, on any page or behind any link', async () => {
      let pages = 0;
      let links = 0;
      for (const [address, follow] of addresses()) {
        await page.goto(address, { waitUntil: 'load' }).catch(() => {});
        pages++;
        if (await markerSet(page)) throw new Error(`script ran on ${address}`);
        links += await clickLinks(page, address, follow);
        const hit = watch.dialogs.find((d) => d.message.includes(MARK));
        if (hit) throw new Error(`a ${hit.type} dialog "${hit.message}" came from ${address}`);
        watch.take();  // the pages' own load problems with nonsense parameters do not count here
      }
      await page.goto(`${CONSOLE}?program=front`).catch(() => {});
      watch.take();
      console.log(`  ${pages} pages, ${links} links clicked`);
    }, { page, timeoutMs: WHOLE_RUN_MS - 30000 });
  } finally {
    await context.close().catch(() => {});
    fs.rmSync(dir, { recursive: true, force: true });
  }
  return run.summary();
}

const watchdog = setTimeout(() => {
  console.log(`hostile browser checks: stopped after ${WHOLE_RUN_MS / 1000} s`);
  process.exit(1);
}, WHOLE_RUN_MS);
main().then((ok) => {
  clearTimeout(watchdog);
  process.exit(ok ? 0 : 1);
}, (e) => {
  console.log(`hostile browser checks: ${e.stack || e}`);
  process.exit(1);
});
