// What the local plugin's copy and move jobs need from outside and offer inside the library.
#pragma once

#include <string>

namespace kq::localfs {

// Set by the panels: reloads the panel an instance was opened for and the other panel, when
// that panel still exists. A job calls it from its own thread when it ends.
void SetPanelReloader(void (*reload)(void* owner));

// The destination text typed by the user (console code page) as the job takes it: absolute,
// in the file system's names, ending in '/' when it names a directory (typed so, or an
// existing one), else a target name or a rename mask in its last part. Relative texts start
// from base, the instance's directory; an empty text means base itself.
std::string NormalizeDestination(const std::string& base, std::string text);

}  // namespace kq::localfs
