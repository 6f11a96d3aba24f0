// What a panel tells the user when a request of theirs was not carried out: a message box in
// the alert colours with a text of the language module and, where there is one, the system's
// reason. UI thread only.
#pragma once

#include <string>
#include <string_view>

namespace kq::panels {

// The system's text for an errno value; for 0 the language's "no reason given".
std::string ReasonText(int error);

// Shows the language string formatId with its first "%s" taking subject and its second the
// reason for error, and returns once the user has closed the box.
void ShowFailure(int formatId, std::string_view subject, int error);

// Shows the language string textId as it stands.
void ShowMessage(int textId);

}  // namespace kq::panels
