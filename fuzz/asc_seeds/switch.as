
function sw(x) {
  var out = "";
  switch (x) {
    case 1: out += "one,";
    case 2: out += "two,"; break;
    case "3": out += "text three,"; break;
    case 3: out += "three,";
    default: out += "default,";
    case 4: out += "four";
  }
  return out;
}
trace(sw(1));
trace(sw(2));
trace(sw(3));
trace(sw("3"));
trace(sw(4));
trace(sw(9));
function grade(s) { switch (true) { case s >= 90: return "A"; case s >= 80: return "B"; default: return "C"; } }
trace(grade(95) + grade(85) + grade(10));
trace("end");
