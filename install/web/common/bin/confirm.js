// Confirmation questions of the suite's pages. Each function asks its
// question and goes to the given address only when the operator agrees.
// Pages copy single functions, so each one stands alone; a "\n" written in a
// message (backslash and n) becomes a line break of the question.

// Goes to the address after a yes. Logging out replaces the whole frame set,
// so a logout address is loaded into the top window; any other address
// replaces the page that asked.
function MyConfirm(message, address) {
  var text = String(message).replace(/\\n/g, "\n");
  if (!confirm(text)) {
    return false;
  }
  if (/app_common_prog_logout/i.test(String(address))) {
    top.location.href = address;
  } else {
    self.location.href = address;
  }
  return true;
}

// Asks before deleting something.
function ConfirmDelete(message, address) {
  var text = String(message).replace(/\\n/g, "\n");
  if (confirm(text)) {
    self.location.href = address;
    return true;
  }
  return false;
}

// Asks before emptying something.
function ConfirmClear(message, address) {
  var text = String(message).replace(/\\n/g, "\n");
  if (confirm(text)) {
    self.location.href = address;
    return true;
  }
  return false;
}

// Asks before deleting a meeting.
function ConfirmDeleteMeeting(message, address) {
  var text = String(message).replace(/\\n/g, "\n");
  if (confirm(text)) {
    self.location.href = address;
    return true;
  }
  return false;
}

// Asks before deleting a meeting through the page's form, which is sent
// only when the operator agrees.
function ConfirmDeleteMeetingSubmit(message) {
  var text = String(message).replace(/\\n/g, "\n");
  if (confirm(text)) {
    var form = document.forms[0];
    if (form) {
      form.submit();
    }
    return true;
  }
  return false;
}
