// General helpers of the suite's pages. A page copies single functions out
// of this file, from the line "function NAME" through the first line that
// starts with "}", so every function here stands alone and no line inside a
// body starts with a closing brace.

// The target of links that must do nothing when clicked.
function donothing() {
  return;
}

// Submits the page's form (the first form when the page holds several).
function submitForm() {
  var form = document.forms[0];
  if (form) {
    form.submit();
  }
}

// Asks the question and submits the page's form only when it is confirmed.
// A "\n" typed into the message (backslash and n) becomes a line break.
function submitFormAfterConfirm(message) {
  var text = String(message).replace(/\\n/g, "\n");
  if (confirm(text)) {
    var form = document.forms[0];
    if (form) {
      form.submit();
    }
  }
}

// Explains why an action is refused instead of doing it.
function denyWithAlert(message) {
  alert(String(message).replace(/\\n/g, "\n"));
}

// Asks whether the people concerned should be told by e-mail. The answer is
// stored in the form field "notify_by_email" ("TRUE" or "FALSE") when the
// page's form has one, and returned.
function NotifyByEmail(message) {
  var question = message ? String(message) : "Do you want to notify the people concerned by e-mail?";
  var answer = confirm(question);
  var form = document.forms[0];
  if (form && form.elements["notify_by_email"]) {
    form.elements["notify_by_email"].value = answer ? "TRUE" : "FALSE";
  }
  return answer;
}

// True when the text holds digits only; an empty text is accepted too, so
// that optional number fields may be left empty. Blanks around are ignored.
function isInteger(value) {
  var text = String(value === null || value === undefined ? "" : value);
  return /^\s*\d*\s*$/.test(text);
}

// True when the text is a whole number: digits only, at least one.
function isNonNullInteger(value) {
  var text = String(value === null || value === undefined ? "" : value);
  return /^\s*\d+\s*$/.test(text);
}

// True when the text is missing or holds nothing but blanks.
function isEmpty(value) {
  return value === null || value === undefined || /^\s*$/.test(String(value));
}

// Checks the directory server form before it is saved: a machine, a port
// number, the root DN and the search base must be filled in. Relies on
// isEmpty and isNonNullInteger, which the same page includes.
function validateInput() {
  var form = document.forms["createform"] || document.forms[0];
  var fields = [
    ["machineNo", "Please enter the name of the machine that runs the directory server."],
    ["rootDN", "Please enter the root DN of the directory."],
    ["searchBase", "Please enter the search base of the directory."]
  ];
  for (var i = 0; i < fields.length; i++) {
    var field = form.elements[fields[i][0]];
    if (field && isEmpty(field.value)) {
      alert(fields[i][1]);
      field.focus();
      return false;
    }
  }
  var port = form.elements["portNo"];
  if (port && (isEmpty(port.value) || !isInteger(port.value))) {
    alert("Please enter the port number of the directory server as a whole number.");
    port.focus();
    return false;
  }
  form.submit();
  return true;
}

// Makes the page fill the whole browser window when it was loaded into a
// frame, so that an error never hides inside one frame of a frame set.
function sendtotop() {
  if (top !== self) {
    top.location.href = self.location.href;
  }
}

// The login field has the focus: typing Enter there moves on to the password.
function loginOnFocus() {
  loginFocussed = true;
}

// Called when the login or the password field changes: after the login the
// password field gets the focus; after the password the form is sent as soon
// as both fields hold something.
function checkAndSubmitForm(field) {
  var form = document.forms["loginform"] || document.forms[0];
  var login = form.elements["login"];
  var password = form.elements["password"];
  if (field === "login") {
    loginFocussed = false;
    if (password) {
      password.focus();
    }
    return false;
  }
  if (login && /^\s*$/.test(login.value)) {
    login.focus();
    return false;
  }
  if (password && password.value !== "") {
    form.submit();
    return true;
  }
  return false;
}
