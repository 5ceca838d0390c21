// Keeps the help window in step with the console's pages.

// Runs when a console page goes away: the help window it opened goes too.
function onUnloadInit() {
  var win = null;
  try {
    win = top.ZaHelpWindow;
    top.ZaHelpWindow = null;
  } catch (e) {
    win = window.ZaHelpWindow;
    window.ZaHelpWindow = null;
  }
  if (win && !win.closed) {
    win.close();
  }
}

// Runs in the help window when it closes: its opener forgets it, so that the
// next call for help opens a fresh window.
function nullifyHelpWin() {
  try {
    if (window.opener && !window.opener.closed) {
      window.opener.top.ZaHelpWindow = null;
    }
  } catch (e) {
    // the opener has moved to another site; nothing to forget there
  }
  try {
    top.ZaHelpWindow = null;
  } catch (e) {
    window.ZaHelpWindow = null;
  }
}
