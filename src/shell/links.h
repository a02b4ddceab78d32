// Every web address the program opens, in one place: the About box, the Help menu and the update
// reminder all take them from here.
#pragma once

namespace tw::shell::links {

inline constexpr const char* kHomePage = "https://tunewright.dovetek.example/";
inline constexpr const char* kFaqPage = "https://tunewright.dovetek.example/faq.html";
inline constexpr const char* kContactPage = "https://www.dovetek.example/contact.html";
// The update request: the maker's update page with the program's version ("3.4") in the query;
// the page decides what to offer, the program downloads nothing.
inline constexpr const char* kUpdatePage =
    "https://tunewright.dovetek.example/update/update.php?productid=0&version=3.4";
inline constexpr const char* kLameProject = "https://lame.sourceforge.io/";
inline constexpr const char* kFfmpegProject = "https://ffmpeg.org/";

}  // namespace tw::shell::links
