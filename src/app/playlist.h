// The texts the player is found and placed by: the playlist file beside the player, the playlist
// inside a player that carries its songs, the HTML page and its embed element.
#pragma once

#include <string>
#include <string_view>

#include "app/host.h"
#include "app/snapshots.h"

namespace tw::app {

// ".swf", ".flv" or ".mp3".
std::string_view MusicFormatExt(TMusicFormat format);

// The name a song file is published under: the song's file name with the format's extension,
// spaces replaced by "_".
std::string SongFileName(std::string_view songPath, TMusicFormat format);

// Writes the playlist of the options' songs, pretty-printed UTF-8 XML. A failure is reported
// through the host ("Error: ...") and the run goes on.
void WritePlaylistFile(const std::string& target, const TConvertOption& options, THost& host);

// The compact playlist a player carries when its songs are inside it; what was built so far
// (empty when nothing) after a failure, which is reported through the host.
std::string BuildTrackListXml(const TMusicFileList* first, THost& host);

// The ten-line page around the embed element, UTF-8, written through "html.html" in the working
// folder (the user's when none is given). A script line, when given, follows the title (the page
// then has eleven lines). Throws tw::FileError when it cannot be written.
void WriteHtmlPage(const std::string& movieFileName, const std::string& target, bool transparent,
                   int width, int height, std::string_view scriptLine = {},
                   const std::string& workFolder = {});

// The folder, beside the page, that a copying page's emulator files lie in, and its script.
inline constexpr std::string_view kRuffleFolder = "ruffle/";
inline constexpr std::string_view kRuffleScript = "ruffle.js";

// The page's line that loads the Ruffle emulator: none when off, the release address when
// linking (made safe for the attribute), the copied script when copying.
std::string RuffleScriptLine(TRuffleMode mode, std::string_view releaseUrl);

// <embed src="..." quality="high" type="application/x-shockwave-flash" [WMODE="transparent"]
//  width=".." height=".." pluginspage="..." allowScriptAccess="always" />
std::string BuildEmbedCode(const std::string& movieFileName, bool transparent, int width,
                           int height);

// A file name as a relative URL: every byte but the unreserved ASCII characters
// (letters, digits, "-", ".", "_", "~") percent-encoded, so that quotes, ampersands and
// non-ASCII letters survive any page encoding.
std::string UrlEncodeFileName(std::string_view name);

// The Flash Player download page named by the embed element.
inline constexpr std::string_view kFlashPlayerPage = "https://www.adobe.com/go/getflashplayer";

}  // namespace tw::app
