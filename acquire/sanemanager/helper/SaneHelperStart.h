#pragma once

// The start of a scanner helper program, before it loads any driver: it ends with the manager's
// process, keeps its socket from the programs a driver starts, and takes no signal meant for the
// manager's terminal.

namespace vantorel {

// False when the process that started us, named by argv[1], is not our parent (any more).
bool BeginHelper(int argc, char **argv);

} // namespace vantorel
