// A small card that shows a person while the mouse rests on a link to that
// person. The page holds an element with the id "jcard" where the card is
// drawn, and calls pageIsLoaded() from its onLoad handler; before that, and
// on pages without the element, hovering does nothing.
var jcardReady = false;

function pageIsLoaded() {
  jcardReady = true;
}

// The fourteen fields of the card, in this order: name, title, organisation,
// unit, e-mail, work phone, home phone, fax, mobile, pager, street, city,
// postal code, country. Empty fields are left out of the card.
function updateJCard(name, title, organisation, unit, email, workPhone, homePhone, fax, mobile, pager, street, city, postcode, country) {
  if (!jcardReady || !document.getElementById) {
    return false;
  }
  var card = document.getElementById("jcard");
  if (!card) {
    return false;
  }
  var lines = [
    ["", name], ["", title], ["", organisation], ["", unit], ["E-mail: ", email],
    ["Work: ", workPhone], ["Home: ", homePhone], ["Fax: ", fax], ["Mobile: ", mobile],
    ["Pager: ", pager], ["", street], ["", [postcode, city].join(" ").replace(/^\s+|\s+$/g, "")],
    ["", country]
  ];
  while (card.firstChild) {
    card.removeChild(card.firstChild);
  }
  for (var i = 0; i < lines.length; i++) {
    if (lines[i][1]) {
      var line = document.createElement(i === 0 ? "b" : "span");
      line.appendChild(document.createTextNode(lines[i][0] + lines[i][1]));
      card.appendChild(line);
      card.appendChild(document.createElement("br"));
    }
  }
  return true;
}
