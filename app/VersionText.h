#pragma once

#include <string>

/// The lines /version prints: "tonvale X.Y.Z" and "commit " with the commit the program was built
/// from, each ending with CR LF as every console line does.
std::string VersionText();
