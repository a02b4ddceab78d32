
var s = "";
outer: for (var i = 0; i < 3; i++) {
  for (var j = 0; j < 3; j++) {
    if (j == 1) continue outer;
    if (i == 2) break outer;
    s += i + "" + j + ";";
  }
}
trace(s);
blk: { s = "a"; if (s == "a") break blk; s = "b"; }
trace(s);
var k = 0, t = "";
while (true) { k++; if (k % 2) continue; if (k > 6) break; t += k; }
trace(t);
var d = 0;
do { d += 2; if (d == 4) continue; } while (d < 7);
trace(d);
search: for (var a = 0; a < 5; a++) { switch (a) { case 3: break search; default: continue search; } }
trace(a);
loops: while (true) { do { break loops; } while (true); }
trace("out");
trace("end");
