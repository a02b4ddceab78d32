// The controls the players share: bars that follow the pointer while the button is held (seek,
// volume, a list's scroll bar), the mouse wheel, mute, and texts shortened to their fields.
// It needs engine.as before it.

// Shows text in a field, shortened with an ellipsis when it is wider than the field. The widths
// are the field's own font's (textWidth), so the cut falls between whole characters and what is
// shown always fits.
function twFit(field, text) {
  field.text = text;
  var room = field._width - 4;  // the field's gutters of 2 pixels
  if (field.textWidth <= room) return;
  // The longest start of the text that fits with the ellipsis: lo always fits.
  var lo = 0;
  var hi = text.length;
  while (lo < hi) {
    var mid = Math.ceil((lo + hi) / 2);
    field.text = twCut(text, mid) + "\u2026";
    if (field.textWidth <= room) lo = mid;
    else hi = mid - 1;
  }
  field.text = twCut(text, lo) + "\u2026";
}

// The first n characters, never half of a surrogate pair nor ending in a space.
function twCut(text, n) {
  if (n > 0 && n < text.length) {
    var c = text.charCodeAt(n - 1);
    if (c >= 0xD800 && c <= 0xDBFF) n--;
  }
  while (n > 0 && text.charAt(n - 1) == " ") n--;
  return text.substr(0, n);
}

function twClamp(fraction) {
  if (isNaN(fraction) || fraction < 0) return 0;
  if (fraction > 1) return 1;
  return fraction;
}

// The control held down: move(x, y) while the pointer moves (x, y on this timeline), then
// end(x, y) once when the button is released, wherever that happens over the movie.
var twDrag = null;

function twHold(onMove, onEnd) {
  var d = new Object();
  d.move = onMove;
  d.end = onEnd;
  twDrag = d;
  onMove(twClip._xmouse, twClip._ymouse);
}

var twPointer = new Object();
twPointer.onMouseMove = function() {
  if (twDrag != null) twDrag.move(twClip._xmouse, twClip._ymouse);
};
twPointer.onMouseUp = function() {
  if (twDrag == null) return;
  var d = twDrag;
  twDrag = null;
  d.move(twClip._xmouse, twClip._ymouse);
  d.end(twClip._xmouse, twClip._ymouse);
};
// delta: the lines turned, above 0 away from the user (up).
twPointer.onMouseWheel = function(delta) {
  twHooks.wheel(delta);
};
Mouse.addListener(twPointer);
twHooks.wheel = function(delta) {
};

// While the seek bar is held its fill follows the pointer; the song seeks once, on release.
twState.seekHeld = -1;

function twShownFraction() {
  if (twState.seekHeld >= 0) return twState.seekHeld;
  if (twState.duration <= 0) return 0;
  return twClamp(twState.seconds / twState.duration);
}

// The seek bar at x0 on this timeline, width pixels wide, was pressed.
function twSeekBarPressed(x0, width) {
  if (twState.mode != "playing" && twState.mode != "paused") return;
  twHold(function(x, y) {
    twState.seekHeld = twClamp((x - x0) / width);
    twHooks.update();
  }, function(x, y) {
    var fraction = twState.seekHeld;
    twState.seekHeld = -1;
    twSeek(fraction);
    twHooks.update();
  });
}

// The volume bar follows the pointer as long as it is held.
function twVolumeBarPressed(x0, width) {
  twHold(function(x, y) {
    var v = Math.round(twClamp((x - x0) / width) * 100);
    if (v != twState.volume) twSetVolume(v);
  }, function(x, y) {
  });
}

// Mute is volume 0; unmuting brings back the volume from before.
twState.unmuted = 0;

function twToggleMute() {
  if (twState.volume > 0) {
    twState.unmuted = twState.volume;
    twSetVolume(0);
  } else {
    twSetVolume(twState.unmuted > 0 ? twState.unmuted : 80);
  }
}

// "Artist - Album", or what there is of them.
function twArtistLine(track) {
  if (track == null) return "";
  if (track.album == "" || track.album == undefined) return track.artist;
  if (track.artist == "" || track.artist == undefined) return track.album;
  return track.artist + " \u2013 " + track.album;
}
