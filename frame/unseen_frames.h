// Unseen frames: with --start-at, the frames before the start are run as fast
// as the machine allows and never shown. They are still drawn, because here
// drawing moves the scene on (particles move and draw random numbers while
// they are drawn, flares fade by what the depth buffer shows, the fade steps
// when drawn), but only the centre pixel is drawn (the one `status selection`
// reads), unless the scene holds something that takes pictures into later
// frames: a blur or bloom pass, a render-to-texture target, a flare (which may
// test the depth buffer at its own pixel). Frames after the start are then the
// same, byte for byte, as those of a run from the beginning. Render thread only.
#pragma once

struct Engine;

// The main loop: frames from now on are unseen (not presented), or seen again.
void set_unseen_frames(bool on);
bool unseen_frames();

// The frame, after its drain and update step and before it draws anything:
// limits the drawing when the frame is unseen and nothing needs its pictures.
void limit_unseen_drawing(const Engine* engine);
// The main loop, after each frame: lifts the limit, so that the next drain
// (a bake, a read-back) works on whole pictures.
void end_unseen_drawing();
