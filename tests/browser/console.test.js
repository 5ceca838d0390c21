// Drives the operator console in Chromium the way an operator uses it: log in,
// walk the side bar, search users by disk usage, remove a non-current user,
// hand a group to a new owner, filter and purge the log, create an account,
// fend off a page of another site, log out. Started by
// scripts/test-browser.sh, which prepares the installation and passes it in
// the environment:
//   ZA_BASE_URL          address of the web server (http://127.0.0.1:PORT)
//   ZA_ADMIN_LOGIN, ZA_ADMIN_PASSWORD   an administrator account
//   ZA_GROUP_NAME        a shared group owned by ZA_GROUP_OWNER_NAME
//   ZA_GROUP_HEIR_NAME   display name of another member of that group
//   ZA_NEW_UID           a person without an account
//   ZA_SCREENSHOTS       folder for the screenshots (optional)
//   ZA_CHROMIUM          the browser (default /usr/bin/chromium)
// Exits 0 only when every check passed.
'use strict';

const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');
const {
  DEFAULT_TIMEOUT_MS, Watch, Runner, assert, frameNamed, navigates, imageButton, tableRows, bodyText,
} = require('./harness');

const WHOLE_RUN_MS = 240000;
const env = (name, fallback) => {
  const value = process.env[name] || fallback;
  if (value === undefined) throw new Error(`${name} is not set`);
  return value;
};
const BASE = env('ZA_BASE_URL').replace(/\/$/, '');
const CONSOLE = `${BASE}/admin/bin/operadmin.cgi`;
const ADMIN = env('ZA_ADMIN_LOGIN');
const ADMIN_PASSWORD = env('ZA_ADMIN_PASSWORD');
const GROUP = env('ZA_GROUP_NAME');
const GROUP_OWNER = env('ZA_GROUP_OWNER_NAME');
const GROUP_HEIR = env('ZA_GROUP_HEIR_NAME');
const NEW_UID = env('ZA_NEW_UID');
const SHOTS = process.env.ZA_SCREENSHOTS || '';
// The facilities console is another program of the suite; the side bar only
// links to it, and this installation does not ship it.
const FOREIGN_PROGRAMS = ['/admin/bin/roomadmin.cgi'];

