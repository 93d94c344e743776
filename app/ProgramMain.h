#pragma once

namespace vantorel {

// The program's entry: the automation switches, the forms in their order, the message loop.
int ProgramMain(int argc, char **argv);

} // namespace vantorel
