#pragma once

// Runs the phases that `commandTail` names and gives the exit status, which
// is always 0: an installer learns the outcome from the files, never from
// the code.
int RunCommand(const char* commandTail);
