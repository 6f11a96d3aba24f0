// The test seam of the directory-size measurement (ZFilePanel::ComputeSizes,
// ZFilePanelSizes.cpp).
#pragma once

#include <functional>

namespace kq::panels {

// Called by the measuring worker thread after each listing it has counted and shown in the
// size dialog, with the number of listings counted so far by this ComputeSizes call and a
// function that tells whether the user has cancelled. A test uses it to act at a known point
// of a walk (to cancel between two listings, for one). Empty (the default): nothing is called.
// Set it only while no measurement runs.
using SizeListingObserver =
    std::function<void(int listings, const std::function<bool()>& cancelled)>;
void SetSizeListingObserver(SizeListingObserver observer);

}  // namespace kq::panels
