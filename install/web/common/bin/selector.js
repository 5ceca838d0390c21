// The selector window, in which people and groups are picked for a form of
// the page that opened it. The opening page keeps the window in its variable
// "child".

// Closes the window in which it runs.
function CloseWindow() {
  window.close();
}

// Runs when the selector window goes away: the page that opened it forgets
// it, so that it is not closed a second time.
function SelectorWindowClose() {
  try {
    if (window.opener && !window.opener.closed) {
      window.opener.child = null;
    }
  } catch (e) {
    // the opener has moved to another site
  }
}

// Leaves the selector without handing anything back.
function SelectorQuit() {
  try {
    if (window.opener && !window.opener.closed) {
      window.opener.child = null;
    }
  } catch (e) {
    // the opener has moved to another site
  }
  window.close();
}

// Runs when the opening page goes away: an open selector window would have
// nowhere to return to, so it is closed.
function CloseChild() {
  var win = window.child;
  if (win && !win.closed) {
    win.close();
  }
  window.child = null;
}
