
trace(_root._x + "," + _root._y);
trace(_root._xscale);
trace(_root._currentframe + "/" + _root._totalframes);
trace(_root._visible);
var mc = _root.createEmptyMovieClip("box", 1);
mc._x = 25;
mc._y = 30;
trace(mc._x + "," + mc._y);
trace(mc._name);
trace(mc._target);                 // the slash path
trace(mc);                         // the dot path
trace(mc._parent == _root);
mc._xscale = 200;
trace(mc._xscale);
trace(getProperty(mc, _x));
setProperty(mc, _y, 45);
trace(mc._y);
mc._visible = false;
trace(mc._visible);
trace(_root.box == mc);
trace(typeof mc);
mc.removeMovieClip();
trace(typeof _root.box);
trace("end");
