
trace(chr(65) + chr(97));
trace(ord("A"));
trace(length("hello"));
trace(substring("hello", 2, 3));      // substring counts from 1
trace(int("42") + int(7.9));
var r = random(10);
trace(r >= 0 && r < 10 && r == int(r));
trace(getTimer() >= 0);
var name = "dyn";
set(name, 42);
trace(dyn);
trace(eval("dyn") + 1);
var mc = _root.createEmptyMovieClip("tp", 3);
trace(targetPath(mc));
duplicateMovieClip(mc, "tp2", 4);
trace(typeof _root.tp2);
removeMovieClip(_root.tp2);
trace(typeof _root.tp2);
trace("end");
