#pragma once

// Routes the pipeline's display calls to the control dialog and the player's
// window (installed at attach), or back to the portable default.
void installWindowDisplay();
void removeWindowDisplay();
