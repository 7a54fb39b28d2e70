#pragma once

class CVQHUD;

// The part of a presented frame's composition point that does not depend on
// the Direct3D version. Called with ProxyHudLock() held, on every frame the
// game presents: makes the HUD on the first frame (logging firstFrameLine
// then), hands it the mouse events that came while it was busy, updates it
// (recorders, share, workers) and publishes its layout for the mouse hook.
// Returns the HUD when there is something to draw on the back buffer (a
// visible window, or the pointer: *pointer says which), else null: a HUD the
// player keeps hidden then costs the frame no device call at all.
CVQHUD* VQUpdateFrameHud(const char* firstFrameLine, bool* pointer);
