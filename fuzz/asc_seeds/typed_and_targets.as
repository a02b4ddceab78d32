import a.b.*;
import a.b.C;
var x:Number = 1, s:String;
function f(a:Number, b:a.b.C):Void { var r:Array = [a, b]; for (var k:String in r) trace(k); }
tellTarget ("/box") { play(); }
tellTarget (_root.mc) stop();
print(_root, "bmovie");
printAsBitmapNum(1, "bframe");
function g() { super.h(1); super(2); }
