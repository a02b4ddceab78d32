
var u;
trace("[" + u + "]");
trace("[" + notDeclared + "]");
trace(u + 1);
trace(typeof u);
trace(u == null);
trace("end");
