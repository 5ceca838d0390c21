// Checks the installed web assets against what the console's pages ask for:
// catalogue keys, script functions (copied the way the page emitter copies
// them, then run against a stand-in DOM), images and help sections.
// Run: node --test scripts/web-assets.test.js
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const fs = require("node:fs");
const path = require("node:path");
const vm = require("node:vm");

const WEB = path.join(__dirname, "..", "install", "web");
const read = (rel) => fs.readFileSync(path.join(WEB, rel), "latin1");

// ------------------------------------------------------------ catalogue
const KEYS = [
  "LoginPageTitle", "LoginPageMsg", "FeedbackHdg", "ManageResHdg",
  "UnCurrentUsersHdg", "UnCurrentUsersInfo1", "UidResUsageHdg",
  "UnCurrentUsersUidResInfo1", "UserDelWarning1", "UnCurrentUsersGroupListHdg",
  "UnCurrentUsersGroupListInfo", "NewAcctHdg", "NewAcctInfo1", "NewAcctInfo2",
  "GroupMgmtHdg", "GroupMgmtSummHdg", "GroupMgmtGidResHdg", "GroupMgmtGidResInfo1",
  "GroupMgmtChgOwnHdg", "GroupMgmtChgOwnInfo1", "ManageLogHdg", "ManageLogInfo1",
];
const STORES = ["ZARVO", "LDAP", "SQL"];

function readCatalogue() {
  const lines = read("admin/bin/adminmsg.lst").split("\n");
  assert.ok(lines[0].startsWith("BEGIN:vNameList"), "header line");
  const end = lines.findIndex((l) => l.startsWith("END:vNameList"));
  assert.ok(end > 0, "end line");
  const entries = new Map();
  for (const line of lines.slice(1, end)) {
    const colon = line.indexOf(":");
    assert.ok(colon > 0, `line without a name: ${line}`);
    const name = line.slice(0, colon).toLowerCase();
    assert.ok(!entries.has(name), `key given twice: ${name}`);
    entries.set(name, line.slice(colon + 1));
  }
  return entries;
}

test("catalogue", async (t) => {
  const entries = readCatalogue();
  // The lookup: the key itself, else key + "_" + the store kind.
  const lookup = (key, store) =>
    entries.get(key.toLowerCase()) ?? entries.get(`${key}_${store}`.toLowerCase());
  for (const key of KEYS) {
    await t.test(key, () => {
      for (const store of STORES) {
        const text = lookup(key, store);
        assert.ok(text && text.trim().length > 10, `${key} for ${store}`);
        assert.ok(!/=0A=$/i.test(text), "a value ending in =0A= joins the next line");
      }
      const plain = entries.has(key.toLowerCase());
      const variants = STORES.filter((s) => entries.has(`${key}_${s}`.toLowerCase()));
      assert.ok(!(plain && variants.length), "store variants behind a plain key are never read");
    });
  }
});

