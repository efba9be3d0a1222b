#pragma once
// Local file players for the device families. The recorder family (type 1) plays its own
// stream format through the player library; IP cameras and NVRs (types 2 and 4) record AVI
// files, which the file player plays. Each maker returns a new player (never null); the
// factory deletes it, and deleting a player releases whatever it still holds.
#include "Hollin/Interfaces.h"

IDevLocalPlayback* MakeFileLocalPlayback();
IDevLocalPlayback* MakeQXLocalPlayback();
