// Shared page functions used by the emitter tests.
var counter = 0;

function first(a)
{
  return a + 1;
}

function  Second (b) {
  counter = counter + b;
}

functionality = 3;
function last() {
  return counter;
