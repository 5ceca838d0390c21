// Scripts of the operator console's forms. Pages copy single functions out
// of this file, from the line "function NAME" through the first line that
// starts with "}", so each function stands alone and no line inside a body
// starts with a closing brace.

// Opens the selector program in a window of its own, where the operator picks
// people and groups. The return address arrives URL-encoded; the selector
// loads it back into this window when the operator is done.
function userResSearchSelector(selector, returnAddress) {
  var address = String(selector) + (String(selector).indexOf("?") < 0 ? "?" : "&") + "return_url=" + returnAddress;
  window.child = window.open(address, "ZaSelector", "width=560,height=480,resizable=yes,scrollbars=yes");
  if (window.child && window.child.focus) {
    window.child.focus();
  }
  return false;
}

// Checks the user search form and sends it: "top" needs how many users and
// "more than" a number of bytes, both whole numbers; "select users" needs at
// least one ticked person.
function validateUserResSearchCondFormSubmit() {
  var form = document.forms["condform"] || document.forms[0];
  var radios = form.elements["selection"];
  var choice = "";
  for (var i = 0; radios && i < radios.length; i++) {
    if (radios[i].checked) {
      choice = radios[i].value;
    }
  }
  var number = null;
  if (choice === "") {
    alert("Please choose which users to look for.");
    return false;
  } else if (choice === "top_u") {
    number = form.elements["users"];
  } else if (choice === "gt_u") {
    number = form.elements["ubytes"];
  } else if (choice === "select_u") {
    var people = form.elements["oper_uid_val"];
    var ticked = 0;
    if (people && people.length === undefined) {
      people = [people];
    }
    for (var j = 0; people && j < people.length; j++) {
      if (people[j].checked) {
        ticked++;
      }
    }
    if (ticked === 0) {
      alert("Please add people to the list with the Select People button, and tick at least one.");
      return false;
    }
  }
  if (number) {
    var text = number.value.replace(/^\s+|\s+$/g, "");
    if (!/^\d+$/.test(text)) {
      alert(choice === "top_u" ? "Please enter how many users to list, as a whole number." : "Please enter the number of bytes as a whole number.");
      number.focus();
      return false;
    }
    number.value = text;
  }
  form.submit();
  return true;
}

// Opens the selector program for one person, the owner whose groups are
// wanted. The selector address already carries its parameters.
function groupResSearchSelector(selector, returnAddress) {
  var address = String(selector) + (String(selector).indexOf("?") < 0 ? "?" : "&") + "return_url=" + returnAddress;
  window.child = window.open(address, "ZaSelector", "width=560,height=480,resizable=yes,scrollbars=yes");
  if (window.child && window.child.focus) {
    window.child.focus();
  }
  return false;
}

// Ticks the search kind whose field the operator has just entered (0 is the
// first radio button of the form).
function onChangeSelect(index) {
  var form = document.forms["condform"] || document.forms[0];
  var radios = form.elements["selection"];
  if (radios && radios[index]) {
    radios[index].checked = true;
  }
}

// Checks the group search form, whose first "count" radio buttons are the
// search kinds, and sends it: a name search needs a text, an owner search a
// chosen owner, the disk-space searches whole numbers.
function validateGroupResSearchCondFormSubmit(count) {
  var form = document.forms["condform"] || document.forms[0];
  var radios = form.elements["selection"];
  var limit = parseInt(count, 10);
  var choice = "";
  for (var i = 0; radios && i < radios.length && (isNaN(limit) || i < limit); i++) {
    if (radios[i].checked) {
      choice = radios[i].value;
    }
  }
  var number = null;
  if (choice === "") {
    alert("Please choose which groups to look for.");
    return false;
  } else if (choice === "group_name") {
    var name = form.elements["gname"];
    if (!name || /^\s*$/.test(name.value)) {
      alert("Please enter the text that the group names must contain.");
      if (name) {
        name.focus();
      }
      return false;
    }
  } else if (choice === "group_owner") {
    var chosen = form.elements["ifSelected"];
    if (!chosen || chosen.value !== "TRUE") {
      alert("Please choose the owner first with the Select User button.");
      return false;
    }
  } else if (choice === "top_g") {
    number = form.elements["groups"];
  } else if (choice === "gt_g") {
    number = form.elements["gbytes"];
  }
  if (number) {
    var text = number.value.replace(/^\s+|\s+$/g, "");
    if (!/^\d+$/.test(text)) {
      alert(choice === "top_g" ? "Please enter how many groups to list, as a whole number." : "Please enter the number of bytes as a whole number.");
      number.focus();
      return false;
    }
    number.value = text;
  }
  form.submit();
  return true;
}

// Sends the change-owner form once a new owner is chosen among the group's
// "count" members.
function validateRadioFormSelectionSubmit(count) {
  var form = document.forms["operform"] || document.forms[0];
  if (!(parseInt(count, 10) > 0)) {
    alert("This group has no members, so there is nobody to hand it to.");
    return false;
  }
  var radios = form.elements["selection"];
  if (radios && radios.length === undefined) {
    radios = [radios];
  }
  for (var i = 0; radios && i < radios.length; i++) {
    if (radios[i].checked) {
      form.submit();
      return true;
    }
  }
  alert("Please choose the new owner among the members.");
  return false;
}

// Sends the log filter form. The number of days may be left empty (every
// message) or be a whole number; blanks around it are dropped.
function validateViewLogFormSubmit() {
  var form = document.forms["optionform"] || document.forms[0];
  var days = form.elements["days"];
  var text = days ? days.value.replace(/^\s+|\s+$/g, "") : "";
  if (text !== "" && !/^\d+$/.test(text)) {
    alert("Please enter the number of days as a whole number, or leave it empty to see every message.");
    days.focus();
    return false;
  }
  if (days) {
    days.value = text;
  }
  form.submit();
  return true;
}

// Asks before archiving or emptying the log, and on a yes loads the address
// into the frame that holds both the messages and these buttons, so the
// outcome replaces the list that is no longer current.
function ConfirmLogOperation(question, address) {
  var text = String(question).replace(/\\n/g, "\n");
  if (!confirm(text)) {
    return false;
  }
  parent.location.href = address;
  return true;
}
