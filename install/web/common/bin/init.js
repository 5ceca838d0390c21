// Window state shared by the frames of a console window: the help window
// (ZaHelpWindow) and the help context of the page on show (CurrentProg). Both
// live on the top frame; this file is included whole and runs when the page
// loads, leaving values that another frame already set alone.
function initZaWindowState(win) {
  if (typeof win.ZaHelpWindow === "undefined") {
    win.ZaHelpWindow = null;
  }
  if (typeof win.CurrentProg === "undefined") {
    win.CurrentProg = "Top";
  }
  return win;
}
try {
  initZaWindowState(top);
} catch (e) {
  // a frame set of another site: keep the state on this window instead
  initZaWindowState(window);
}