// ------------------------------------------------------------ scripts
// The page emitter's copy rule: from the line that starts with "function"
// and names the function (any letter case) through the first line that
// starts with "}".
function emitFunction(rel, name) {
  const out = [];
  let copying = false;
  for (const line of read(rel).split(/(?<=\n)/)) {
    if (!copying && line.startsWith("function")) {
      const m = /^function[ \t]+([^ \t\n\r({]*)/.exec(line);
      copying = !!m && m[1].toLowerCase() === name.toLowerCase();
    }
    if (copying) {
      out.push(line);
      if (line.startsWith("}")) return out.join("");
    }
  }
  return null;
}

const FUNCTIONS = {
  "common/bin/misc.js": ["donothing", "submitForm", "submitFormAfterConfirm", "denyWithAlert",
    "NotifyByEmail", "isInteger", "isNonNullInteger", "isEmpty", "validateInput", "sendtotop",
    "loginOnFocus", "checkAndSubmitForm"],
  "common/bin/confirm.js": ["MyConfirm", "ConfirmDelete", "ConfirmClear", "ConfirmDeleteMeeting",
    "ConfirmDeleteMeetingSubmit"],
  "common/bin/help.js": ["ZaHelp"],
  "common/bin/setcurrent.js": ["onUnloadInit", "nullifyHelpWin"],
  "common/bin/selector.js": ["CloseWindow", "SelectorWindowClose", "SelectorQuit", "CloseChild"],
  "common/bin/jcard.js": ["pageIsLoaded", "updateJCard"],
  "admin/bin/operadmin.js": ["userResSearchSelector", "validateUserResSearchCondFormSubmit",
    "groupResSearchSelector", "validateGroupResSearchCondFormSubmit", "onChangeSelect",
    "validateRadioFormSelectionSubmit", "validateViewLogFormSubmit", "ConfirmLogOperation"],
};

test("every function copies out whole and parses alone", async (t) => {
  for (const [file, names] of Object.entries(FUNCTIONS)) {
    for (const name of names) {
      await t.test(`${file} ${name}`, () => {
        const text = emitFunction(file, name);
        assert.ok(text, "found");
        assert.doesNotThrow(() => new vm.Script(text), "the copied text is a complete function");
      });
    }
  }
  for (const file of ["common/bin/init.js", "common/bin/jcard.js"]) {
    await t.test(`${file} included whole`, () => {
      assert.doesNotThrow(() => new vm.Script(read(file)));
      assert.ok(!/<\/script/i.test(read(file)), "would end the page's script element");
    });
  }
});

// A stand-in page: forms whose fields hold values, radio lists, and records
// of what the script did (alerts, submits, loaded addresses).
function field(value, extra = {}) {
  return { value, checked: false, focused: false, focus() { this.focused = true; }, ...extra };
}
function radios(values, checked) {
  const list = values.map((v) => field(v));
  if (checked !== undefined) list[checked].checked = true;
  return list;
}
function page(functions, { elements = {}, answer = true, topVars = {} } = {}) {
  const form = { elements, submitted: 0, submit() { this.submitted++; } };
  const forms = [form];
  for (const name of ["condform", "optionform", "operform", "createform", "loginform"]) {
    forms[name] = form;
  }
  const top = { location: { href: "top" }, ...topVars };
  const ctx = {
    alerts: [], questions: [], opened: [],
    document: { forms },
    parent: { location: { href: "parent" } },
    top,
    loginFocussed: true,
  };
  ctx.self = ctx.window = ctx;
  ctx.location = { href: "self" };
  ctx.alert = (m) => ctx.alerts.push(m);
  ctx.confirm = (m) => { ctx.questions.push(m); return answer; };
  ctx.window.open = (url) => { ctx.opened.push(url); return { focus() {}, closed: false }; };
  vm.createContext(ctx);
  for (const [file, name] of functions) vm.runInContext(emitFunction(file, name), ctx);
  return { ctx, form };
}
const OP = "admin/bin/operadmin.js";
const MISC = "common/bin/misc.js";
const CONFIRM = "common/bin/confirm.js";

test("number tests", () => {
  const { ctx } = page([[MISC, "isInteger"], [MISC, "isNonNullInteger"], [MISC, "isEmpty"]]);
  const cases = [ // value, isInteger, isNonNullInteger, isEmpty
    ["", true, false, true], ["  ", true, false, true], ["42", true, true, false],
    [" 7 ", true, true, false], ["-3", false, false, false], ["1.5", false, false, false],
    ["12a", false, false, false], [null, true, false, true],
  ];
  for (const [value, integer, nonNull, empty] of cases) {
    assert.strictEqual(ctx.isInteger(value), integer, `isInteger(${value})`);
    assert.strictEqual(ctx.isNonNullInteger(value), nonNull, `isNonNullInteger(${value})`);
    assert.strictEqual(ctx.isEmpty(value), empty, `isEmpty(${value})`);
  }
});

test("log filter accepts no days or a whole number", () => {
  const cases = [["", true, ""], ["12", true, "12"], [" 7 ", true, "7"], ["0", true, "0"],
    ["1.5", false], ["-3", false], ["abc", false]];
  for (const [days, sent, kept] of cases) {
    const d = field(days);
    const { ctx, form } = page([[OP, "validateViewLogFormSubmit"]], { elements: { days: d } });
    ctx.validateViewLogFormSubmit();
    assert.strictEqual(form.submitted, sent ? 1 : 0, `days "${days}"`);
    assert.strictEqual(ctx.alerts.length, sent ? 0 : 1);
    if (sent) assert.strictEqual(d.value, kept);
  }
});

test("confirmations load the address only on a yes", () => {
  const cases = [ // file, function, address, window that must load it
    [OP, "ConfirmLogOperation", "operadmin.cgi?program=operOnLogFile&operation=purge", "parent"],
    [CONFIRM, "MyConfirm", "operadmin.cgi?program=operOnUser&operation=remove&uid=ann", "self"],
    [CONFIRM, "MyConfirm", "admin.cgi?program=app_common_prog_logout", "top"],
    [CONFIRM, "ConfirmDelete", "x.cgi?program=del", "self"],
    [CONFIRM, "ConfirmClear", "x.cgi?program=clear", "self"],
    [CONFIRM, "ConfirmDeleteMeeting", "x.cgi?program=delm", "self"],
  ];
  for (const [file, name, address, where] of cases) {
    for (const answer of [true, false]) {
      const { ctx } = page([[file, name]], { answer });
      ctx[name]("Really?\\nSure?", address);
      assert.deepStrictEqual(ctx.questions, ["Really?\nSure?"], name);
      const loaded = { self: ctx.location, parent: ctx.parent.location, top: ctx.top.location }[where];
      assert.strictEqual(loaded.href, answer ? address : where, `${name} answer ${answer}`);
    }
  }
  for (const [file, name] of [[CONFIRM, "ConfirmDeleteMeetingSubmit"], [MISC, "submitFormAfterConfirm"]]) {
    for (const answer of [true, false]) {
      const { ctx, form } = page([[file, name]], { answer });
      ctx[name]("Go?");
      assert.strictEqual(form.submitted, answer ? 1 : 0, `${name} answer ${answer}`);
    }
  }
});

test("user search form", () => {
  const kinds = ["all_u", "top_u", "gt_u", "deleted_u", "select_u"];
  const cases = [ // checked kind (index), users, ubytes, people, sent
    [undefined, "", "", undefined, false],
    [0, "", "", undefined, true],
    [1, "", "", undefined, false],
    [1, "5", "", undefined, true],
    [2, "", "x1", undefined, false],
    [2, "", "1000", undefined, true],
    [3, "", "", undefined, true],
    [4, "", "", undefined, false],
    [4, "", "", field("ann", { checked: false }), false],
    [4, "", "", field("ann", { checked: true }), true],
    [4, "", "", [field("ann"), field("bob", { checked: true })], true],
  ];
  for (const [kind, users, ubytes, people, sent] of cases) {
    const elements = { selection: radios(kinds, kind), users: field(users), ubytes: field(ubytes) };
    if (people) elements.oper_uid_val = people;
    const { ctx, form } = page([[OP, "validateUserResSearchCondFormSubmit"]], { elements });
    ctx.validateUserResSearchCondFormSubmit();
    assert.strictEqual(form.submitted, sent ? 1 : 0, `kind ${kinds[kind]} users "${users}" bytes "${ubytes}"`);
    assert.strictEqual(ctx.alerts.length, sent ? 0 : 1);
  }
});

test("group search form", () => {
  const kinds = ["all_g", "group_name", "group_owner", "top_g", "gt_g"];
  const cases = [ // radio count, checked index, gname, ifSelected, groups, gbytes, sent
    ["5", 0, "", "FALSE", "", "", true],
    ["5", 1, " ", "FALSE", "", "", false],
    ["5", 1, "sales", "FALSE", "", "", true],
    ["5", 2, "", "FALSE", "", "", false],
    ["5", 2, "", "TRUE", "", "", true],
    ["5", 3, "", "FALSE", "3", "", true],
    ["5", 3, "", "FALSE", "", "", false],
    ["5", 4, "", "FALSE", "", "2k", false],
    ["5", 4, "", "FALSE", "", "0", true],
    ["3", 3, "", "FALSE", "3", "", false], // beyond the form's radio buttons
  ];
  for (const [count, kind, gname, chosen, groups, gbytes, sent] of cases) {
    const elements = { selection: radios(kinds, kind), gname: field(gname),
      ifSelected: field(chosen), groups: field(groups), gbytes: field(gbytes) };
    const { ctx, form } = page([[OP, "validateGroupResSearchCondFormSubmit"]], { elements });
    ctx.validateGroupResSearchCondFormSubmit(count);
    assert.strictEqual(form.submitted, sent ? 1 : 0, `count ${count} kind ${kinds[kind]}`);
  }
  const elements = { selection: radios(kinds) };
  const { ctx } = page([[OP, "onChangeSelect"]], { elements });
  ctx.onChangeSelect(3);
  assert.deepStrictEqual(elements.selection.map((r) => r.checked), [false, false, false, true, false]);
});

test("change-owner form needs a chosen member", () => {
  const cases = [ // count, members (null: none), sent
    ["0", null, false],
    ["1", field("ann"), false],
    ["1", field("ann", { checked: true }), true],
    ["2", [field("ann"), field("bob")], false],
    ["2", [field("ann"), field("bob", { checked: true })], true],
  ];
  for (const [count, members, sent] of cases) {
    const elements = members ? { selection: members } : {};
    const { ctx, form } = page([[OP, "validateRadioFormSelectionSubmit"]], { elements });
    ctx.validateRadioFormSelectionSubmit(count);
    assert.strictEqual(form.submitted, sent ? 1 : 0, `count ${count}`);
    assert.strictEqual(ctx.alerts.length, sent ? 0 : 1);
  }
});

test("directory server form", () => {
  const good = { machineNo: "ldap1", portNo: "389", rootDN: "cn=Manager", searchBase: "o=Co" };
  const cases = [[{}, true], [{ machineNo: " " }, false], [{ portNo: "" }, false],
    [{ portNo: "38a" }, false], [{ rootDN: "" }, false], [{ searchBase: "" }, false]];
  for (const [change, sent] of cases) {
    const values = { ...good, ...change };
    const elements = Object.fromEntries(Object.entries(values).map(([k, v]) => [k, field(v)]));
    const { ctx, form } = page([[MISC, "isEmpty"], [MISC, "isInteger"], [MISC, "validateInput"]], { elements });
    ctx.validateInput();
    assert.strictEqual(form.submitted, sent ? 1 : 0, JSON.stringify(change));
  }
});

test("help window and selector addresses", () => {
  const cases = [ // topic as the page encodes it, help context, address opened
    ["..%2F..%2Fcommon%2Fhelp%2Fadmin_help.htm", "Manage Resources",
      "../../common/help/admin_help.htm#ManageResources"],
    ["..%2F..%2Fcommon%2Fhelp%2Fadmin_help.htm", "Non-Current Users",
      "../../common/help/admin_help.htm#NonCurrentUsers"],
    ["Manage+Groups", "Top", "../../help/bin/help.cgi?program=help_window&topic=Manage%20Groups"],
  ];
  for (const [topic, context, address] of cases) {
    const { ctx } = page([["common/bin/help.js", "ZaHelp"]], { topVars: { CurrentProg: context } });
    ctx.ZaHelp("../../help/bin/help.cgi?program=help_window", topic);
    assert.deepStrictEqual(ctx.opened, [address]);
    assert.ok(ctx.top.ZaHelpWindow, "the window is kept for the other frames");
  }
  const { ctx } = page([[OP, "groupResSearchSelector"]]);
  ctx.groupResSearchSelector("../../selector/bin/selector.cgi?selector_mode=single", "ret%3Fa%3D1");
  assert.deepStrictEqual(ctx.opened,
    ["../../selector/bin/selector.cgi?selector_mode=single&return_url=ret%3Fa%3D1"]);
});

// ------------------------------------------------------------ images
// A GIF reader written apart from the generator, so that an encoder fault
// shows up as a wrong pixel count or a code outside the table.
function decodeGif(buf) {
  assert.match(buf.toString("latin1", 0, 6), /^GIF8[79]a$/);
  const width = buf.readUInt16LE(6), height = buf.readUInt16LE(8), flags = buf[10];
  let i = 13 + (flags & 0x80 ? 3 * (2 << (flags & 7)) : 0);
  while (buf[i] === 0x21) { // extensions
    i += 2;
    while (buf[i]) i += buf[i] + 1;
    i++;
  }
  assert.strictEqual(buf[i], 0x2c, "image descriptor");
  i += 10;
  const minSize = buf[i++];
  const chunks = [];
  while (buf[i]) { chunks.push(buf.subarray(i + 1, i + 1 + buf[i])); i += buf[i] + 1; }
  assert.strictEqual(buf[i + 1], 0x3b, "trailer");
  const data = Buffer.concat(chunks);
  const clear = 1 << minSize, eoi = clear + 1;
  let size = minSize + 1, pos = 0, table = [], prev = null, count = 0;
  for (;;) {
    let code = 0;
    for (let b = 0; b < size; b++, pos++) {
      assert.ok(pos < data.length * 8, "data ended before the end code");
      code |= ((data[pos >> 3] >> (pos & 7)) & 1) << b;
    }
    if (code === clear) {
      table = Array.from({ length: eoi + 1 }, (_, k) => [k]);
      size = minSize + 1; prev = null; continue;
    }
    if (code === eoi) break;
    assert.ok(code <= table.length, `code ${code} beyond the table`);
    const entry = code < table.length ? table[code] : prev.concat(prev[0]);
    if (prev && table.length < 4096) table.push(prev.concat(entry[0]));
    if (table.length === 1 << size && size < 12) size++;
    count += entry.length;
    prev = entry;
  }
  return { width, height, count };
}

const IMAGES = {
  button: ["barchivelog", "bcancel", "bchangeowner", "bdeletegroup", "bdone", "bemail", "bnext",
    "bpurgelog", "bremovedeletedusers", "bsave", "bselectpeople", "bselectuser", "bstartsearch",
    "bviewlog", "mlogin"],
  tab: ["faboutzarvo", "fnewaccount", "fnoncurrentusers", "fresourceusage", "fviewuserids",
    "fzarvofeedback"],
  heading: ["hcreatenewaccount", "herror", "hmanagegroups", "hmanagelog", "hnoncurrentusers",
    "hresourceusage", "hviewuserids", "hzarvofeedback", "schangegroupowner", "sgroupsummary",
    "sresourceusagesummary", "susers", "tdays", "tlogmessagesinlast", "tlookfor"],
  side: ["side_manageusers", "side_managegroups", "side_managefacilities", "side_managelog",
    "side_help", "side_babout", "side_blogout"],
  mark: ["mpersonicon", "mgroupicon", "mdocumenticon", "mredball", "myellowball", "mgreenball",
    "mblueball", "mspacer"],
};
// Largest size each kind may take: side entries fit the 90-pixel navigation
// column, tabs the 35-pixel tab frame, marks stand inside a line of text.
const LIMITS = { button: [400, 24], tab: [400, 30], heading: [500, 30], side: [88, 80], mark: [16, 16] };

test("images", async (t) => {
  for (const [kind, names] of Object.entries(IMAGES)) {
    for (const name of names) {
      await t.test(name, () => {
        for (const dir of ["admin/bin/images/style0", "common/bin/images/style0"]) {
          const gif = decodeGif(fs.readFileSync(path.join(WEB, dir, `${name}.gif`)));
          assert.ok(gif.width >= 1 && gif.height >= 1);
          assert.strictEqual(gif.count, gif.width * gif.height, `${dir} pixel count`);
          assert.ok(gif.width <= LIMITS[kind][0] && gif.height <= LIMITS[kind][1], `${dir} size`);
        }
      });
    }
  }
  await t.test("logo", () => {
    const gif = decodeGif(fs.readFileSync(path.join(WEB, "common/bin/images/zarvologo.gif")));
    assert.strictEqual(gif.count, gif.width * gif.height);
  });
});

// ------------------------------------------------------------ help pages
test("help pages", () => {
  const help = read("common/help/admin_help.htm");
  for (const context of ["Top", "Feedback", "Manage Resources", "Non-Current Users",
    "View User IDs", "Create New Account", "Manage Groups", "Manage Log"]) {
    const id = context.replace(/[^A-Za-z0-9]/g, "");
    assert.ok(help.includes(`id="${id}"`), `help section for ${context}`);
  }
  const summary = read("admin/help/operadmin_sum.htm");
  assert.match(summary, /<body[^>]*>[\s\S]*<\/body>/i);
  for (const [, src] of summary.matchAll(/src="([^"]+)"/g)) {
    assert.ok(fs.existsSync(path.join(WEB, "admin/help", src)), `summary image ${src}`);
  }
  for (const [, src] of help.matchAll(/src="([^"]+)"/g)) {
    assert.ok(fs.existsSync(path.join(WEB, "common/help", src)), `help script ${src}`);
  }
});
