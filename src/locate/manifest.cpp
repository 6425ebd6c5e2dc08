// App manifest and game folder validation. (skeleton: to be filled in)
#include "locate/manifest.h"

std::wstring gameRootOf(const std::wstring&) { return {}; }
bool isGameFolder(const std::wstring&) { return false; }
std::wstring resolveGameFolder(const std::wstring&) { return {}; }
ManifestLocations manifestCandidates(const std::wstring&) { return {}; }
