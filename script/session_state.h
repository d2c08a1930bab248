#pragma once
#include <string>
#include <vector>

#include "script/script_recorder.h"
#include "shell/program.h"

namespace glim::script {

// The script lines that bring a program just started to the state `main` is
// in now, as far as the person could have set it: the text of every box the
// person can edit, check boxes, the selected option of each group, the
// register window when it is shown. None of them sends anything: an option
// whose click would send is put back with `select`. Boards, faults and chip
// registers are not theirs (the recorder writes those as `board` lines).
//
// The lines are tried on a fresh program as they are chosen, so handlers that
// change other controls in turn (a desired frequency writes its divider
// cells) are accounted for: a replay of the lines ends where `main` is.
std::vector<std::string> stateLines(shell::MainForm& main);

// What a recording of `program` started now begins with: on the simulated
// board the boards plugged in (the held one first, so that a replay accepts
// it), their faults and the held board's chip registers that differ from
// their power-on values; then the windows' state lines.
ScriptRecorder::Setup recordingSetup(shell::Program& program);

}  // namespace glim::script