const LAUNCH = {
  executablePath: env('ZA_CHROMIUM', '/usr/bin/chromium'),
  args: ['--no-sandbox', '--headless', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  timeout: 30000,
};

async function shot(page, name) {
  if (!SHOTS) return;
  await page.screenshot({ path: path.join(SHOTS, `${name}.png`), timeout: DEFAULT_TIMEOUT_MS });
}

async function freshPage(context) {
  const page = context.pages()[0] || await context.newPage();
  page.setDefaultTimeout(DEFAULT_TIMEOUT_MS);
  page.setDefaultNavigationTimeout(DEFAULT_TIMEOUT_MS);
  return page;
}

// Fills the login form and sends it with its image button.
async function submitLogin(page, login, password) {
  await page.goto(`${BASE}/`);
  await page.fill('form[name="loginform"] input[name="login"]', login);
  await page.fill('form[name="loginform"] input[name="password"]', password);
  await Promise.all([page.waitForNavigation(), imageButton(page.mainFrame(), 'mlogin').click()]);
}

// Sends the login form with Enter in the password field.
async function enterLogin(page, login, password) {
  await page.goto(`${BASE}/`);
  await page.fill('form[name="loginform"] input[name="login"]', login);
  await page.fill('form[name="loginform"] input[name="password"]', password);
  await Promise.all([page.waitForNavigation(), page.press('form[name="loginform"] input[name="password"]', 'Enter')]);
}

// The pop-up picker of people and groups, opened by an image button of a
// search form, and its searches: each returns the result rows
// (pick, name, ID) without the heading row.
async function openPicker(context, form, gif) {
  const [popup] = await Promise.all([context.waitForEvent('page'), imageButton(form, gif).click()]);
  await popup.waitForLoadState('load');
  popup.setDefaultTimeout(DEFAULT_TIMEOUT_MS);
  return popup;
}

async function pickerPress(popup, button) {
  await Promise.all([popup.waitForNavigation(), popup.click(`input[name="go"][value="${button}"]`)]);
  return (await tableRows(popup.mainFrame(), 3)).filter((r) => r[0] !== 'Pick');
}

async function pickerSearch(popup, text) {
  await popup.fill('input[name="q"]', text);
  return pickerPress(popup, 'Search');
}

async function headings(frame) {
  return frame.evaluate(() => Array.from(document.querySelectorAll('h1,h2,h3')).map((h) => h.innerText.trim()));
}

// The console's front frame set, opened afresh; returns the side bar frame.
async function front(page) {
  await page.goto(CONSOLE);
  await frameNamed(page, 'application_main', 'operadmin_sum.htm');
  return frameNamed(page, 'application_navbar', 'program=navbar');
}

// Opens a side bar entry and returns the frame it loaded.
async function sideBar(page, gif, part, frameName = 'application_main') {
  const navbar = await front(page);
  return navigates(page, frameName, part, () => imageButton(navbar, gif).click());
}

// Opens a tab of the manage-users frame set.
async function usersTab(page, gif, program) {
  await sideBar(page, 'side_manageusers', 'program=genManageUsersPage');
  const tabs = await frameNamed(page, 'manage_users_navbar_frame', 'program=genManagerUsersNavbar');
  return navigates(page, 'manage_users_frame', `program=${program}`, () => imageButton(tabs, gif).click());
}

// Runs a user search from the resource-usage form; returns the result rows
// (user name, bytes, ...) without the heading row, and the heading frame.
async function userSearch(page, selection, field, value) {
  const form = await usersTab(page, 'fresourceusage', 'resSearchCondPage');
  await form.check(`input[name="selection"][value="${selection}"]`);
  await form.fill(`input[name="${field}"]`, String(value));
  await navigates(page, 'manage_users_frame', 'program=genResUsagePage',
    () => imageButton(form, 'bstartsearch').click());
  const head = await frameNamed(page, 'usage_head_frame', 'program=genResUsageHeading');
  const result = await frameNamed(page, 'usage_result_frame', 'program=genUserDiskUsage');
  const rows = (await tableRows(result, 7)).filter((r) => r[0] !== 'User Name');
  return { head, result, rows };
}

function assertDescendingBytes(rows) {
  const bytes = rows.map((r) => Number(r[1]));
  assert(bytes.every((b) => Number.isInteger(b) && b >= 0), `disk space column is not numeric: ${bytes}`);
  assert(bytes.every((b, i) => i === 0 || bytes[i - 1] >= b), `rows are not in descending order: ${bytes}`);
  return bytes;
}

// The group summary of GROUP, reached through a search by name.
async function groupSummary(page) {
  const form = await sideBar(page, 'side_managegroups', 'program=groupResSearchCondPage');
  await form.check('input[name="selection"][value="group_name"]');
  await form.fill('input[name="gname"]', GROUP);
  const list = await navigates(page, 'application_main', 'program=genGroupDiskUsage',
    () => imageButton(form, 'bstartsearch').click());
  const link = list.locator('a', { hasText: GROUP });
  assert(await link.count() === 1, `the search for "${GROUP}" found ${await link.count()} links`);
  return navigates(page, 'application_main', 'program=genGroupResUsage', () => link.click());
}

async function ownerOf(summary) {
  const row = (await tableRows(summary, 2)).find((r) => r[0] === 'Owner');
  assert(row, 'the group summary has no Owner row');
  return row[1];
}

async function logView(page, level) {
  const options = await sideBar(page, 'side_managelog', 'program=genViewLogFileSplitPage')
    .then(() => frameNamed(page, 'logopt_frame', 'program=genViewLogFileChoicePage'));
  await options.selectOption('select[name="msg_type"]', level);
  await navigates(page, 'logview_frame', 'program=genViewLogFilePage',
    () => imageButton(options, 'bviewlog').click());
  const show = await frameNamed(page, 'logview_frame_show', 'sub_program=show');
  const buttons = await frameNamed(page, 'logoper_frame', 'program=genLogFileOperPage');
  const size = (await headings(show)).map((h) => /Current size of log file = (\d+) Bytes/.exec(h)).find(Boolean);
  assert(size, 'the log view does not state the size of the log file');
  const marks = await show.evaluate(() => Array.from(document.querySelectorAll('td img'))
    .map((img) => img.getAttribute('src').replace(/^.*\/|\.gif$/g, '')));
  return { show, buttons, size: Number(size[1]), marks };
}

async function main() {
  if (SHOTS) fs.mkdirSync(SHOTS, { recursive: true });
  const watch = new Watch(BASE, FOREIGN_PROGRAMS);
  const run = new Runner(watch);
  const contexts = [];
  const profiles = [];
  // Each context is a browser of its own on a new, empty profile folder.
  const newContext = async () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'za-browser-profile-'));
    profiles.push(dir);
    const context = await chromium.launchPersistentContext(dir, { ...LAUNCH, viewport: { width: 1000, height: 640 } });
    contexts.push(context);
    watch.attach(context);
    return context;
  };
  const context = await newContext();
  const page = await freshPage(context);
  const check = (name, fn) => run.check(name, fn, { page });

  try {
    await check('login page shows the form and the logo', async () => {
      await page.goto(`${BASE}/`);
      assert(page.url().startsWith(CONSOLE), `/ did not lead to the console but to ${page.url()}`);
      assert(await page.locator('form[name="loginform"] input[type="password"][name="password"]').count() === 1,
        'no password field');
      assert(await imageButton(page.mainFrame(), 'mlogin').count() === 1, 'no login button');
      assert((await page.title()).trim() !== '', 'the login page has no title');
      await shot(page, 'login');
    });

    await check('a wrong password, sent with Enter, is refused', async () => {
      await enterLogin(page, ADMIN, `${ADMIN_PASSWORD}-wrong`);
      assert((await headings(page.mainFrame())).includes('Incorrect password, please try again'),
        `no refusal among ${await headings(page.mainFrame())}`);
    });

    await check('the administrator logs in through the form', async () => {
      await submitLogin(page, ADMIN, ADMIN_PASSWORD);
      await frameNamed(page, 'application_main', 'operadmin_sum.htm');
      const navbar = await frameNamed(page, 'application_navbar', 'program=navbar');
      for (const gif of ['side_manageusers', 'side_managegroups', 'side_managefacilities', 'side_managelog',
        'side_help', 'side_babout', 'side_blogout']) {
        assert(await imageButton(navbar, gif).count() === 1, `side bar entry ${gif} missing`);
      }
      const cookies = (await context.cookies()).map((c) => c.name);
      assert(cookies.includes('ZarvoUidCookie'), `no login cookie, only ${cookies}`);
      await shot(page, 'front');
    });

    await check('side bar: resource usage shows the user ID list with four tabs', async () => {
      await sideBar(page, 'side_manageusers', 'program=genManageUsersPage');
      const tabs = await frameNamed(page, 'manage_users_navbar_frame', 'program=genManagerUsersNavbar');
      for (const gif of ['fviewuserids', 'fnoncurrentusers', 'fresourceusage', 'fnewaccount']) {
        assert(await imageButton(tabs, gif).count() === 1, `tab ${gif} missing`);
      }
      const list = await frameNamed(page, 'manage_users_frame', 'program=genUid2NamePage');
      const rows = (await tableRows(list, 3)).filter((r) => r[0] !== 'User Name');
      assert(rows.length === 100, `the first page lists ${rows.length} users, not 100`);
      const names = rows.map((r) => r[0]);
      assert(names.every((n, i) => i === 0 || names[i - 1].localeCompare(n, 'en') <= 0),
        'the user list is not sorted by name');
      assert(await imageButton(list, 'bnext').count() === 1, 'no button for the next 100 users');
      await shot(page, 'users');
      const next = await navigates(page, 'manage_users_frame', 'last_count=100',
        () => imageButton(list, 'bnext').click());
      const more = (await tableRows(next, 3)).filter((r) => r[0] !== 'User Name');
      assert(more.length > 0 && more[0][1] !== rows[0][1], 'the next page does not go on with other users');
    });

    await check('side bar: group management shows the group search form', async () => {
      const form = await sideBar(page, 'side_managegroups', 'program=groupResSearchCondPage');
      const kinds = await form.locator('input[name="selection"]').evaluateAll((r) => r.map((e) => e.value));
      assert(kinds.join() === 'all_g,group_name,group_owner,top_g,gt_g', `search kinds: ${kinds}`);
      await shot(page, 'groups');
    });

    await check('side bar: the facilities entry leads to the facilities console', async () => {
      const navbar = await front(page);
      const link = imageButton(navbar, 'side_managefacilities');
      assert(await link.getAttribute('target') === 'application_main', 'facilities link has the wrong target');
      await navigates(page, 'application_main', 'roomadmin.cgi?program=roomOperFront', () => link.click());
    });

    await check('side bar: log management shows the filter form and the hint', async () => {
      await sideBar(page, 'side_managelog', 'program=genViewLogFileSplitPage');
      const options = await frameNamed(page, 'logopt_frame', 'program=genViewLogFileChoicePage');
      const levels = await options.locator('select[name="msg_type"] option').evaluateAll((o) => o.map((e) => e.value));
      assert(levels.join() === 'All,ZA_ERROR,ZA_WARNING,ZA_AUDIT,ZA_INFO', `levels offered: ${levels}`);
      const hint = await frameNamed(page, 'logview_frame', 'program=genViewLogFileStartMsgPage');
      assert((await bodyText(hint)).includes('Click on View Log button'), 'no hint in the view frame');
    });

    await check('side bar: online help opens in its own window', async () => {
      const navbar = await front(page);
      const [help] = await Promise.all([context.waitForEvent('page'), imageButton(navbar, 'side_help').click()]);
      await help.waitForLoadState('load');
      assert(help.url().includes('/common/help/admin_help.htm'), `help window shows ${help.url()}`);
      assert((await help.title()).trim() !== '', 'the help page has no title');
      await help.close();
    });

    await check('side bar: product information opens', async () => {
      const about = await sideBar(page, 'side_babout', 'program=app_common_prog_help_top');
      assert((await about.content()).length > 200, 'the product information page is empty');
    });

    let topRows = [];
    await check('top 5 users by disk usage', async () => {
      const { head, result, rows } = await userSearch(page, 'top_u', 'users', 5);
      assert((await headings(head)).includes('List of top 5 users by disk usage'), 'wrong heading');
      assert(rows.length === 5, `${rows.length} rows instead of 5`);
      assertDescendingBytes(rows);
      assert(await imageButton(result, 'bemail').count() === 1, 'no mail button for a top-N list');
      topRows = rows;
      await shot(page, 'top-users');
    });

    await check('users above a number of bytes', async () => {
      assert(topRows.length === 5, 'needs the top-5 result');
      const threshold = Number(topRows[2][1]);
      const { head, rows } = await userSearch(page, 'gt_u', 'ubytes', threshold);
      const want = `List of users using more than ${threshold} bytes of disk space`;
      assert((await headings(head)).includes(want), `heading is not "${want}"`);
      const bytes = assertDescendingBytes(rows);
      assert(rows.length >= 3 && bytes.every((b) => b >= threshold),
        `${rows.length} rows, bytes ${bytes} for the threshold ${threshold}`);
      assert(rows.slice(0, 3).map((r) => r[0]).join() === topRows.slice(0, 3).map((r) => r[0]).join(),
        'the largest users differ from the top-5 list');
    });

    await check('the picker: a person and a group picked in the pop-up fill the user search', async () => {
      const form = await usersTab(page, 'fresourceusage', 'resSearchCondPage');
      const popup = await openPicker(context, form, 'bselectpeople');
      const first = await pickerSearch(popup, '');
      assert(first.length === 50, `the first page shows ${first.length} people, not 50`);
      const second = await pickerPress(popup, 'Next 50');
      assert(second.length > 0 && second[0][2] !== first[0][2], 'Next 50 shows the same people again');
      const person = (await pickerSearch(popup, NEW_UID)).find((r) => r[2] === NEW_UID);
      assert(person, `a search for ${NEW_UID} does not find that person`);
      await popup.check(`input[name="tick_u"][value="${NEW_UID}"]`);
      await pickerPress(popup, 'Groups');
      const group = (await pickerSearch(popup, GROUP)).find((r) => r[1] === GROUP);
      assert(group, `a search for "${GROUP}" does not find the group`);
      await popup.check(`input[name="tick_g"][value="${group[2]}"]`);
      await pickerPress(popup, 'Search');
      const picked = await popup.locator('input[name="picked_u"], input[name="picked_g"]').evaluateAll(
        (boxes) => boxes.map((b) => b.value));
      assert(picked.join() === `${NEW_UID},${group[2]}`, `picked so far: ${picked}`);
      await shot(popup, 'picker');
      const back = await navigates(page, 'manage_users_frame', 'selector=TRUE',
        () => popup.click('input[name="go"][value="OK"]'));
      const chosen = await back.locator('input[name="oper_uid_val"]:checked').evaluateAll((b) => b.map((e) => e.value));
      assert(chosen.includes(NEW_UID) && chosen.length >= 3, `people chosen on the form: ${chosen}`);
      assert(await back.locator('input[name="selection"][value="select_u"]').isChecked(), '"Select users" not ticked');
      await navigates(page, 'manage_users_frame', 'program=genResUsagePage',
        () => imageButton(back, 'bstartsearch').click());
      const result = await frameNamed(page, 'usage_result_frame', 'program=genUserDiskUsage');
      const names = (await tableRows(result, 7)).filter((r) => r[0] !== 'User Name').map((r) => r[0]);
      assert(names.length === chosen.length && names.includes(person[1]) && names.includes(GROUP_HEIR),
        `the result lists ${names}`);
    });

    await check('the picker: "Select User" picks the owner for the group search', async () => {
      const form = await sideBar(page, 'side_managegroups', 'program=groupResSearchCondPage');
      const popup = await openPicker(context, form, 'bselectuser');
      assert(await popup.locator('input[name="go"][value="Groups"]').count() === 0, 'picking one user offers groups');
      const owner = (await pickerSearch(popup, GROUP_OWNER)).find((r) => r[1] === GROUP_OWNER);
      assert(owner, `a search for "${GROUP_OWNER}" does not find that person`);
      await popup.check(`input[type="radio"][name="tick_u"][value="${owner[2]}"]`);
      const back = await navigates(page, 'application_main', 'selector=TRUE',
        () => popup.click('input[name="go"][value="OK"]'));
      const given = await back.locator('input[name="selectedOwner"]').getAttribute('value');
      assert(given === owner[2], `the form's owner is ${given}, not ${owner[2]}`);
      const list = await navigates(page, 'application_main', 'program=genGroupDiskUsage',
        () => imageButton(back, 'bstartsearch').click());
      assert(await list.locator('a', { hasText: GROUP }).count() === 1, `the owner's groups do not include ${GROUP}`);
    });

    await check('the picker hands back only to the console, whatever address it is given', async () => {
      const popup = await context.newPage();
      await popup.goto(`${BASE}/selector/bin/selector.cgi?return_url=${encodeURIComponent('https://elsewhere.example/')}`);
      await Promise.all([popup.waitForNavigation(), popup.click('input[name="go"][value="OK"]')]);
      const href = await popup.locator('a', { hasText: 'Back to the search form' }).getAttribute('href');
      assert(href === '../../admin/bin/operadmin.cgi?program=resSearchCondPage&selector=TRUE', `hands back to ${href}`);
      await popup.close();
    });

    await check('a non-current user is shown and removed', async () => {
      const list = await usersTab(page, 'fnoncurrentusers', 'genDeletedUsersPage');
      const uidsOf = (frame) => frame.locator('a[href*="program=genUidResUsage"]').evaluateAll(
        (links) => links.map((a) => new URL(a.href).searchParams.get('uid')));
      const before = await uidsOf(list);
      assert(before.length > 0, 'no non-current users listed');
      const uid = before[0];
      const summary = await navigates(page, 'manage_users_frame', `uid=${uid}`,
        () => list.locator(`a[href*="uid=${uid}"]`).first().click());
      const labels = (await tableRows(summary, 3)).map((r) => r[0]);
      assert(labels.includes('Disk Space (bytes)') && labels.includes('Groups in Hotlist'),
        `summary rows: ${labels}`);
      await shot(page, 'user-summary');
      const after = await navigates(page, 'manage_users_frame', 'program=operOnUser',
        () => imageButton(summary, 'bremovedeletedusers').click());
      const asked = watch.lastDialog();
      assert(asked && asked.type === 'confirm' && asked.message.includes('Do you really want to remove this user?'),
        `confirmation asked: ${asked && asked.message}`);
      const remaining = await uidsOf(after);
      assert(remaining.length === before.length - 1 && !remaining.includes(uid),
        `${uid} still listed, or the list changed otherwise (${before.length} -> ${remaining.length})`);
    });

    await check("a group's owner is changed through the form", async () => {
      const summary = await groupSummary(page);
      assert((await ownerOf(summary)) === GROUP_OWNER, `owner before: ${await ownerOf(summary)}`);
      const form = await navigates(page, 'application_main', 'operation=chgowner',
        () => imageButton(summary, 'bchangeowner').click());
      const radios = form.locator('input[type="radio"][name="selection"]');
      const labels = await radios.evaluateAll((rs) => rs.map((r) => r.parentElement.innerText.trim()));
      assert(labels.includes(GROUP_HEIR) && labels.includes(GROUP_OWNER), `new owners offered: ${labels}`);
      await radios.nth(labels.indexOf(GROUP_HEIR)).check();
      await shot(page, 'change-owner');
      const after = await navigates(page, 'application_main', 'program=operOnGroup',
        () => imageButton(form, 'bsave').click());
      assert((await ownerOf(after)) === GROUP_HEIR, `owner after: ${await ownerOf(after)}`);
      assert((await ownerOf(await groupSummary(page))) === GROUP_HEIR, 'the new owner was not kept');
      await shot(page, 'group-summary');
    });

    await check('the log filtered by level, then purged', async () => {
      const all = await logView(page, 'All');
      assert(all.size > 0 && all.marks.length > 0, `log of ${all.size} bytes with ${all.marks.length} rows`);
      const errors = await logView(page, 'ZA_ERROR');
      assert(errors.marks.length > 0 && errors.marks.length < all.marks.length,
        `${errors.marks.length} error rows out of ${all.marks.length}`);
      assert(errors.marks.every((m) => m === 'mredball'), `marks of error rows: ${errors.marks}`);
      await shot(page, 'log');
      // The answer replaces the whole view: messages and buttons.
      const done = await navigates(page, 'logview_frame', 'program=operOnLogFile',
        () => imageButton(errors.buttons, 'bpurgelog').click());
      const asked = watch.lastDialog();
      assert(asked && asked.message.includes('Do your really want to purge logfile?'),
        `confirmation asked: ${asked && asked.message}`);
      assert((await headings(done)).includes('Log file has been successfully purged'),
        `after the purge: ${await headings(done)}`);
      const purged = await logView(page, 'All');
      assert(purged.size < all.size && purged.marks.length < all.marks.length,
        `log still ${purged.size} bytes with ${purged.marks.length} rows`);
    });

    const newPassword = `pw-${process.pid}-new`;
    await check('a new account is created for a person of the directory', async () => {
      const form = await usersTab(page, 'fnewaccount', 'createNewAccount');
      await form.fill('input[name="uid"]', NEW_UID);
      await form.fill('input[name="login"]', NEW_UID);
      await form.fill('input[name="password1"]', newPassword);
      await form.fill('input[name="password2"]', newPassword);
      await shot(page, 'new-account');
      const done = await navigates(page, 'manage_users_frame', 'program=createNewAccountProcess',
        () => imageButton(form, 'bsave').click());
      const want = `New account for User ID "${NEW_UID}" with login "${NEW_UID}" successfully set up.`;
      assert((await headings(done)).includes(want), `result: ${await headings(done)}`);
      await done.fill('input[name="uid"]', NEW_UID);
      await done.fill('input[name="login"]', `${NEW_UID}2`);
      const again = await navigates(page, 'manage_users_frame', 'program=createNewAccountProcess',
        () => imageButton(done, 'bsave').click());
      assert((await headings(again)).includes('Sorry, an account already exists for this User ID.'),
        `second attempt: ${await headings(again)}`);
    });

    await check('the new account, not an administrator, is refused', async () => {
      const other = await newContext();
      try {
        const second = await freshPage(other);
        await submitLogin(second, NEW_UID, newPassword);
        const said = await headings(second.mainFrame());
        assert(said.includes('You are not on the list of valid administrators.'), `login answered ${said}`);
        assert(await second.locator('form[name="loginform"]').count() === 1, 'no login form after the refusal');
      } finally {
        await other.close();
      }
    });

    await check('a page of another site cannot act for the logged-in operator', async () => {
      const action = (query) => `${CONSOLE}?${query.replace(/&/g, '&amp;')}`;
      const pages = {
        '/img': `<img src="${action('program=operOnLogFile&operation=archive')}">`
          + `<img src="${action('program=operOnGroup&operation=delete&uid=qa-team&fromPage=gid_res')}">`
          + `<img src="${action('program=app_common_prog_logout')}">`,
        '/form': `<form name="f" method="post" action="${action('program=createNewAccountProcess')}">`
          + `<input name="uid" value="${NEW_UID}"><input name="login" value="intruder">`
          + '<input name="password1" value="intruder-pw"><input name="password2" value="intruder-pw"></form>'
          + '<script>document.forms.f.submit();</script>',
      };
      const server = http.createServer((req, res) => {
        res.writeHead(200, { 'Content-Type': 'text/html' });
        res.end(`<html><body>${pages[req.url] || ''}</body></html>`);
      });
      await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
      const tab = await context.newPage();
      try {
        // "localhost" is another site than the console's 127.0.0.1.
        const evil = `http://localhost:${server.address().port}`;
        await tab.goto(`${evil}/img`, { waitUntil: 'load' });
        await tab.goto(`${evil}/form`, { waitUntil: 'commit' });
        await tab.waitForURL((url) => url.href.startsWith(CONSOLE), { waitUntil: 'load' });
        // Without the token, even a request from the console's own site is refused.
        await tab.goto(`${CONSOLE}?program=operOnGroup&operation=delete&uid=qa-team&fromPage=gid_res`);
        const said = await headings(tab.mainFrame());
        assert(said.includes('This request was refused; nothing was changed.'), `without a token: ${said}`);
      } finally {
        await tab.close();
        server.close();
      }
      // The browser keeps the console's answers (HTML, "nosniff") from the
      // other site's images: those blocked loads are the defence, not a fault.
      watch.problems = watch.problems.filter((p) => !p.startsWith('net::ERR_BLOCKED_BY_ORB '));
      // Still logged in, and the group is still there.
      const summary = await groupSummary(page);
      assert((await ownerOf(summary)) !== '', 'the group lost its owner');
    });

    await check('logout asks first and ends the session', async () => {
      const navbar = await front(page);
      await Promise.all([page.waitForNavigation(), imageButton(navbar, 'side_blogout').click()]);
      const asked = watch.lastDialog();
      assert(asked && asked.message.includes('Do you really want to logout ?'), `asked: ${asked && asked.message}`);
      assert((await headings(page.mainFrame())).includes('You have been logged out'), 'no logout message');
      await page.goto(CONSOLE);
      assert(await page.locator('form[name="loginform"]').count() === 1, 'the console opened without a login');
    });
  } finally {
    for (const c of contexts) await c.close().catch(() => {});
    profiles.forEach((dir) => fs.rmSync(dir, { recursive: true, force: true }));
  }
  return run.summary();
}

const watchdog = setTimeout(() => {
  console.log(`browser checks: stopped after ${WHOLE_RUN_MS / 1000} s`);
  process.exit(1);
}, WHOLE_RUN_MS);
main().then((ok) => {
  clearTimeout(watchdog);
  process.exit(ok ? 0 : 1);
}, (e) => {
  console.log(`browser checks: ${e.stack || e}`);
  process.exit(1);
});
