// The playlist player: the controls as in the compact bar, and a list of eight rows over a
// playlist of any length: the wheel and the scroll bar scroll it, and when the song changes the
// list scrolls just far enough to show its row. Rows are drawn at run time; each shows the
// title, the artist and, once the song has played, its length.

var plRows = 8;
var plRowHeight = 20;
var plTop = 64;
var plTrackHeight = 160;  // the scroll bar's track, beside the rows
var plFirst = 0;          // the track shown in the first row
var plFollowed = -1;      // the current track the list last scrolled to
var plShown = null;       // the track the texts at the top show
var plNotice = "";        // and the notice they show
var plDrawn = "";         // what the rows show, to draw them only when it changes

function plField(row, name, depth, x, w, size, align) {
  row.createTextField(name, depth, x, 1, w, plRowHeight - 2);
  var field = row[name];
  field.selectable = false;
  // The rows draw with the glyphs the skin carries, as its fields do, so that a title looks
  // the same in every runtime. The font is found by the name the runtime gives the artist's
  // field: a player that embeds the skin renames its fonts.
  field.embedFonts = true;
  var format = new TextFormat();
  format.font = artistText.getNewTextFormat().font;
  format.size = size;
  format.color = plText;
  format.align = align;
  field.setNewTextFormat(format);
  return field;
}

function plMakeRows() {
  for (var r = 0; r < plRows; r++) {
    var row = twClip.createEmptyMovieClip("row" + r, 100 + r);
    row._x = 8;
    row._y = plTop + r * plRowHeight;
    var mark = row.createEmptyMovieClip("mark", 1);
    mark.beginFill(0xFFFFFF, 100);
    mark.moveTo(0, 0);
    mark.lineTo(292, 0);
    mark.lineTo(292, plRowHeight - 1);
    mark.lineTo(0, plRowHeight - 1);
    mark.lineTo(0, 0);
    mark.endFill();
    twTint(mark, plMarkColor);
    plField(row, "label", 2, 4, 152, 12, "left");
    plField(row, "artist", 3, 156, 88, 11, "left")._alpha = 70;
    plField(row, "clock", 4, 244, 46, 11, "right")._alpha = 70;
    row.row = r;
    row.onRelease = function() {
      var index = plFirst + this.row;
      if (index < twState.tracks.length) twPlayIndex(index);
    };
  }
}

// The first row's track, kept within the list.
function plScrollTo(first) {
  var last = twState.tracks.length - plRows;
  if (first > last) first = last;
  if (first < 0) first = 0;
  first = Math.round(first);
  if (first != plFirst) twLog("scroll " + (first + 1));
  plFirst = first;
  plDrawRows();
}

twHooks.wheel = function(delta) {
  plScrollTo(plFirst - delta);
};

function plThumbHeight() {
  var count = twState.tracks.length;
  return Math.max(plTrackHeight * plRows / count, 16);
}

// The thumb's middle follows the pointer while the scroll bar is held.
function plScrollBarPressed() {
  var count = twState.tracks.length;
  if (count <= plRows) return;
  twHold(function(x, y) {
    var h = plThumbHeight();
    plScrollTo(twClamp((y - plTop - h / 2) / (plTrackHeight - h)) * (count - plRows));
  }, function(x, y) {
  });
}

function plDrawRows() {
  var count = twState.tracks.length;
  var current = twState.pos < 0 ? -1 : twState.order[twState.pos];
  var track = twCurrent();
  var key = plFirst + " " + current + " " + count + " " + (track == null ? "" : track.length);
  if (key == plDrawn) return;
  plDrawn = key;
  for (var r = 0; r < plRows; r++) {
    var row = twClip["row" + r];
    var index = plFirst + r;
    row._visible = index < count;
    if (index < count) {
      var t = twState.tracks[index];
      twFit(row.label, (index + 1) + ". " + t.title);
      twFit(row.artist, t.artist);
      row.clock.text = t.length > 0 ? twClock(t.length) : "";
      row.mark._visible = index == current;
    }
  }
  thumb._visible = count > plRows;
  if (count > plRows) {
    var h = plThumbHeight();
    thumb._yscale = h / plTrackHeight * 100;
    thumb._y = plTop + (plTrackHeight - h) * plFirst / (count - plRows);
  }
}

function plShow() {
  var track = twCurrent();
  var notice = twNotice();
  if (track != plShown || notice != plNotice || track == null) {
    plShown = track;
    plNotice = notice;
    twFit(titleText, track == null ? "" : track.title);
    twFit(artistText, notice != "" ? notice : twArtistLine(track));
  }
  // A song that loads shows a dimmed play icon, not a pause icon at 0:00.
  pauseIcon._visible = twState.mode == "playing";
  playIcon._visible = !pauseIcon._visible;
  playIcon._alpha = twState.mode == "loading" ? 40 : 100;
  var fraction = twShownFraction();
  // While the seek bar is held the time shows where the song would go.
  twShowTime(timeText, plRemaining, twState.seekHeld >= 0 ? fraction * twState.duration : twState.seconds);
  seekFill._xscale = Math.max(fraction * 100, 0.1);
  volFill._xscale = Math.max(twState.volume, 0.1);
  waves._visible = twState.volume > 0;
  muted._visible = twState.volume == 0;
  // A song's length is known once it plays; its row shows it from then on.
  if (track != null && twState.mode == "playing" && twState.duration > 0) track.length = twState.duration;

  // When the song changes, the list scrolls just far enough to show its row.
  var current = twState.pos < 0 ? -1 : twState.order[twState.pos];
  var first = plFirst;
  if (current != plFollowed) {
    plFollowed = current;
    if (current >= 0 && current < first) first = current;
    if (current >= first + plRows) first = current - plRows + 1;
  }
  plScrollTo(first);
}

if (ParamsValue != undefined) twReadParams(ParamsValue);
var plRemaining = twParam("Py.TimeDisplay", "Elapsed").toLowerCase() == "remaining";
var plBg = twColor("Py.BgColor", "0xF4F1EA");
var plText = twColor("Py.TextColor", "0x222222");
var plButton = twColor("Py.ButtonColor", "0xD9534F");
var plMarkColor = twColor("Py.MarkColor", "0xF7D794");
twTint(bg, plBg);
twTint(listBg, plText);
listBg._alpha = 6;
twTint(prevFace, plButton);
twTint(playFace, plButton);
twTint(nextFace, plButton);
twTint(prevIcon, plBg);
twTint(playIcon, plBg);
twTint(pauseIcon, plBg);
twTint(nextIcon, plBg);
twTint(seekTrack, plText);
seekTrack._alpha = 20;
twTint(seekFill, plButton);
twTint(volTrack, plText);
volTrack._alpha = 20;
twTint(volFill, plButton);
twTint(speaker, plText);
twTint(waves, plText);
twTint(muted, plText);
twTint(thumb, plText);
thumb._alpha = 35;
titleText.textColor = plText;
artistText.textColor = plText;
timeText.textColor = plText;
plMakeRows();
twHooks.update = plShow;
twHooks.tracks = plShow;
twRun("playlist");
