
function thrower(x) { if (x > 1) throw "too big: " + x; return x; }
function middle(x) { return thrower(x) * 10; }
try {
  trace(middle(1));
  trace(middle(5));
  trace("not reached");
} catch (e) {
  trace("caught " + e);
} finally {
  trace("finally 1");
}
try {
  try { throw {code: 42}; }
  catch (inner) { trace("inner " + inner.code); throw inner.code + 1; }
  finally { trace("inner finally"); }
} catch (outer) {
  trace("outer " + outer);
}
function withFinally() { try { return "returned"; } finally { trace("cleanup"); } }
trace(withFinally());                  // the finally block runs before the caller gets the value
for (var i = 0; i < 5; i++) {
  try { if (i == 2) break; trace("i" + i); } finally { trace("f" + i); }
}
trace("after loop " + i);
try { throw new Error("boom"); } catch (err) { trace(err.message); }
function safeDiv(a, b) { try { if (b == 0) throw "div0"; return a / b; } catch (e) { return "error " + e; } }
trace(safeDiv(6, 3) + "," + safeDiv(1, 0));
function loopTry() {
  var out = "";
  for (var j = 0; j < 4; j++) {
    try { if (j == 1) continue; if (j == 3) break; out += j; } finally { out += "f"; }
  }
  return out;
}
trace(loopTry());
trace("end");
