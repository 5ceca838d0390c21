// The help window. The window is kept on the top frame as ZaHelpWindow, so
// that every frame reuses one window and the pages can close it.

// Opens help in its own window. The topic arrives URL-encoded. When it names
// a help page (".htm" or ".html"), that page is shown at the section of the
// page the operator is on (the top frame's CurrentProg, letters and digits
// only, as the help pages name their sections); any other topic is passed to
// the help program as its "topic" parameter.
function ZaHelp(helpProgram, topic) {
  var page = "";
  try {
    page = decodeURIComponent(String(topic || "").replace(/\+/g, " "));
  } catch (e) {
    page = String(topic || "");
  }
  var context = "";
  try {
    context = top.CurrentProg ? String(top.CurrentProg) : "";
  } catch (e) {
    context = "";
  }
  var address;
  if (/\.html?$/i.test(page)) {
    var section = context.replace(/[^A-Za-z0-9]/g, "");
    address = page + (section ? "#" + section : "");
  } else {
    var program = String(helpProgram);
    address = program + (program.indexOf("?") < 0 ? "?" : "&") + "topic=" + encodeURIComponent(page || context);
  }
  var win = window.open(address, "ZaHelpWindow", "width=640,height=520,resizable=yes,scrollbars=yes");
  try {
    top.ZaHelpWindow = win;
  } catch (e) {
    window.ZaHelpWindow = win;
  }
  if (win && win.focus) {
    win.focus();
  }
  return win;
}
