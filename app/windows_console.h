#pragma once

namespace glim::app {

// On Windows the window is a program of the window system and has no console
// of its own: started from a Command Prompt with nowhere else to write, it
// writes --help, the lines of --run and its errors to that prompt's console.
// Output already sent somewhere (a pipe, a file) stays there. Elsewhere this
// does nothing.
void useParentConsoleIfAny();

}  // namespace glim::app
