// The playlist player: the controls as in the compact bar, and a list of eight rows that follows
// the current track. Rows are drawn at run time: the list is as long as the playlist.

var plRows = 8;
var plRowHeight = 20;
var plTop = 64;
var plFirst = 0;    // the track shown in the first row

function plMakeRows() {
  for (var r = 0; r < plRows; r++) {
    var row = twClip.createEmptyMovieClip("row" + r, 100 + r);
    row._x = 8;
    row._y = plTop + r * plRowHeight;
    var mark = row.createEmptyMovieClip("mark", 1);
    mark.beginFill(0xFFFFFF, 100);
    mark.moveTo(0, 0);
    mark.lineTo(304, 0);
    mark.lineTo(304, plRowHeight - 1);
    mark.lineTo(0, plRowHeight - 1);
    mark.lineTo(0, 0);
    mark.endFill();
    twTint(mark, plMarkColor);
    row.createTextField("label", 2, 4, 1, 296, plRowHeight - 2);
    row.label.selectable = false;
    // The rows draw with the glyphs the skin carries, as its fields do, so that a title looks
    // the same in every runtime. The font is found by the name the runtime gives the artist's
    // field: a player that embeds the skin renames its fonts.
    row.label.embedFonts = true;
    var format = new TextFormat();
    format.font = artistText.getNewTextFormat().font;
    format.size = 12;
    format.color = plText;
    row.label.setNewTextFormat(format);
    row.row = r;
    row.onRelease = function() {
      var index = plFirst + this.row;
      if (index < twState.tracks.length) twPlayIndex(index);
    };
  }
}

function plShow() {
  var track = twCurrent();
  titleText.text = track == null ? "" : track.title;
  var notice = twNotice();
  artistText.text = notice != "" ? notice : track == null ? "" : track.artist;
  // A song that loads shows a dimmed play icon, not a pause icon at 0:00.
  pauseIcon._visible = twState.mode == "playing";
  playIcon._visible = !pauseIcon._visible;
  playIcon._alpha = twState.mode == "loading" ? 40 : 100;
  twShowTime(timeText, plRemaining);
  var fraction = twState.duration > 0 ? twState.seconds / twState.duration : 0;
  if (fraction > 1) fraction = 1;
  seekFill._xscale = Math.max(fraction * 100, 0.1);

  var count = twState.tracks.length;
  var current = twState.pos < 0 ? -1 : twState.order[twState.pos];
  // Keep the current track in view, three rows from the top where the list allows it.
  if (current >= 0) {
    plFirst = current - 3;
    if (plFirst > count - plRows) plFirst = count - plRows;
    if (plFirst < 0) plFirst = 0;
  }
  for (var r = 0; r < plRows; r++) {
    var row = twClip["row" + r];
    var index = plFirst + r;
    row._visible = index < count;
    if (index < count) {
      row.label.text = (index + 1) + ". " + twState.tracks[index].title;
      row.mark._visible = index == current;
    }
  }
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
titleText.textColor = plText;
artistText.textColor = plText;
timeText.textColor = plText;
plMakeRows();
twHooks.update = plShow;
twHooks.tracks = plShow;
twRun("playlist");
