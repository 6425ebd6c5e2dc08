// The application's install locations: a detection run with the refresh of the patch state that
// ends it, the folder picker, and the arrows that step through the list.
#pragma once

struct GameCandidate;
struct InstallerApp;

void detectGameLocations(InstallerApp& app);
// Selects the location, back in the list if a detection dropped it.
void selectLocation(InstallerApp& app, const GameCandidate& location);
void chooseGameFolder(InstallerApp& app);
// The arrows: the previous or next location, wrapping around; nothing on an empty list. After an
// install, a location other than the one that got the patch is ready for an install of its own.
void stepLocation(InstallerApp& app, bool forward);
