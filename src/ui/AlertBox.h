// The alert box: a message in the alert colours with one OK button, sized to its text, and the
// system's reason for an errno value in words. Any thread: a worker's box waits for the user
// while the UI thread runs.
#pragma once

#include <string>
#include <string_view>

namespace kq::ui {

// Shows text (word-wrapped, the box as wide as the screen allows) under the language's error
// title and returns once the user has closed it.
void ShowAlert(const std::string& text);

// The system's text for an errno value; for 0 the language's "no reason given".
std::string ReasonText(int error);

// A path or name cut to its last limit bytes behind "...", for a message or a field.
std::string ShortenedFromStart(std::string_view text, size_t limit);

}  // namespace kq::ui
